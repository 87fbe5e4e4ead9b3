#include "simulation.h"

#include <math.h>

int run_simulation(const struct run_config *config, struct y_source *src,
                   struct run_result *result) {
  struct lattice lat;
  struct binning bins;
  double value[OBS_COUNT];
  const uint64_t outside_before = o3_outside_count(src->table);
  const uint64_t errors_before = o3_error_count(src->table);
  long k;
  if (config->thermalisation < 0 || config->measurements < 1 || config->bins < 2) return -1;
  if (lattice_init(&lat, config->dim, config->L) != 0) return -1;
  if (binning_init(&bins, (size_t)config->measurements, (size_t)config->bins) != 0) {
    lattice_free(&lat);
    return -1;
  }
  o3_rng_seed(&src->rng, config->seed);
  if (config->hot_start) {
    lattice_randomise(&lat, &src->rng);
  } else {
    lattice_align(&lat);
  }
  for (k = 0; k < config->thermalisation; ++k) {
    sweep(&lat, config->beta, config->order, src, NULL);
  }
  for (k = 0; k < config->measurements; ++k) {
    sweep(&lat, config->beta, config->order, src, NULL);
    measure(&lat, value);
    binning_add(&bins, value);
  }
  result->energy = binning_mean(&bins, OBS_ENERGY);
  result->m = binning_mean(&bins, OBS_M);
  result->binder = binning_binder(&bins);
  result->updates = (uint64_t)(config->thermalisation + config->measurements) * lat.sites;
  result->outside = o3_outside_count(src->table) - outside_before;
  result->errors = o3_error_count(src->table) - errors_before;
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
