/* clock_gettime */
#define _POSIX_C_SOURCE 199309L

#include "simulation.h"

#include <math.h>
#include <time.h>

double wall_seconds(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

void run_estimates(const struct binning *bins, struct run_result *result) {
  result->energy = binning_mean(bins, OBS_ENERGY);
  result->m = binning_mean(bins, OBS_M);
  result->binder = binning_binder(bins);
}

int run_simulation(const struct run_config *config, const struct y_source *y,
                   struct run_result *result) {
  const struct update_rule rule = {config->beta, *y, config->seed};
  const uint64_t sweeps = (uint64_t)(config->thermalisation + config->measurements);
  struct lattice lat;
  struct binning bins;
  o3_stream sequential;
  o3_counts counts = {0, 0};
  double value[OBS_COUNT], start;
  uint64_t n;
  if (config->thermalisation < 0 || config->measurements < 1 || config->bins < 2) return -1;
  if (lattice_init(&lat, config->dim, config->L) != 0) return -1;
  if (binning_init(&bins, (size_t)config->measurements, (size_t)config->bins) != 0) {
    lattice_free(&lat);
    return -1;
  }
  o3_stream_seed(&sequential, config->seed);
  lattice_start(&lat, config->hot_start, config->seed);
  result->updates = 0;
  start = wall_seconds();
  for (n = 1; n <= sweeps; ++n) {
    result->updates += sweep(&lat, config->order, &rule, n, &sequential, &counts, NULL);
    if (n > (uint64_t)config->thermalisation) {
      measure(&lat, value);
      binning_add(&bins, value);
    }
  }
  result->seconds = wall_seconds() - start;
  run_estimates(&bins, result);
  result->outside = counts.outside;
  result->errors = counts.errors;
  result->fingerprint = lattice_fingerprint(&lat);
  result->workers = config->order == SWEEP_CHECKERBOARD ? lat.threads : 1;
  binning_free(&bins);
  lattice_free(&lat);
  return 0;
}

double chain_energy_per_bond(double beta) {
  /* coth b - 1/b = b/3 - b^3/45 + 2 b^5/945 - b^7/4725 + ...: below 1e-2
     the terms left out are below 1e-15 of the sum, while the closed form
     would cancel all but 1e-4 of coth b there and keep only 12 digits. */
  if (beta < 1e-2) {
    const double b2 = beta * beta;
    return -beta * (1.0 / 3.0 - b2 * (1.0 / 45.0 - b2 * (2.0 / 945.0)));
  }
  return -(1.0 / tanh(beta) - 1.0 / beta);
}
