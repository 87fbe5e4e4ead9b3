/* The draw of y = cos(theta) for a coupling h >= 0, density proportional to
   exp(h y - h) on [-1, 1]: the one place where the methods differ. The rest
   of the update (field, frame, azimuth) is the same for all of them, so that
   the physics tests compare this draw and nothing else. */
#ifndef HEAT_BATH_Y_DRAW_H
#define HEAT_BATH_Y_DRAW_H

#include <math.h>
#include <stddef.h>
#include <stdint.h>

#include "o3_sampler.h"

#ifdef __cplusplus
extern "C" {
#endif

enum y_method {
  Y_LIBRARY,  /* the sampler library's draw, by the engine of its table */
  Y_INVERSION /* exact inversion of the distribution function */
};

/* What a run draws its y with: the method, and for the library the table
   it opened (with or without a file), which the caller closes. */
struct y_source {
  enum y_method method;
  const o3_table *table;
};

/* "library", "inversion". */
const char *y_method_name(enum y_method method);
/* 0 and *method, or -1 for a name that is neither. */
int y_method_parse(const char *name, enum y_method *method);

/* u in [0, 1) from the top 53 bits of a word, as the library takes them
   (o3_rng_uniform, inline). */
static inline double uniform53(o3_rng *rng) { return (double)(o3_rng_next(rng) >> 11) * 0x1p-53; }

/* Below this coupling exp(h y) is 1 to far better than double precision
   over all of [-1, 1]: y is uniform and the field's direction does not
   matter. Taking them so keeps the field's square and the formulas below
   clear of underflow, where h and y would lose their digits. */
#define Y_UNIFORM_BELOW 1e-100

/* exp(h (y - 1)) = u + (1 - u) exp(-2h) solved for y, in two forms, each
   where it keeps the digits of y:
   - small h: u + (1 - u) exp(-2h) lies next to 1, and its plain log loses
     the digits of y (1e-10 at h = 1e-6); 1 + log1p((1 - u) expm1(-2h)) / h
     keeps them. 1 - u is exact for a u of 53 bits.
   - larger h: y next to -1 means u + exp(-2h) small, which that form finds
     as 1 plus a number next to -1, losing digits (2e-4 in y at h = 20 and
     u = 1e-15); the plain form adds two positive terms and keeps them.
   At h = 1/2 both err by less than 1e-15, and there one hands over to the
   other. glibc's log and exp are also three times faster than its log1p
   and expm1. At large h and u = 0 the log is -inf, and rounding can pass
   -1 by an ulp: both are held at -1. */
#define Y_INVERSION_PLAIN_FROM 0.5

static inline double y_by_inversion(double h, double u) {
  double y;
  if (h < Y_UNIFORM_BELOW) return 2.0 * u - 1.0;
  if (h < Y_INVERSION_PLAIN_FROM) {
    y = 1.0 + log1p((1.0 - u) * expm1(-2.0 * h)) / h;
  } else {
    y = 1.0 + log(u + (1.0 - u) * exp(-2.0 * h)) / h;
  }
  return y < -1.0 ? -1.0 : y;
}

/* y[i] for h[i], i < n, from the stream's words: the library's batch
   draw, or inversion's one word each. */
static inline void y_draw_many(const struct y_source *src, size_t n, const double *h, double *y,
                               o3_stream *s) {
  size_t i;
  if (src->method == Y_LIBRARY) {
    o3_stream_draw_many(src->table, n, h, y, s);
    return;
  }
  for (i = 0; i < n; ++i) y[i] = y_by_inversion(h[i], uniform53(&s->rng));
}

/* One y for h, as y_draw_many draws it. */
static inline double y_draw(const struct y_source *src, double h, o3_stream *s) {
  return src->method == Y_LIBRARY ? o3_stream_draw(src->table, h, s)
                                  : y_by_inversion(h, uniform53(&s->rng));
}

#ifdef __cplusplus
}
#endif

#endif
