/* What is measured after a sweep, and its means with errors that allow for
   the correlation of successive sweeps. */
#ifndef HEAT_BATH_OBSERVABLES_H
#define HEAT_BATH_OBSERVABLES_H

#include <stddef.h>

#include "lattice.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The series kept per measurement: the Binder ratio is formed from the
   means of m^2 and m^4, not measured itself. */
enum { OBS_ENERGY, OBS_M, OBS_M2, OBS_M4, OBS_COUNT };

/* Energy per bond, |m| (m the magnetisation per spin), m^2 and m^4, from
   the sums of the lattice's planes, taken on its OpenMP threads into
   lat->sums. */
void measure(const struct lattice *lat, double value[OBS_COUNT]);

/* The same from the sums of all `planes` planes of a lattice of `sites`
   sites and `bonds` bonds, added in the planes' order: the same numbers
   however the sums were shared out. */
void measure_sums(const struct plane_sum *sums, size_t planes, size_t sites, size_t bonds,
                  double value[OBS_COUNT]);

/* Successive sweeps are correlated, so the spread of single measurements
   underestimates the error of their mean. The measurements are cut into
   consecutive bins, each much longer than the correlation time, so that
   the bins' means are independent; the errors come from a jackknife over
   the bins, which serves the Binder ratio (a ratio of means) as well as
   the means themselves. */
struct binning {
  size_t expected; /* measurements the run will make */
  size_t bins;
  size_t added;
  double *count; /* bins */
  double *sum;   /* bins * OBS_COUNT */
  double sum_sq[OBS_COUNT];
};

/* 0, or -1 without memory or with fewer measurements than bins. Measurement
   k of the expected ones goes to bin k * bins / expected, so the bins
   differ in length by one at most. */
int binning_init(struct binning *b, size_t expected, size_t bins);
void binning_free(struct binning *b);
void binning_add(struct binning *b, const double value[OBS_COUNT]);

struct estimate {
  double mean;
  double error;
  /* The integrated autocorrelation time in measurements, from the ratio
     of the binned error to the error of independent measurements:
     error^2 = 2 tau variance / n. About 1/2 for independent ones. */
  double tau;
};

/* After the expected measurements: the mean of each series, and the Binder
   ratio <m^4>/<m^2>^2 (its tau is not defined: NaN). */
struct estimate binning_mean(const struct binning *b, int observable);
struct estimate binning_binder(const struct binning *b);

#ifdef __cplusplus
}
#endif

#endif
