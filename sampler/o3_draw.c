/* The draws: the tries after a missed first try, the draws outside the
   tables, and the draw with each source of random words. */
#include "o3_internal.h"

#include <math.h>
#include <stddef.h>

static double unit(uint64_t word) { return (double)(word >> 11) * 0x1p-53; }

/* A table the reader accepts needs at most 1000 tries a draw on average,
   so this many mean the words are not random (a generator stuck on one
   value): the draw gives up rather than loop for ever. */
#define O3_MOST_TRIES_A_DRAW 1000000

/* The first try tested against the density, then further tries as the
   first. The bounds of the piece at h decide most of them without an exp;
   they only decide a try that the density would decide the same way, so
   the draws are those of the density alone. */
static double tries_after(o3_table *t, double h, const o3_miss *miss,
                          uint64_t (*word)(void *), void *state, uint64_t *tries) {
  const struct o3_private *p = t->rest;
  const struct o3_cell *cell = &t->cells[miss->cell];
  const struct o3_piece *pieces = p->pieces + (size_t)cell->histogram * t->nd;
  const struct o3_fast *fast = t->fast + cell->first_record;
  const double area = p->file.area[cell->histogram];
  const double to_top = p->upper[cell->histogram] - h;
  const double from_bottom = h - p->lower[cell->histogram];
  uint64_t k = miss->k;
  uint64_t m = miss->m;
  long more;
  for (more = 0; more < O3_MOST_TRIES_A_DRAW; ++more) {
    const struct o3_piece *q = &pieces[k];
    double y_fast;
    const double v = (double)m * 0x1p-53;
    const double offset = unit(word(state)) * q->width;
    const double y = q->left + offset;
    uint64_t product;
    if (v < o3_bound_below(q, h, to_top, offset) ||
        (!(v >= o3_bound_above(q, from_bottom, offset)) &&
         v * area < q->width * exp(h * (y - 1.0)))) {
      return y;
    }
    product = (word(state) >> 11) * t->nd;
    k = product >> 53;
    m = product & O3_LOW53;
    if (tries != NULL) ++*tries;
    y_fast = fast[k].left + (double)m * fast[k].scale;
    if (y_fast < fast[k + 1].left) return y_fast;
  }
  ++t->rest->errors;
  return O3_NAN;
}

/* Exact inversion of the distribution function at h >= 0 with u from the
   word: exp(h (y - 1)) = u + (1 - u) exp(-2h), in the form that keeps the
   digits of y. For small h the right side lies next to 1, and
   log1p((1 - u) expm1(-2h)) keeps what its plain log would lose; for larger
   h a y next to -1 makes it small, which that form would find as 1 plus a
   number next to -1, while the plain sum of two positive terms keeps it.
   Both err by less than 1e-15 at h = 1/2, where one hands over to the
   other. 1 - u is exact for a u of 53 bits. Below 1e-100 the density is
   flat to far better than double precision, and y is uniform: there the
   products would sink into subnormal numbers of a few bits. */
static double inversion(double h, uint64_t word) {
  const double u = unit(word);
  double y;
  if (h < 1e-100) return 2.0 * u - 1.0;
  if (h < 0.5) {
    y = 1.0 + log1p((1.0 - u) * expm1(-2.0 * h)) / h;
  } else {
    y = 1.0 + log(u + (1.0 - u) * exp(-2.0 * h)) / h;
  }
  /* At u = 0 and large h the log is -inf; rounding can pass an end by an
     ulp. */
  return y < -1.0 ? -1.0 : y > 1.0 ? 1.0 : y;
}

double o3_after_miss(o3_table *t, double h, const o3_miss *miss,
                     uint64_t (*word)(void *), void *state, uint64_t *tries) {
  o3_miss mirrored;
  double y;
  if (miss->cell >= 0) return tries_after(t, h, miss, word, state, tries);
  if (t == NULL) return O3_NAN;
  if (!(fabs(h) < O3_INFINITY)) {
    ++t->rest->errors;
    return O3_NAN;
  }
  if (h < 0.0) {
    /* The density for -h is that for h mirrored: exp(-h y + h) at y is
       exp(h (-y) - h) up to a constant factor. The caller's first try was
       not from the tables; this one is, and counts. */
    const int hit = o3_first_try(t, -h, miss->word, &y, &mirrored);
    if (tries != NULL && mirrored.cell >= 0) ++*tries;
    if (hit) return -y;
    return -o3_after_miss(t, -h, &mirrored, word, state, tries);
  }
  ++t->rest->outside;
  return inversion(h, miss->word);
}

double o3_draw_words(o3_table *t, double h, uint64_t (*word)(void *), void *state) {
  o3_miss miss;
  double y;
  if (t == NULL) return O3_NAN;
  if (o3_first_try(t, h, word(state), &y, &miss)) return y;
  return o3_after_miss(t, h, &miss, word, state, NULL);
}

static uint64_t rng_word(void *rng) { return o3_rng_next((o3_rng *)rng); }

/* A state of zeros gives zeros for ever, every draw accepted at -1: the
   state of a generator never seeded (static storage, a Fortran module
   variable), refused like any other source whose words are not random. */
static int unseeded(const o3_rng *rng) {
  return (rng->s[0] | rng->s[1] | rng->s[2] | rng->s[3]) == 0;
}

static double refused_draw(o3_table *t) {
  if (t != NULL) ++t->rest->errors;
  return O3_NAN;
}

double o3_draw(o3_table *t, double h, o3_rng *rng) {
  if (unseeded(rng)) return refused_draw(t);
  return o3_draw_words(t, h, rng_word, rng);
}

/* Records no first try lands under, for a coupling outside the tables:
   every try is at 0, never below the next record's left. */
static const struct o3_fast o3_nowhere[2] = {{0.0, 0.0}, {-HUGE_VAL, 0.0}};

void o3_draw_many(o3_table *t, size_t n, const double *h, double *y, o3_rng *rng) {
  size_t from;
  for (from = 0; from < n; from += O3_BATCH) {
    const size_t b = n - from < O3_BATCH ? n - from : O3_BATCH;
    const struct o3_fast *f[O3_BATCH];
    double hb[O3_BATCH]; /* h kept: y may be h itself */
    o3_miss miss[O3_BATCH];
    size_t missed[O3_BATCH];
    size_t misses = 0, i;
    if (t == NULL || unseeded(rng)) {
      for (i = 0; i < b; ++i) y[from + i] = refused_draw(t);
      continue;
    }
    /* Every record's address first, so that their fetches overlap. */
    for (i = 0; i < b; ++i) {
      hb[i] = h[from + i];
      f[i] = o3_locate(t, hb[i], o3_rng_next(rng), &miss[i]);
      if (f[i] == NULL) {
        f[i] = o3_nowhere;
        miss[i].m = 0;
      }
#if defined(__GNUC__)
      /* The record and the next one's left, which may lie in the next
         cache line. */
      __builtin_prefetch(f[i]);
      __builtin_prefetch(f[i] + 1);
#endif
    }
    /* Then every first try, without a branch that a miss could mispredict:
       the misses are listed and finished afterwards. */
    for (i = 0; i < b; ++i) {
      const double at = f[i]->left + (double)miss[i].m * f[i]->scale;
      y[from + i] = at;
      missed[misses] = i;
      misses += (size_t)!(at < f[i][1].left);
    }
#if defined(__GNUC__)
    /* The pieces the misses try against next, fetched together too. */
    for (i = 0; i < misses; ++i) {
      const o3_miss *m = &miss[missed[i]];
      if (m->cell >= 0) {
        __builtin_prefetch(&t->rest->pieces[(size_t)t->cells[m->cell].histogram * t->nd + m->k]);
      }
    }
#endif
    for (i = 0; i < misses; ++i) {
      const size_t at = missed[i];
      y[from + at] = o3_after_miss(t, hb[at], &miss[at], rng_word, rng, NULL);
    }
  }
}

struct uniform_source {
  double (*uniform)(void *);
  void *state;
  int not_a_number; /* a NaN came: the draw is refused */
};

/* trunc(u * 2^53) in the top 53 bits, u taken into [0, 1) first: a source
   that gives 1.0 (rand() / (double)RAND_MAX does) or worse must not reach
   past the last piece. A NaN has no nearest end; its word only ends the
   draw, whose y is then refused. */
static uint64_t uniform_word(void *source) {
  struct uniform_source *s = (struct uniform_source *)source;
  const double u = s->uniform(s->state);
  uint64_t w;
  if (u != u) s->not_a_number = 1;
  if (!(u > 0.0)) return 0;
  w = u < 1.0 ? (uint64_t)(u * 0x1p53) : O3_LOW53;
  return w << 11;
}

double o3_draw_uniform(o3_table *t, double h, double (*uniform)(void *), void *state) {
  struct uniform_source s;
  double y;
  s.uniform = uniform;
  s.state = state;
  s.not_a_number = 0;
  y = o3_draw_words(t, h, uniform_word, &s);
  /* A NaN y was counted already. */
  return s.not_a_number && y == y ? refused_draw(t) : y;
}

uint64_t o3_outside_count(const o3_table *t) { return t != NULL ? t->rest->outside : 0; }
uint64_t o3_error_count(const o3_table *t) { return t != NULL ? t->rest->errors : 0; }

/* ------------------------------------------------------------------------ */
/* The generator's state, filled by splitmix64 */

void o3_rng_seed(o3_rng *rng, uint64_t seed) {
  int i;
  for (i = 0; i < 4; ++i) {
    uint64_t z = (seed += UINT64_C(0x9e3779b97f4a7c15));
    z = (z ^ (z >> 30)) * UINT64_C(0xbf58476d1ce4e5b9);
    z = (z ^ (z >> 27)) * UINT64_C(0x94d049bb133111eb);
    rng->s[i] = z ^ (z >> 31);
  }
}

double o3_rng_uniform(o3_rng *rng) { return unit(o3_rng_next(rng)); }
