/* The heat-bath update of one plane of the lattice, the unit that threads
   and processes share out, and the streams of random words that make a run
   the same however its planes are shared out. */
#ifndef HEAT_BATH_PLANES_H
#define HEAT_BATH_PLANES_H

#include <stddef.h>
#include <stdint.h>

#include "lattice.h"
#include "o3_sampler.h"
#include "y_draw.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What every update of a run needs: the inverse temperature, the y draw
   and the seed of its streams. */
struct update_rule {
  double beta;
  struct y_source y;
  uint64_t seed;
};

/* The streams of a run. Its hot start draws plane w (the index of the
   plane in the whole lattice) from o3_stream_seed_at(seed, 0, w);
   half-sweep p (0: the sites of even x + y + z, 1: odd) of checkerboard
   sweep n = 1, 2, ... draws plane w from o3_stream_seed_at(seed, 2 n + p,
   w), its words in the order of update_plane. The sequential order, one
   site after the other, cannot be shared out and takes every word from
   o3_stream_seed(seed). */
#define STEP_START 0
static inline uint64_t checkerboard_step(uint64_t n, int p) { return 2 * n + (uint64_t)p; }

/* Plane `local` of lat uniform on the sphere from plane w's stream of the
   start, two words a site in memory order. */
void plane_randomise(struct lattice *lat, size_t local, uint64_t w, uint64_t seed);

/* beta times the sum of the neighbours of site (x, y) of plane `local`
   (x = y = 0 in the chain), in the order x - 1, x + 1, y - 1, y + 1, the
   plane before, the plane after: the planes of lat wrap around. */
vec3 site_field(const struct lattice *lat, size_t local, size_t x, size_t y, double beta);

/* The sites (x, y) of plane `local` whose x + y has the parity `parity`,
   in memory order: their fields and couplings h = |field| into the
   scratch of `thread`, and h into h_record at their index in lat when it
   is not NULL. Returns how many. */
size_t plane_fields(struct lattice *lat, size_t local, int parity, double beta, int thread,
                    double *h_record);

/* Those sites' new spins around their fields, with the y in the scratch
   of `thread` and an azimuth from one word of rng each, in the same
   order. */
void plane_spins(struct lattice *lat, size_t local, int parity, int thread, o3_rng *rng);

/* Half-sweep `step` of plane `local`, which is plane w of the whole
   lattice: the sites of parity step & 1 in it, their fields first, then
   their y all at once (y_draw_many), then their spins, every word from
   plane w's stream of that step. Their neighbours all have the other
   parity, so the planes of one half-sweep may be updated in any order, by
   any thread or process. Adds the stream's counts to *counts; returns the
   number of sites updated. */
size_t update_plane(struct lattice *lat, size_t local, uint64_t w, uint64_t step,
                    const struct update_rule *rule, int thread, o3_counts *counts,
                    double *h_record);

/* Every site of plane `local` in memory order, each from the spins as the
   update before left them, every word from s. */
size_t update_plane_in_order(struct lattice *lat, size_t local, const struct update_rule *rule,
                             o3_stream *s, double *h_record);

#ifdef __cplusplus
}
#endif

#endif
