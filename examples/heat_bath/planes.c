#include "planes.h"

#include <math.h>

#include "update.h"

void plane_randomise(struct lattice *lat, size_t local, uint64_t w, uint64_t seed) {
  o3_stream s;
  o3_stream_seed_at(&s, seed, STEP_START, w);
  spins_randomise(lat->spin + local * lat->plane, lat->plane, &s.rng);
}

static inline void add(vec3 *f, vec3 s) {
  f->x += s.x;
  f->y += s.y;
  f->z += s.z;
}

static inline double length(vec3 f) { return sqrt(f.x * f.x + f.y * f.y + f.z * f.z); }

/* Plane `local`'s neighbours, wrapped. */
static inline const vec3 *plane_at(const struct lattice *lat, size_t local) {
  return lat->spin + local * lat->plane;
}
static inline size_t before(const struct lattice *lat, size_t local) {
  return local == 0 ? lat->planes - 1 : local - 1;
}
static inline size_t after(const struct lattice *lat, size_t local) {
  return local + 1 == lat->planes ? 0 : local + 1;
}

vec3 site_field(const struct lattice *lat, size_t local, size_t x, size_t y, double beta) {
  const size_t L = (size_t)lat->L;
  const size_t i = lat->dim == 3 ? y * L + x : 0;
  const vec3 *s = plane_at(lat, local);
  vec3 f = {0.0, 0.0, 0.0};
  if (lat->dim == 3) {
    f = s[x == 0 ? i + L - 1 : i - 1];
    add(&f, s[x + 1 == L ? i + 1 - L : i + 1]);
    add(&f, s[y == 0 ? i + lat->plane - L : i - L]);
    add(&f, s[y + 1 == L ? i + L - lat->plane : i + L]);
    add(&f, plane_at(lat, before(lat, local))[i]);
  } else {
    f = plane_at(lat, before(lat, local))[i];
  }
  add(&f, plane_at(lat, after(lat, local))[i]);
  f.x *= beta;
  f.y *= beta;
  f.z *= beta;
  return f;
}

/* The in-plane extent: L of the cubic lattice's planes, 1 of the chain's. */
static inline size_t extent(const struct lattice *lat) {
  return lat->dim == 3 ? (size_t)lat->L : 1;
}

size_t plane_fields(struct lattice *lat, size_t local, int parity, double beta, int thread,
                    double *h_record) {
  vec3 *field = lat->plane_field + (size_t)thread * lat->plane;
  double *h = lat->plane_h + (size_t)thread * lat->plane;
  size_t n = 0, x, y;
  for (y = 0; y < extent(lat); ++y) {
    for (x = (y + (size_t)parity) & 1u; x < extent(lat); x += 2, ++n) {
      field[n] = site_field(lat, local, x, y, beta);
      h[n] = length(field[n]);
      if (h_record != NULL) h_record[local * lat->plane + y * extent(lat) + x] = h[n];
    }
  }
  return n;
}

void plane_spins(struct lattice *lat, size_t local, int parity, int thread, o3_rng *rng) {
  const vec3 *field = lat->plane_field + (size_t)thread * lat->plane;
  const double *h = lat->plane_h + (size_t)thread * lat->plane;
  const double *yy = lat->plane_y + (size_t)thread * lat->plane;
  vec3 *s = lat->spin + local * lat->plane;
  size_t k = 0, x, y;
  for (y = 0; y < extent(lat); ++y) {
    for (x = (y + (size_t)parity) & 1u; x < extent(lat); x += 2, ++k) {
      s[y * extent(lat) + x] = spin_around(field[k], h[k], yy[k], uniform53(rng));
    }
  }
}

size_t update_plane(struct lattice *lat, size_t local, uint64_t w, uint64_t step,
                    const struct update_rule *rule, int thread, o3_counts *counts,
                    double *h_record) {
  const int parity = (int)((step + w) & 1u);
  const size_t n = plane_fields(lat, local, parity, rule->beta, thread, h_record);
  o3_stream s;
  if (n == 0) return 0; /* a plane of the chain, one site, of the other parity */
  o3_stream_seed_at(&s, rule->seed, step, w);
  y_draw_many(&rule->y, n, lat->plane_h + (size_t)thread * lat->plane,
              lat->plane_y + (size_t)thread * lat->plane, &s);
  plane_spins(lat, local, parity, thread, &s.rng);
  counts->outside += s.counts.outside;
  counts->errors += s.counts.errors;
  return n;
}

size_t update_plane_in_order(struct lattice *lat, size_t local, const struct update_rule *rule,
                             o3_stream *s, double *h_record) {
  vec3 *spin = lat->spin + local * lat->plane;
  size_t x, y;
  for (y = 0; y < extent(lat); ++y) {
    for (x = 0; x < extent(lat); ++x) {
      const vec3 f = site_field(lat, local, x, y, rule->beta);
      const double h = length(f);
      const size_t i = y * extent(lat) + x;
      /* The y's words before the azimuth's: the order of a function's
         arguments' evaluation is not C's to fix. */
      const double cos_theta = y_draw(&rule->y, h, s);
      if (h_record != NULL) h_record[local * lat->plane + i] = h;
      spin[i] = spin_around(f, h, cos_theta, uniform53(&s->rng));
    }
  }
  return lat->plane;
}
