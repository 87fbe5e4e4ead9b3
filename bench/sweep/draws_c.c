/* The C y draws timed: the library's through its C API, and the draws a C
   programmer would write without it. */
#include "draws.h"

#include <math.h>

#include "kernel.h"

static inline double uniform(struct sweep_state *st) { return o3_stream_uniform(st->stream); }

/* Exact inversion of the distribution function, in the form that keeps the
   digits of y at either end (log1p below 1/2). */
static inline double inversion(struct sweep_state *st, double h) {
  const double u = uniform(st);
  if (h < 1e-100) return 2.0 * u - 1.0;
  if (h < 0.5) return 1.0 + log1p((1.0 - u) * expm1(-2.0 * h)) / h;
  {
    const double y = 1.0 + log(u + (1.0 - u) * exp(-2.0 * h)) / h;
    return y < -1.0 ? -1.0 : y;
  }
}

/* y = 1 - E/h, E = -log u, drawn again while E > 2h; below 1/2, where that
   keeps few, y uniform and kept with probability exp(h (y - 1)). */
static inline double exponential(struct sweep_state *st, double h) {
  if (h < 0.5) {
    for (;;) {
      const double y = 2.0 * uniform(st) - 1.0;
      if (uniform(st) < exp(h * (y - 1.0))) return y;
    }
  }
  for (;;) {
    const double e = -log(uniform(st));
    if (e <= 2.0 * h) return 1.0 - e / h;
  }
}

/* Not draws: y uniform whatever h (the least any draw adds to the update),
   and a constant (the update without a draw of y, whose own work on y the
   compiler may fold away too). */
static inline double uniform_y(struct sweep_state *st, double h) {
  (void)h;
  return 2.0 * uniform(st) - 1.0;
}
/* Not a draw either: the least a y that depends on h adds, one division by
   h, as every exact draw's y must wait for h at least that long. */
static inline double one_division(struct sweep_state *st, double h) {
  const double y = 1.0 - uniform(st) / h;
  return y < -1.0 ? -1.0 : y;
}
static inline double no_draw(struct sweep_state *st, double h) {
  (void)st;
  (void)h;
  return 0.6;
}

static inline double library(struct sweep_state *st, double h) {
  return o3_stream_draw(st->table, h, st->stream);
}

static inline void library_many(struct sweep_state *st, const double *h, double *y, size_t n) {
  o3_stream_draw_many(st->table, n, h, y, st->stream);
}

#define ONE_BY_ONE(draw)                                                                         \
  static inline void draw##_many(struct sweep_state *st, const double *h, double *y, size_t n) { \
    size_t i;                                                                                    \
    for (i = 0; i < n; ++i) y[i] = draw(st, h[i]);                                               \
  }
ONE_BY_ONE(inversion)
ONE_BY_ONE(exponential)
ONE_BY_ONE(uniform_y)
ONE_BY_ONE(one_division)
ONE_BY_ONE(no_draw)

#define METHOD(draw)                        \
  O3_SWEEP(sweep_##draw, draw, draw##_many) \
  O3_REPLAY(replay_##draw, draw)
METHOD(inversion)
METHOD(exponential)
METHOD(uniform_y)
METHOD(one_division)
METHOD(no_draw)
METHOD(library)

const struct sweep_method c_methods[] = {
    {"inversion", sweep_inversion, replay_inversion, 0},
    {"exponential, -log u", sweep_exponential, replay_exponential, 0},
    {"library", sweep_library, replay_library, 1},
    {"uniform y (floor)", sweep_uniform_y, replay_uniform_y, 0},
    {"1 - u/h (not a draw)", sweep_one_division, replay_one_division, 0},
    {"no draw", sweep_no_draw, replay_no_draw, 0},
    {NULL, NULL, NULL, 0}};
