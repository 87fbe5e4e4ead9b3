/* Sweeps of heat-bath updates over the lattice. */
#ifndef HEAT_BATH_SWEEP_H
#define HEAT_BATH_SWEEP_H

#include "lattice.h"
#include "y_draw.h"

#ifdef __cplusplus
extern "C" {
#endif

enum sweep_order {
  SWEEP_SEQUENTIAL,  /* sites in memory order */
  SWEEP_CHECKERBOARD /* every site of even x + y + z, then every odd one */
};

/* "sequential", "checkerboard". */
const char *sweep_order_name(enum sweep_order order);
/* 0 and *order, or -1 for a name that is neither. */
int sweep_order_parse(const char *name, enum sweep_order *order);

/* Every spin once, in the given order, redrawn from its distribution given
   its neighbours at inverse temperature beta, with src's y draw and
   generator. Each update leaves the Boltzmann weight exp(-beta H) in place,
   so any fixed order does; they differ in how fast they decorrelate and in
   how much of the work the processor can overlap. When h_record is not NULL
   it receives the coupling h of every update, lat->sites of them, in the
   order of the updates. */
void sweep(struct lattice *lat, double beta, enum sweep_order order, struct y_source *src,
           double *h_record);

#ifdef __cplusplus
}
#endif

#endif
