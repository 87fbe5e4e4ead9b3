/* The draws after a first try that o3_try did not accept: the tries from
   the tables, exact inversion, the table-free methods, and the draws with
   each source of random words. */
#include "o3_internal.h"

#include <float.h>
#include <math.h>
#include <stddef.h>

/* The first try from the tables tested against the density, then further
   tries as the first. The bounds of the piece at a decide most of them
   without an exp; they only decide a try that the density would decide the
   same way, so the draws are those of the density alone. */
static double from_tables(const o3_table *t, double a, uint64_t word, struct o3_source *s) {
  const struct o3_private *p = t->rest;
  const struct o3_cell *cell = &t->cells[o3_cell_of(t, a)];
  const struct o3_piece *pieces = p->pieces + (size_t)cell->histogram * t->nd;
  const struct o3_fast *fast = t->fast + cell->first_record;
  const double area = p->file.area[cell->histogram];
  const double to_top = p->upper[cell->histogram] - a;
  const double from_bottom = a - p->lower[cell->histogram];
  uint64_t product = (word >> 11) * t->nd;
  long more;
  for (more = 0; more < O3_MOST_TRIES_A_DRAW; ++more) {
    const uint64_t k = product >> 53;
    const uint64_t m = product & O3_LOW53;
    const struct o3_piece *q = &pieces[k];
    const double y_fast = fast[k].left + (double)m * fast[k].scale;
    if (y_fast < fast[k + 1].left) return y_fast;
    {
      const double v = (double)m * 0x1p-53;
      const double offset = o3_unit(o3_next(s)) * q->width;
      const double y = q->left + offset;
      if (v < o3_bound_below(q, a, to_top, offset) ||
          (!(v >= o3_bound_above(q, from_bottom, offset)) &&
           v * area < q->width * exp(a * (y - 1.0)))) {
        return y;
      }
    }
    product = (o3_next(s) >> 11) * t->nd;
    if (s->tries != NULL) ++*s->tries;
  }
  return O3_NAN;
}

/* Exact inversion of the distribution function at a >= 0 with u from the
   word: exp(a (y - 1)) = u + (1 - u) exp(-2a), in the form that keeps the
   digits of y. For small a the right side lies next to 1, and
   log1p((1 - u) expm1(-2a)) keeps what its plain log would lose; for larger
   a a y next to -1 makes it small, which that form would find as 1 plus a
   number next to -1, while the plain sum of two positive terms keeps it.
   Both err by less than 1e-15 at a = 1/2, where one hands over to the
   other. 1 - u is exact for a u of 53 bits. Below 1e-100 the density is
   flat to far better than double precision, and y is uniform: there the
   products would sink into subnormal numbers of a few bits. */
static double inversion(double a, uint64_t word) {
  const double u = o3_unit(word);
  double y;
  if (a < 1e-100) return 2.0 * u - 1.0;
  if (a < 0.5) {
    y = 1.0 + log1p((1.0 - u) * expm1(-2.0 * a)) / a;
  } else {
    y = 1.0 + log(u + (1.0 - u) * exp(-2.0 * a)) / a;
  }
  /* At u = 0 and large a the log is -inf; rounding can pass an end by an
     ulp. */
  return y < -1.0 ? -1.0 : y > 1.0 ? 1.0 : y;
}

/* The draw for a finite a >= 0 from its first word on, by the method the
   engine gives a. */
static double draw_from(const o3_table *t, double a, uint64_t word, struct o3_source *s,
                        o3_counts *counts) {
  if (a >= t->exponential_from) return o3_exponential_draw(a, word, s);
  if (a < t->uniform_below) return o3_uniform_draw(a, word, s);
  if (a >= t->h0 && a < t->h_max) return from_tables(t, a, word, s);
  if (counts != NULL) ++counts->outside;
  return inversion(a, word);
}

static int unseeded(const o3_rng *rng) {
  return (rng->s[0] | rng->s[1] | rng->s[2] | rng->s[3]) == 0;
}

static double refused(o3_counts *counts) {
  if (counts != NULL) ++counts->errors;
  return O3_NAN;
}

uint64_t o3_rng_word(void *rng) { return o3_rng_next((o3_rng *)rng); }

double o3_draw_rest(const o3_table *t, double h, uint64_t word, uint64_t (*word_of)(void *),
                    void *state, o3_counts *counts, uint64_t *tries) {
  struct o3_source s;
  double y;
  if (t == NULL) return O3_NAN;
  if (!(fabs(h) <= DBL_MAX)) return refused(counts);
  /* Only the generator's state of zeros gives a zero word for ever; a word
     of 0 from any other is drawn with. */
  if (word == 0 && word_of == o3_rng_word && unseeded((const o3_rng *)state)) {
    return refused(counts);
  }
  s.word = word_of;
  s.state = state;
  s.tries = tries;
  y = draw_from(t, fabs(h), word, &s, counts);
  if (y != y) return refused(counts);
  return h < 0.0 ? -y : y;
}

double o3_draw_call(o3_table *t, double h, o3_rng *rng) { return o3_draw(t, h, rng); }

double o3_stream_draw_call(const o3_table *t, double h, o3_stream *s) {
  return o3_stream_draw(t, h, s);
}

double o3_draw_words(o3_table *t, double h, uint64_t (*word)(void *), void *state) {
  uint64_t first;
  double y;
  if (t == NULL) return O3_NAN;
  first = word(state);
  if (o3_try(t, h, first, &y)) return y;
  return o3_draw_rest(t, h, first, word, state, &t->counts, NULL);
}

struct uniform_source {
  double (*uniform)(void *);
  void *state;
  int full;         /* the engine reads all 64 bits of a word */
  int not_a_number; /* a NaN came: the draw is refused */
};

/* trunc(u * 2^bits), u taken into [0, 1) first: a source that gives 1.0
   (rand() / (double)RAND_MAX does) or worse must not reach past the last
   piece. A NaN has no nearest end; its bits only end the draw, whose y is
   then refused. */
static uint64_t uniform_bits(struct uniform_source *s, int bits) {
  const double u = s->uniform(s->state);
  const double top = (double)(UINT64_C(1) << bits);
  if (u != u) s->not_a_number = 1;
  if (!(u > 0.0)) return 0;
  return u < 1.0 ? (uint64_t)(u * top) : (UINT64_C(1) << bits) - 1;
}

/* A word from one uniform, in its top 53 bits, where the tables read it;
   from two for the other engines, which read the low 11 bits too (the
   exponential's layer, the uniform proposal's first bits of v): a second
   uniform gives those. */
static uint64_t uniform_word(void *source) {
  struct uniform_source *s = (struct uniform_source *)source;
  const uint64_t top = uniform_bits(s, 53) << 11;
  return s->full ? top | uniform_bits(s, 11) : top;
}

double o3_draw_uniform(o3_table *t, double h, double (*uniform)(void *), void *state) {
  struct uniform_source s;
  double y;
  s.uniform = uniform;
  s.state = state;
  s.full = t != NULL && t->rest->engine != O3_ENGINE_TABLES;
  s.not_a_number = 0;
  y = o3_draw_words(t, h, uniform_word, &s);
  /* A NaN y was counted already. */
  return s.not_a_number && y == y ? refused(&t->counts) : y;
}

/* Records no first try lands under, for a coupling the tables do not
   serve: every try is at 0, never below the next record's left. */
static const struct o3_fast o3_nowhere[2] = {{0.0, 0.0}, {-HUGE_VAL, 0.0}};

/* A batch from the tables, as o3tables 0.1 drew it: the first words of all,
   every record's address, fetched together, then every first try without a
   branch that a miss could mispredict, then the misses finished in turn. */
static void tables_batch(const o3_table *t, size_t b, const double *h, double *y, o3_rng *rng,
                         o3_counts *counts) {
  const struct o3_fast *f[O3_BATCH];
  uint64_t word[O3_BATCH];
  size_t missed[O3_BATCH];
  size_t misses = 0, i;
  for (i = 0; i < b; ++i) {
    word[i] = o3_rng_next(rng);
    f[i] = o3_record(t, fabs(h[i]), word[i]);
    if (f[i] == NULL) f[i] = o3_nowhere;
#if defined(__GNUC__)
    /* The record and the next one's left, which may lie in the next cache
       line. */
    __builtin_prefetch(f[i]);
    __builtin_prefetch(f[i] + 1);
#endif
  }
  for (i = 0; i < b; ++i) {
    const double at = f[i]->left + (double)((word[i] >> 11) * t->nd & O3_LOW53) * f[i]->scale;
    y[i] = h[i] < 0.0 ? -at : at;
    missed[misses] = i;
    misses += (size_t) !(at < f[i][1].left && word[i] != 0);
  }
  for (i = 0; i < misses; ++i) {
    const size_t at = missed[i];
    y[at] = o3_draw_rest(t, h[at], word[at], o3_rng_word, rng, counts, NULL);
  }
}

/* The table-free methods keep no records to fetch ahead: their draws of
   many are the draws one after the other. A state of zeros is refused up
   front, as a draw of one refuses it at its first word. */
static void draw_many(const o3_table *t, size_t n, const double *h, double *y, o3_rng *rng,
                      o3_counts *counts) {
  size_t from;
  if (t != NULL && t->rest->engine != O3_ENGINE_TABLES) {
    for (from = 0; from < n; ++from) y[from] = o3_draw_in(t, h[from], rng, counts);
    return;
  }
  for (from = 0; from < n; from += O3_BATCH) {
    const size_t b = n - from < O3_BATCH ? n - from : O3_BATCH;
    double hb[O3_BATCH]; /* h kept: y may be h itself */
    size_t i;
    if (t == NULL || unseeded(rng)) {
      for (i = 0; i < b; ++i) y[from + i] = t == NULL ? O3_NAN : refused(counts);
      continue;
    }
    for (i = 0; i < b; ++i) hb[i] = h[from + i];
    tables_batch(t, b, hb, y + from, rng, counts);
  }
}

void o3_draw_many(o3_table *t, size_t n, const double *h, double *y, o3_rng *rng) {
  draw_many(t, n, h, y, rng, t != NULL ? &t->counts : NULL);
}

void o3_stream_draw_many(const o3_table *t, size_t n, const double *h, double *y, o3_stream *s) {
  draw_many(t, n, h, y, &s->rng, &s->counts);
}

uint64_t o3_outside_count(const o3_table *t) { return t != NULL ? t->counts.outside : 0; }
uint64_t o3_error_count(const o3_table *t) { return t != NULL ? t->counts.errors : 0; }
