/* heat_bath --time: what each y draw costs in the 3D sweep it is made for. */
#ifndef HEAT_BATH_TIMING_H
#define HEAT_BATH_TIMING_H

#include <stddef.h>
#include <stdint.h>

#include "lattice.h"
#include "o3_sampler.h"
#include "options.h"
#include "sweep.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A y draw from another language (the C++ library), timed beside these:
   its sweep of a lattice and its draws on a stream of couplings, both
   through ctx, which holds its table and generator; seed reseeds that. */
struct timed_draw {
  char label[32];
  /* The extra draw (an index into the extras) whose times this one's
     ratios are to, that language's own inversion; -1 for the program's. */
  int reference;
  void (*seed)(void *ctx, uint64_t seed);
  void (*sweep)(void *ctx, struct lattice *lat, double beta, enum sweep_order order);
  /* The sum of the draws for h[0..n), each waiting for the one before when
     chained (as replayed in timing.c). */
  double (*replay)(void *ctx, const double *h, size_t n, int chained);
  void *ctx;
};

/* Prints the tables of ns per spin update and ns per draw for the sizes,
   repetitions and tables of opt (paths[k] the file of tables[k]), the
   extra draws after the program's own. 0, or 1 without memory. */
int run_timing(const struct options *opt, o3_table *const *tables, const char *const *paths,
               int table_count, const struct timed_draw *extra, int extra_count);

#ifdef __cplusplus
}
#endif

#endif
