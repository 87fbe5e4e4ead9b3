#include "lattice.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#ifdef _OPENMP
#include <omp.h>
#endif

int lattice_init_slab(struct lattice *lat, int dim, int L, size_t planes) {
  const size_t plane = dim == 3 ? (size_t)L * (size_t)L : 1;
  memset(lat, 0, sizeof *lat);
  if (L < 2 || (dim != 1 && dim != 3) || planes < 2 || planes > (size_t)L + 2) return -1;
  /* The spins (24 bytes each) and the threads' scratch must fit in a
     size_t. */
  if (dim == 3 && (size_t)L > (size_t)-1 / 64 / (size_t)L / (size_t)L) return -1;
  lat->dim = dim;
  lat->L = L;
  lat->plane = plane;
  lat->planes = planes;
  lat->sites = plane * planes;
  lat->bonds = (size_t)dim * lat->sites;
#ifdef _OPENMP
  lat->threads = omp_get_max_threads();
#else
  lat->threads = 1;
#endif
  lat->spin = (vec3 *)malloc(lat->sites * sizeof(vec3));
  lat->plane_field = (vec3 *)calloc((size_t)lat->threads * plane, sizeof(vec3));
  lat->plane_h = (double *)calloc((size_t)lat->threads * plane, sizeof(double));
  lat->plane_y = (double *)calloc((size_t)lat->threads * plane, sizeof(double));
  lat->sums = (struct plane_sum *)calloc(planes, sizeof(struct plane_sum));
  if (lat->spin == NULL || lat->plane_field == NULL || lat->plane_h == NULL ||
      lat->plane_y == NULL || lat->sums == NULL) {
    lattice_free(lat);
    return -1;
  }
  return 0;
}

int lattice_init(struct lattice *lat, int dim, int L) {
  return lattice_init_slab(lat, dim, L, L >= 2 ? (size_t)L : 0);
}

void lattice_free(struct lattice *lat) {
  free(lat->spin);
  free(lat->plane_field);
  free(lat->plane_h);
  free(lat->plane_y);
  free(lat->sums);
  lat->spin = NULL;
  lat->plane_field = NULL;
  lat->plane_h = lat->plane_y = NULL;
  lat->sums = NULL;
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

void spins_randomise(vec3 *s, size_t n, o3_rng *rng) {
  size_t i;
  for (i = 0; i < n; ++i) {
    const double u_z = o3_rng_uniform(rng);
    s[i] = uniform_on_sphere(u_z, o3_rng_uniform(rng));
  }
}

void lattice_randomise(struct lattice *lat, o3_rng *rng) {
  spins_randomise(lat->spin, lat->sites, rng);
}

static double dot(vec3 a, vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void lattice_plane_sum(const struct lattice *lat, size_t local, struct plane_sum *out) {
  const size_t L = (size_t)lat->L;
  const vec3 *s = lat->spin + local * lat->plane;
  const vec3 *next = lat->spin + (local + 1 == lat->planes ? 0 : local + 1) * lat->plane;
  double sum = 0.0;
  vec3 m = {0.0, 0.0, 0.0};
  size_t i;
  for (i = 0; i < lat->plane; ++i) {
    /* The neighbours in +x and +y, wrapped within their row and plane; in
       the chain the plane is one site and its +x neighbour the next one. */
    if (lat->dim == 3) {
      const size_t x = i % L;
      sum += dot(s[i], s[x + 1 < L ? i + 1 : i + 1 - L]);
      sum += dot(s[i], s[i + L < lat->plane ? i + L : i + L - lat->plane]);
    }
    sum += dot(s[i], next[i]);
    m.x += s[i].x;
    m.y += s[i].y;
    m.z += s[i].z;
  }
  out->bonds = sum;
  out->m = m;
}

double lattice_energy_per_bond(const struct lattice *lat) {
  struct plane_sum p;
  double sum = 0.0;
  size_t k;
  for (k = 0; k < lat->planes; ++k) {
    lattice_plane_sum(lat, k, &p);
    sum += p.bonds;
  }
  return -sum / (double)lat->bonds;
}

vec3 lattice_magnetisation(const struct lattice *lat) {
  struct plane_sum p;
  vec3 m = {0.0, 0.0, 0.0};
  size_t k;
  for (k = 0; k < lat->planes; ++k) {
    lattice_plane_sum(lat, k, &p);
    m.x += p.m.x;
    m.y += p.m.y;
    m.z += p.m.z;
  }
  m.x /= (double)lat->sites;
  m.y /= (double)lat->sites;
  m.z /= (double)lat->sites;
  return m;
}

#define LANE1_P UINT64_C(2147483647)
#define LANE1_M UINT64_C(1588635695)
#define LANE2_P UINT64_C(2147483629)
#define LANE2_M UINT64_C(1117695901)
#define LOW32 UINT64_C(0xffffffff)

uint64_t lattice_plane_fingerprint(const struct lattice *lat, size_t local) {
  const vec3 *s = lat->spin + local * lat->plane;
  uint64_t h1 = 0, h2 = 0;
  size_t i;
  int k, half;
  for (i = 0; i < lat->plane; ++i) {
    const double c[3] = {s[i].x, s[i].y, s[i].z};
    for (k = 0; k < 3; ++k) {
      uint64_t bits;
      memcpy(&bits, &c[k], sizeof bits);
      for (half = 0; half < 2; ++half, bits >>= 32) {
        h1 = (h1 * LANE1_M + (bits & LOW32)) % LANE1_P;
        h2 = (h2 * LANE2_M + (bits & LOW32)) % LANE2_P;
      }
    }
  }
  return h1 << 32 | h2;
}

uint64_t fingerprint_add(uint64_t fingerprint, uint64_t plane) {
  const uint64_t h1 = ((fingerprint >> 32) * LANE1_M + (plane >> 32)) % LANE1_P;
  const uint64_t h2 = ((fingerprint & LOW32) * LANE2_M + (plane & LOW32)) % LANE2_P;
  return h1 << 32 | h2;
}

uint64_t lattice_fingerprint(const struct lattice *lat) {
  uint64_t f = FINGERPRINT_START;
  size_t k;
  for (k = 0; k < lat->planes; ++k) f = fingerprint_add(f, lattice_plane_fingerprint(lat, k));
  return f;
}
