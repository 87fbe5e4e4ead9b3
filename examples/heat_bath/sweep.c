#include "sweep.h"

#include <string.h>

#include "update.h"

const char *sweep_order_name(enum sweep_order order) {
  return order == SWEEP_CHECKERBOARD ? "checkerboard" : "sequential";
}

int sweep_order_parse(const char *name, enum sweep_order *order) {
  if (strcmp(name, "sequential") == 0) {
    *order = SWEEP_SEQUENTIAL;
  } else if (strcmp(name, "checkerboard") == 0) {
    *order = SWEEP_CHECKERBOARD;
  } else {
    return -1;
  }
  return 0;
}

static inline void add(vec3 *f, vec3 s) {
  f->x += s.x;
  f->y += s.y;
  f->z += s.z;
}

static inline double length(vec3 f) { return sqrt(f.x * f.x + f.y * f.y + f.z * f.z); }

/* beta times the sum of the neighbours of site i = row + x. */
static inline vec3 field_at(const vec3 *s, size_t L, int cubic, size_t row, size_t x,
                           size_t ym, size_t yp, size_t zm, size_t zp, double beta) {
  const size_t i = row + x;
  vec3 f = s[x == 0 ? row + L - 1 : i - 1];
  add(&f, s[x + 1 == L ? row : i + 1]);
  if (cubic) {
    add(&f, s[ym + x]);
    add(&f, s[yp + x]);
    add(&f, s[zm + x]);
    add(&f, s[zp + x]);
  }
  f.x *= beta;
  f.y *= beta;
  f.z *= beta;
  return f;
}

static Y_DRAW_INLINE void sweep_with(struct lattice *lat, double beta, enum sweep_order order,
                                    struct y_source *src, const enum y_method method,
                                    double *h_record) {
  const size_t L = (size_t)lat->L;
  const int cubic = lat->dim == 3;
  /* The chain is the lattice of one row: no y and z neighbours. */
  const size_t extent = cubic ? L : 1;
  const size_t plane = L * extent;
  const int checkerboard = order == SWEEP_CHECKERBOARD;
  vec3 *const s = lat->spin;
  size_t pass, x, y, z;
  for (pass = 0; pass < (checkerboard ? 2u : 1u); ++pass) {
    for (z = 0; z < extent; ++z) {
      const size_t zm = (z == 0 ? extent - 1 : z - 1) * plane;
      const size_t zp = (z + 1 == extent ? 0 : z + 1) * plane;
      size_t n = 0, k;
      for (y = 0; y < extent; ++y) {
        const size_t row = y * L + z * plane;
        const size_t ym = (y == 0 ? extent - 1 : y - 1) * L + z * plane;
        const size_t yp = (y + 1 == extent ? 0 : y + 1) * L + z * plane;
        if (!checkerboard) {
          /* Each update waits for the one before: its left neighbour. */
          for (x = 0; x < L; ++x) {
            const vec3 f = field_at(s, L, cubic, row, x, ym, yp, zm + y * L, zp + y * L, beta);
            const double h = length(f);
            if (h_record != NULL) *h_record++ = h;
            s[row + x] = spin_around(f, h, y_draw(src, method, h), uniform53(&src->rng));
          }
          continue;
        }
        /* On a checkerboard the neighbours of a site all have the other
           parity, so the updates of a plane's sites of one parity are
           independent: their fields first, then their y all at once (the
           library fetches their tables together), then their spins. L is
           even: an odd one would join two sites of one parity across the
           wrap. */
        for (x = (pass + y + z) & 1u; x < L; x += 2, ++n) {
          lat->plane_field[n] =
              field_at(s, L, cubic, row, x, ym, yp, zm + y * L, zp + y * L, beta);
          lat->plane_h[n] = length(lat->plane_field[n]);
          if (h_record != NULL) *h_record++ = lat->plane_h[n];
        }
      }
      if (!checkerboard) continue;
      y_draw_many(src, method, lat->plane_h, lat->plane_y, n);
      for (y = 0, k = 0; y < extent; ++y) {
        for (x = (pass + y + z) & 1u; x < L; x += 2, ++k) {
          s[y * L + z * plane + x] = spin_around(lat->plane_field[k], lat->plane_h[k],
                                                 lat->plane_y[k], uniform53(&src->rng));
        }
      }
    }
  }
}

void sweep(struct lattice *lat, double beta, enum sweep_order order, struct y_source *src,
           double *h_record) {
  switch (src->method) {
  case Y_TABLES:
    sweep_with(lat, beta, order, src, Y_TABLES, h_record);
    break;
  case Y_TABLES_COUNTED:
    sweep_with(lat, beta, order, src, Y_TABLES_COUNTED, h_record);
    break;
  case Y_INVERSION:
    sweep_with(lat, beta, order, src, Y_INVERSION, h_record);
    break;
  case Y_EXPONENTIAL:
    sweep_with(lat, beta, order, src, Y_EXPONENTIAL, h_record);
    break;
  case Y_NONE:
    sweep_with(lat, beta, order, src, Y_NONE, h_record);
    break;
  }
}
