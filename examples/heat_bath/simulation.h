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
  /* Of these updates, those whose h lay outside the table's range (drawn
     by the library's exact inversion instead), and those the library
     refused (h not finite); 0 without a table. */
  uint64_t outside;
  uint64_t errors;
};

/* Seeds src->rng with config->seed and runs. 0, or -1 when the lattice or
   the bins cannot be made (bins < 2, more bins than measurements, no
   memory). */
int run_simulation(const struct run_config *config, struct y_source *src,
                   struct run_result *result);

/* The energy per bond of the infinite chain, -(coth beta - 1/beta): each
   bond's cos is distributed as exp(beta y) on [-1, 1], independently of
   the others. Written to keep its digits for small beta, where it is
   -beta/3. */
double chain_energy_per_bond(double beta);

#ifdef __cplusplus
}
#endif

#endif
