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

static Y_DRAW_INLINE void sweep_with(struct lattice *lat, double beta, enum sweep_order order,
                                    struct y_source *src, const enum y_method method,
                                    double *h_record) {
  const size_t L = (size_t)lat->L;
  const int cubic = lat->dim == 3;
  /* The chain is the lattice of one row: no y and z neighbours. */
  const size_t extent = cubic ? L : 1;
  const size_t plane = L * extent;
  const int checkerboard = order == SWEEP_CHECKERBOARD;
  const size_t step = checkerboard ? 2 : 1;
  vec3 *const s = lat->spin;
  size_t pass, x, y, z;
  /* On a checkerboard the neighbours of a site all have the other parity,
     so the updates of one pass are independent of each other: a processor
     overlaps them, and they could run in parallel. With L odd the wrap
     joins sites of one parity; the order is then still a valid sweep. */
  for (pass = 0; pass < (checkerboard ? 2u : 1u); ++pass) {
    for (z = 0; z < extent; ++z) {
      const size_t zm = (z == 0 ? extent - 1 : z - 1) * plane;
      const size_t zp = (z + 1 == extent ? 0 : z + 1) * plane;
      for (y = 0; y < extent; ++y) {
        const size_t row = y * L + z * plane;
        const size_t ym = (y == 0 ? extent - 1 : y - 1) * L + z * plane;
        const size_t yp = (y + 1 == extent ? 0 : y + 1) * L + z * plane;
        for (x = checkerboard ? (pass + y + z) & 1u : 0; x < L; x += step) {
          const size_t i = row + x;
          vec3 f = s[x == 0 ? row + L - 1 : i - 1];
          double h, cos_theta;
          add(&f, s[x + 1 == L ? row : i + 1]);
          if (cubic) {
            add(&f, s[ym + x]);
            add(&f, s[yp + x]);
            add(&f, s[zm + y * L + x]);
            add(&f, s[zp + y * L + x]);
          }
          f.x *= beta;
          f.y *= beta;
          f.z *= beta;
          h = sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
          if (h_record != NULL) *h_record++ = h;
          cos_theta = y_draw(src, method, h);
          s[i] = spin_around(f, h, cos_theta, uniform53(&src->rng));
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
  case Y_TABLES_INLINE:
    sweep_with(lat, beta, order, src, Y_TABLES_INLINE, h_record);
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
