#include "lattice.h"

#include <math.h>
#include <stdlib.h>

int lattice_init(struct lattice *lat, int dim, int L) {
  size_t sites = (size_t)L;
  lat->spin = NULL;
  lat->plane_field = NULL;
  lat->plane_h = lat->plane_y = NULL;
  if (L < 2 || (dim != 1 && dim != 3)) return -1;
  if (dim == 3) {
    /* L^3 spins of 24 bytes must fit in a size_t. */
    if ((size_t)L > (size_t)-1 / 24 / (size_t)L / (size_t)L) return -1;
    sites = (size_t)L * (size_t)L * (size_t)L;
  }
  lat->dim = dim;
  lat->L = L;
  lat->sites = sites;
  lat->bonds = (size_t)dim * sites;
  lat->spin = (vec3 *)malloc(sites * sizeof(vec3));
  /* A plane's sites of one parity: (L * L + 1) / 2 of a cubic lattice,
     (L + 1) / 2 of a chain. */
  lat->plane_field = (vec3 *)malloc(sites / (dim == 3 ? (size_t)L : 1) * sizeof(vec3));
  lat->plane_h = (double *)malloc(sites / (dim == 3 ? (size_t)L : 1) * sizeof(double));
  lat->plane_y = (double *)malloc(sites / (dim == 3 ? (size_t)L : 1) * sizeof(double));
  if (lat->spin == NULL || lat->plane_field == NULL || lat->plane_h == NULL || lat->plane_y == NULL) {
    lattice_free(lat);
    return -1;
  }
  return 0;
}

void lattice_free(struct lattice *lat) {
  free(lat->spin);
  free(lat->plane_field);
  free(lat->plane_h);
  free(lat->plane_y);
  lat->spin = NULL;
  lat->plane_field = NULL;
  lat->plane_h = lat->plane_y = NULL;
}

void lattice_align(struct lattice *lat) {
  size_t i;
  for (i = 0; i < lat->sites; ++i) {
    lat->spin[i].x = 0.0;
    lat->spin[i].y = 0.0;
    lat->spin[i].z = 1.0;
  }
}

vec3 uniform_on_sphere(double u_z, double u_phi) {
  const double two_pi = 6.283185307179586;
  const double z = 2.0 * u_z - 1.0;
  const double r = sqrt((1.0 - z) * (1.0 + z));
  const double phi = two_pi * u_phi;
  vec3 s;
  s.x = r * cos(phi);
  s.y = r * sin(phi);
  s.z = z;
  return s;
}

static double uniform(o3_rng *rng) { return (double)(o3_rng_next(rng) >> 11) * 0x1p-53; }

void lattice_randomise(struct lattice *lat, o3_rng *rng) {
  size_t i;
  for (i = 0; i < lat->sites; ++i) {
    const double u_z = uniform(rng);
    lat->spin[i] = uniform_on_sphere(u_z, uniform(rng));
  }
}

static double dot(vec3 a, vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double lattice_energy_per_bond(const struct lattice *lat) {
  const size_t L = (size_t)lat->L;
  const vec3 *s = lat->spin;
  double sum = 0.0;
  size_t i;
  for (i = 0; i < lat->sites; ++i) {
    /* The neighbour in +x, wrapped within the row; +y and +z likewise
       within their plane and the whole lattice. */
    const size_t x = i % L;
    const size_t y = (i / L) % L;
    sum += dot(s[i], s[x + 1 < L ? i + 1 : i + 1 - L]);
    if (lat->dim == 3) {
      sum += dot(s[i], s[y + 1 < L ? i + L : i + L - L * L]);
      sum += dot(s[i], s[i + L * L < lat->sites ? i + L * L : i + L * L - lat->sites]);
    }
  }
  return -sum / (double)lat->bonds;
}

vec3 lattice_magnetisation(const struct lattice *lat) {
  vec3 m = {0.0, 0.0, 0.0};
  size_t i;
  for (i = 0; i < lat->sites; ++i) {
    m.x += lat->spin[i].x;
    m.y += lat->spin[i].y;
    m.z += lat->spin[i].z;
  }
  m.x /= (double)lat->sites;
  m.y /= (double)lat->sites;
  m.z /= (double)lat->sites;
  return m;
}
