/* The spins of a periodic chain or simple cubic lattice of classical
   Heisenberg spins (unit 3-vectors), H = -sum over bonds of s_i . s_j. */
#ifndef HEAT_BATH_LATTICE_H
#define HEAT_BATH_LATTICE_H

#include <stddef.h>

#include "o3_sampler.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vec3 {
  double x, y, z;
} vec3;

/* Site (x, y, z) is spin x + L (y + L z): x runs fastest in memory, and the
   chain is the lattice with y = z = 0 only. */
struct lattice {
  int dim; /* 1: chain, 3: simple cubic */
  int L;
  size_t sites;
  size_t bonds; /* dim per site: every site owns its bonds in +x, +y, +z */
  vec3 *spin;
  /* The fields, couplings and y of one plane's sites of one parity, which
     a checkerboard sweep draws together. */
  vec3 *plane_field;
  double *plane_h, *plane_y;
};

/* 0, or -1 when L < 2, dim is neither 1 nor 3, or there is no memory. */
int lattice_init(struct lattice *lat, int dim, int L);
void lattice_free(struct lattice *lat);

/* Every spin along +z: the cold start, the ground state. */
void lattice_align(struct lattice *lat);
/* Every spin uniform on the sphere: the hot start, beta = 0. */
void lattice_randomise(struct lattice *lat, o3_rng *rng);

/* -sum over bonds of s_i . s_j, divided by the number of bonds. */
double lattice_energy_per_bond(const struct lattice *lat);
/* The sum of the spins divided by their number. */
vec3 lattice_magnetisation(const struct lattice *lat);

/* A uniform point on the unit sphere from two uniforms in [0, 1): z = cos
   theta is uniform in [-1, 1] (Archimedes), the azimuth uniform. */
vec3 uniform_on_sphere(double u_z, double u_phi);

#ifdef __cplusplus
}
#endif

#endif
