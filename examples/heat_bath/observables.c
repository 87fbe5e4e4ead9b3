#include "observables.h"

#include <math.h>
#include <stdlib.h>

void measure_sums(const struct plane_sum *sums, size_t planes, size_t sites, size_t bonds,
                  double value[OBS_COUNT]) {
  double energy = 0.0, m2;
  vec3 m = {0.0, 0.0, 0.0};
  size_t k;
  for (k = 0; k < planes; ++k) {
    energy += sums[k].bonds;
    m.x += sums[k].m.x;
    m.y += sums[k].m.y;
    m.z += sums[k].m.z;
  }
  m.x /= (double)sites;
  m.y /= (double)sites;
  m.z /= (double)sites;
  m2 = m.x * m.x + m.y * m.y + m.z * m.z;
  value[OBS_ENERGY] = -energy / (double)bonds;
  value[OBS_M] = sqrt(m2);
  value[OBS_M2] = m2;
  value[OBS_M4] = m2 * m2;
}

void measure(const struct lattice *lat, double value[OBS_COUNT]) {
  long k;
#pragma omp parallel for num_threads(lat->threads) schedule(static)
  for (k = 0; k < (long)lat->planes; ++k) lattice_plane_sum(lat, (size_t)k, &lat->sums[k]);
  measure_sums(lat->sums, lat->planes, lat->sites, lat->bonds, value);
}

int binning_init(struct binning *b, size_t expected, size_t bins) {
  int q;
  b->expected = expected;
  b->bins = bins;
  b->added = 0;
  b->count = NULL;
  b->sum = NULL;
  for (q = 0; q < OBS_COUNT; ++q) b->sum_sq[q] = 0.0;
  if (bins < 2 || expected < bins) return -1;
  b->count = (double *)calloc(bins, sizeof(double));
  b->sum = (double *)calloc(bins * OBS_COUNT, sizeof(double));
  if (b->count == NULL || b->sum == NULL) {
    binning_free(b);
    return -1;
  }
  return 0;
}

void binning_free(struct binning *b) {
  free(b->count);
  free(b->sum);
  b->count = NULL;
  b->sum = NULL;
}

void binning_add(struct binning *b, const double value[OBS_COUNT]) {
  /* Measurements past the expected ones go to the last bin. */
  const size_t k = b->added < b->expected ? b->added : b->expected - 1;
  const size_t bin = k * b->bins / b->expected;
  size_t q;
  b->count[bin] += 1.0;
  for (q = 0; q < OBS_COUNT; ++q) {
    b->sum[bin * OBS_COUNT + q] += value[q];
    b->sum_sq[q] += value[q] * value[q];
  }
  ++b->added;
}

/* The estimate from all bins but `left_out` (-1: from all of them), of one
   series, or of the Binder ratio when observable is OBS_COUNT. */
static double estimate_without(const struct binning *b, long left_out, int observable) {
  double n = 0.0, s[OBS_COUNT] = {0.0, 0.0, 0.0, 0.0};
  size_t bin, q;
  for (bin = 0; bin < b->bins; ++bin) {
    if ((long)bin == left_out) continue;
    n += b->count[bin];
    for (q = 0; q < OBS_COUNT; ++q) s[q] += b->sum[bin * OBS_COUNT + q];
  }
  if (observable < OBS_COUNT) return s[observable] / n;
  return (s[OBS_M4] / n) / ((s[OBS_M2] / n) * (s[OBS_M2] / n));
}

/* Jackknife: the estimates without one bin each scatter by 1/(bins - 1) of
   the independent bins' scatter, hence the factor (bins - 1)/bins. */
static struct estimate jackknife(const struct binning *b, int observable) {
  const double nb = (double)b->bins;
  struct estimate e;
  double mean_of_partial = 0.0, spread = 0.0;
  size_t bin;
  e.mean = estimate_without(b, -1, observable);
  for (bin = 0; bin < b->bins; ++bin) {
    mean_of_partial += estimate_without(b, (long)bin, observable);
  }
  mean_of_partial /= nb;
  for (bin = 0; bin < b->bins; ++bin) {
    const double d = estimate_without(b, (long)bin, observable) - mean_of_partial;
    spread += d * d;
  }
  e.error = sqrt((nb - 1.0) / nb * spread);
  e.tau = (double)NAN;
  return e;
}

struct estimate binning_mean(const struct binning *b, int observable) {
  struct estimate e = jackknife(b, observable);
  const double n = (double)b->added;
  const double variance = b->sum_sq[observable] / n - e.mean * e.mean;
  e.tau = variance > 0.0 ? 0.5 * e.error * e.error * n / variance : (double)NAN;
  return e;
}

struct estimate binning_binder(const struct binning *b) {
  return jackknife(b, OBS_COUNT);
}
