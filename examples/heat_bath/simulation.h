/* A run: thermalisation, then measurement sweeps, and the means. */
#ifndef HEAT_BATH_SIMULATION_H
#define HEAT_BATH_SIMULATION_H

#include <stdint.h>

#include "observables.h"
#include "sweep.h"
#include "y_draw.h"

#ifdef __cplusplus
extern "C" {
#endif

struct run_config {
  int dim; /* 1: chain, 3: simple cubic */
  int L;
  double beta;
  long thermalisation; /* sweeps before the first measurement */
  long measurements;   /* one per sweep after those */
  uint64_t seed;
  enum sweep_order order;
  int hot_start; /* spins uniform on the sphere; else all along +z */
  long bins;
};

struct run_result {
  struct estimate energy; /* per bond */
  struct estimate m;      /* |m|, m the magnetisation per spin */
  struct estimate binder; /* <m^4>/<m^2>^2 */
  uint64_t updates;
  /* Of these updates, those the tables engine drew outside its table (by
     the table-free method instead) and those refused (h not finite). */
  uint64_t outside;
  uint64_t errors;
  uint64_t fingerprint; /* of the last configuration: lattice_fingerprint */
  double seconds;       /* of the sweeps and measurements, wall-clock */
  int workers;          /* the threads or processes that ran them */
};

/* The run of config with y drawn by y (streams: planes.h). 0, or -1 when
   the lattice or the bins cannot be made (bins < 2, more bins than
   measurements, no memory). */
int run_simulation(const struct run_config *config, const struct y_source *y,
                   struct run_result *result);

/* The means and errors of the measurements in bins into result. */
void run_estimates(const struct binning *bins, struct run_result *result);

/* The energy per bond of the infinite chain, -(coth beta - 1/beta): each
   bond's cos is distributed as exp(beta y) on [-1, 1], independently of
   the others. Written to keep its digits for small beta, where it is
   -beta/3. */
double chain_energy_per_bond(double beta);

/* Wall-clock seconds from an arbitrary start. */
double wall_seconds(void);

#ifdef __cplusplus
}
#endif

#endif
