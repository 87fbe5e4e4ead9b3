/* The spins of a periodic chain or simple cubic lattice of classical
   Heisenberg spins (unit 3-vectors), H = -sum over bonds of s_i . s_j, kept
   as planes along the last axis, the unit that threads and processes share
   out. */
#ifndef HEAT_BATH_LATTICE_H
#define HEAT_BATH_LATTICE_H

#include <stddef.h>
#include <stdint.h>

#include "o3_sampler.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vec3 {
  double x, y, z;
} vec3;

/* What a measurement needs of one plane: the sum of s_i . s_j over the
   bonds it owns (those in +x and +y within it, and those to the next
   plane) and the sum of its spins. */
struct plane_sum {
  double bonds;
  vec3 m;
};

/* Site (x, y, z) is spin x + L (y + L z): x runs fastest in memory, and the
   chain is the lattice with y = z = 0 only. Its planes are those of one z
   (L * L sites) in the cubic lattice and those of one x (one site) in the
   chain, so that both are cut alike along their last axis. */
struct lattice {
  int dim; /* 1: chain, 3: simple cubic */
  int L;
  size_t sites;
  size_t bonds; /* dim per site: every site owns its bonds in +x, +y, +z */
  vec3 *spin;
  /* The fields, couplings and y of one plane's sites of one parity, which
     a checkerboard sweep draws together: `threads` blocks of `plane`
     entries, one block a thread. */
  vec3 *plane_field;
  double *plane_h, *plane_y;
  size_t plane;           /* sites of a plane */
  size_t planes;          /* planes held: L, or those of a slab and its two halos */
  int threads;            /* OpenMP's at lattice_init, 1 without it */
  struct plane_sum *sums; /* one a plane, for the measurements */
};

/* 0, or -1 when L < 2, dim is neither 1 nor 3, or there is no memory. */
int lattice_init(struct lattice *lat, int dim, int L);
/* The same for `planes` planes of the lattice of side L (2 to L + 2): the
   slab a process holds, plane 0 and planes - 1 the halos, copies of its
   neighbours' planes. */
int lattice_init_slab(struct lattice *lat, int dim, int L, size_t planes);
void lattice_free(struct lattice *lat);

/* Every spin along +z: the cold start, the ground state. */
void lattice_align(struct lattice *lat);
/* Every spin uniform on the sphere: the hot start, beta = 0. */
void lattice_randomise(struct lattice *lat, o3_rng *rng);

/* -sum over bonds of s_i . s_j, divided by the number of bonds. */
double lattice_energy_per_bond(const struct lattice *lat);
/* The sum of the spins divided by their number. */
vec3 lattice_magnetisation(const struct lattice *lat);

/* The sums of plane `local` of the lattice, the next one being local + 1
   (0 after the last). */
void lattice_plane_sum(const struct lattice *lat, size_t local, struct plane_sum *out);

/* The configuration's fingerprint, to tell one configuration from another
   bit for bit: the planes' fingerprints combined in their order by
   fingerprint_add, from FINGERPRINT_START. A plane's hashes the 32-bit
   halves of its numbers, low first, each spin's x, y, z in turn, in two
   lanes h = (h * M + half) mod P, their (P, M) (2^31 - 1, 1588635695) and
   (2^31 - 19, 1117695901), and is the first lane's result times 2^32 plus
   the second's. Integers below 2^63 all the way, so that Fortran computes
   it alike. */
#define FINGERPRINT_START UINT64_C(0)
uint64_t lattice_plane_fingerprint(const struct lattice *lat, size_t local);
uint64_t fingerprint_add(uint64_t fingerprint, uint64_t plane);
uint64_t lattice_fingerprint(const struct lattice *lat);

/* A uniform point on the unit sphere from two uniforms in [0, 1): z = cos
   theta is uniform in [-1, 1] (Archimedes), the azimuth uniform. */
vec3 uniform_on_sphere(double u_z, double u_phi);

/* n spins uniform on the sphere, two words of rng each. */
void spins_randomise(vec3 *s, size_t n, o3_rng *rng);

#ifdef __cplusplus
}
#endif

#endif
