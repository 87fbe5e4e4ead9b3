/* Sweeps of heat-bath updates over the whole lattice. */
#ifndef HEAT_BATH_SWEEP_H
#define HEAT_BATH_SWEEP_H

#include <stdint.h>

#include "lattice.h"
#include "planes.h"

#ifdef __cplusplus
extern "C" {
#endif

enum sweep_order {
  SWEEP_CHECKERBOARD, /* every site of even x + y + z, then every odd one */
  SWEEP_SEQUENTIAL    /* sites in memory order */
};

/* "checkerboard", "sequential". */
const char *sweep_order_name(enum sweep_order order);
/* 0 and *order, or -1 for a name that is neither. */
int sweep_order_parse(const char *name, enum sweep_order *order);

/* The start: every spin along +z (cold), or each plane from its stream of
   the start (hot), so that a start is the same however the planes are
   shared out. */
void lattice_start(struct lattice *lat, int hot, uint64_t seed);

/* Sweep n (1, 2, ...) of a run: every spin once, redrawn from its
   distribution given its neighbours. Each update leaves the Boltzmann
   weight exp(-beta H) in place, so any fixed order does.
   - checkerboard: the planes of each half-sweep on lat->threads OpenMP
     threads, each plane from its own stream (planes.h): the same spins
     with any number of threads.
   - sequential: one site after the other, every word from s.
   Adds the counts of the sweep's draws to *counts and returns the number of updates.
   When h_record is not NULL it receives the coupling of every update at
   its site's index. */
uint64_t sweep(struct lattice *lat, enum sweep_order order, const struct update_rule *rule,
               uint64_t n, o3_stream *s, o3_counts *counts, double *h_record);

#ifdef __cplusplus
}
#endif

#endif
