/* The draw of y = cos(theta) for a coupling h >= 0, density proportional to
   exp(h y - h) on [-1, 1]: the one place where the methods differ. The rest
   of the update (field, frame, azimuth) is the same for all of them, so that
   comparing methods compares this draw and nothing else. */
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
  Y_TABLES,        /* o3_draw from an O3.res */
  Y_TABLES_COUNTED, /* the same draws, the tries they make counted in tries */
  Y_INVERSION,     /* exact inversion of the distribution function */
  Y_EXPONENTIAL,   /* y = 1 - E/h, E exponential, redrawn while E > 2h */
  Y_NONE           /* a fixed y: not a sampler, times the rest of the update */
};

/* The y that Y_NONE returns, about the mean of y at the typical coupling
   of the 3D sweep at the critical point. */
#define Y_NONE_VALUE 0.6

struct y_source {
  enum y_method method;
  o3_table *table; /* the table methods only; the caller opens and closes it */
  o3_rng rng;      /* every uniform of the simulation, the azimuth's too */
  uint64_t tries;  /* of the tables, by Y_TABLES_COUNTED */
};

/* "tables", "tables-counted", "inversion", "exponential", "none". */
const char *y_method_name(enum y_method method);
/* 0 and *method, or -1 for a name that is none of these. */
int y_method_parse(const char *name, enum y_method *method);

/* u in [0, 1) from the top 53 bits of a word, as the library takes them. */
static inline double uniform53(o3_rng *rng) {
  return (double)(o3_rng_next(rng) >> 11) * 0x1p-53;
}

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

/* E = -log u is exponential; 1 - E/h has density ~ exp(h y - h) on
   (-inf, 1], and keeping E <= 2h cuts it to [-1, 1]. That keeps a fraction
   1 - exp(-2h) of the E, about 2h for small h and nothing at h = 0, so there
   a uniform y accepted with probability exp(h (y - 1)) is used instead: it
   keeps (1 - exp(-2h)) / (2h), and the two are equal at h = 1/2. */
#define Y_EXPONENTIAL_FROM 0.5

static inline double y_by_exponential(double h, o3_rng *rng) {
  /* No draw is ever accepted for a NaN coupling: it is handed on, as the
     library and inversion do, instead of looping for ever. */
  if (isnan(h)) return h;
  if (h < Y_EXPONENTIAL_FROM) {
    for (;;) {
      const double y = 2.0 * uniform53(rng) - 1.0;
      if (uniform53(rng) < exp(h * (y - 1.0))) return y;
    }
  }
  for (;;) {
    /* u = 0 gives E = inf, which is drawn again. */
    const double e = -log(uniform53(rng));
    if (e <= 2.0 * h) return 1.0 - e / h;
  }
}

/* For loops that call y_draw with a constant method: forced inline, each
   gets a copy of its own with the switch folded, so that timings compare
   the draws and not the cost of choosing one. */
#if defined(__GNUC__)
#define Y_DRAW_INLINE __attribute__((always_inline)) inline
#else
#define Y_DRAW_INLINE inline
#endif

/* method is passed on its own so that a caller which passes a constant
   gets the switch folded away where this is inlined. */
static inline double y_draw(struct y_source *src, enum y_method method, double h) {
  switch (method) {
  case Y_TABLES:
    return o3_draw(src->table, h, &src->rng);
  case Y_TABLES_COUNTED: {
    /* The draw of o3_draw in its two parts, the tries from the tables
       counted. */
    const uint64_t word = o3_rng_next(&src->rng);
    double y;
    if (o3_from_tables(src->table, fabs(h))) ++src->tries;
    if (o3_try(src->table, h, word, &y)) return y;
    return o3_draw_rest(src->table, h, word, o3_rng_word, &src->rng, &src->table->counts,
                        &src->tries);
  }
  case Y_INVERSION:
    return y_by_inversion(h, uniform53(&src->rng));
  case Y_EXPONENTIAL:
    return y_by_exponential(h, &src->rng);
  case Y_NONE:
    break;
  }
  return Y_NONE_VALUE;
}

/* y[i] for h[i], i < n, couplings known all at once: the tables draw them
   together (o3_draw_many), the other methods one after the other. */
static Y_DRAW_INLINE void y_draw_many(struct y_source *src, enum y_method method,
                                      const double *h, double *y, size_t n) {
  size_t i;
  if (method == Y_TABLES) {
    o3_draw_many(src->table, n, h, y, &src->rng);
    return;
  }
  for (i = 0; i < n; ++i) y[i] = y_draw(src, method, h[i]);
}

#ifdef __cplusplus
}
#endif

#endif
