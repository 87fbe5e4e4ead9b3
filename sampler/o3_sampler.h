/* Drawing y = cos(theta) in [-1, 1] with density proportional to
   exp(h*y - h), for any coupling h, exactly: by an exponential variate
   scaled by h, a uniform proposal for small couplings, or the tables of an
   O3.res file, whichever is fastest for h.

   C99. The same code serves C, C++ (sampler/sampler.h wraps it) and Fortran
   (o3_sampler.f90 binds it), so that one stream of random words gives the
   same draws in every language. Compile with -ffp-contract=off (the default
   on x86-64 without FMA) to keep those draws bit for bit. */
#ifndef O3_SAMPLER_H
#define O3_SAMPLER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The draw's first try is inline in the caller's loop, where compilers
   would otherwise weigh its size against one call site alone. */
#if defined(__GNUC__)
#define O3_INLINE static inline __attribute__((always_inline))
#define O3_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define O3_INLINE static inline
#define O3_LIKELY(x) (x)
#endif

/* ------------------------------------------------------------------------ */
/* Opening a table */

/* Statuses of o3_open. */
enum {
  O3_OK = 0,
  O3_CANNOT_READ = 1, /* the path is not a readable regular file */
  O3_REFUSED = 2,     /* the file is not a sound table: the message says where */
  O3_NO_MEMORY = 3,
  O3_BAD_ENGINE = 4 /* an engine o3_open_engine does not know, or a file it cannot take */
};

/* How draws are made; every engine draws exactly, they differ in speed and
   in the stream of draws a seed gives.
   - O3_ENGINE_DEFAULT: the fastest in a heat-bath sweep of those below, and
     so of this version: the exponential engine's methods. A later version
     may draw otherwise; name an engine to keep a stream.
   - O3_ENGINE_EXPONENTIAL: no table. From |h| = O3_EXPONENTIAL_FROM on,
     y = 1 - E/|h| with E an exponential variate of the sampler's own
     ziggurat, folded back by 2|h| (see o3_fold); below it, y uniform, kept
     with probability exp(|h| (y - 1)).
   - O3_ENGINE_TABLES: the tables for H0 <= |h| < H_max, exact inversion
     outside them (counted): the draws of o3tables 0.1, seed for seed. */
enum { O3_ENGINE_DEFAULT = 0, O3_ENGINE_TABLES = 1, O3_ENGINE_EXPONENTIAL = 2 };
#define O3_EXPONENTIAL_FROM 0.2

/* Why o3_open failed: its status, the line of the file it names (0 for
   none) and one line of text, "<path>: line <n>: <what>", in which bytes of
   the path that are not printable are escaped. */
typedef struct o3_error {
  int status;
  long line;
  char message[512];
} o3_error;

typedef struct o3_table o3_table;

/* Reads the O3.res at path line by line, refuses it at the first line where
   it does not hold together, and prepares it for drawing with the default
   engine. Returns the table, or NULL with *error filled (error may be
   NULL). Never exits; its memory and time grow with the file's size only.
   An open table is never written by the draws of an o3_stream, so any
   number of threads may draw from it at once. */
o3_table *o3_open(const char *path, o3_error *error);

/* The same with the given engine. The tables engine needs the file; the
   others draw without it, and path may be NULL: a sampler without a
   table. O3_ENGINE_EXPONENTIAL reads none: its path must be NULL. */
o3_table *o3_open_engine(const char *path, int engine, o3_error *error);

/* Releases a table; NULL is allowed. */
void o3_close(o3_table *t);

/* The engine it was opened with; -1 for NULL. */
int o3_engine(const o3_table *t);

/* ------------------------------------------------------------------------ */
/* Random words */

/* xoshiro256**: a built-in generator, so that a simulation needs nothing
   else and its draws are reproducible from one seed. */
typedef struct o3_rng {
  uint64_t s[4];
} o3_rng;

/* Seeds the state from one number, expanded by splitmix64. */
void o3_rng_seed(o3_rng *rng, uint64_t seed);

/* The next 64-bit word. */
O3_INLINE uint64_t o3_rng_next(o3_rng *rng) {
  uint64_t *s = rng->s;
  const uint64_t result = ((s[1] * 5) << 7 | (s[1] * 5) >> 57) * 9;
  const uint64_t t = s[1] << 17;
  s[2] ^= s[0];
  s[3] ^= s[1];
  s[1] ^= s[2];
  s[0] ^= s[3];
  s[2] ^= t;
  s[3] = s[3] << 45 | s[3] >> 19;
  return result;
}

/* The next word's top 53 bits times 2^-53: a uniform double in [0, 1). */
double o3_rng_uniform(o3_rng *rng);

/* ------------------------------------------------------------------------ */
/* Streams: what the draws of one thread change */

/* Draws whose |h| the engine would have drawn from the tables but the
   tables did not cover (drawn exactly all the same, by the table-free
   method), and draws that gave NaN. */
typedef struct o3_counts {
  uint64_t outside;
  uint64_t errors;
} o3_counts;

/* A generator and the counts of the draws made from it: one per thread, or
   one per place of a lattice and sweep (o3_stream_seed_at). The caller owns
   it; the draws write nothing else. */
typedef struct o3_stream {
  o3_rng rng;
  o3_counts counts;
} o3_stream;

/* The generator seeded as o3_rng_seed seeds it, the counts zero. */
void o3_stream_seed(o3_stream *s, uint64_t seed);

/* A generator of its own for each (seed, sweep, place), the counts zero:
   a simulation that takes the words of each place of each sweep (a plane of
   a lattice, say) from its own stream draws the same configuration with
   any number of threads or processes. The state is a hash of all three, so
   that streams of neighbouring places or sweeps share nothing visible. */
void o3_stream_seed_at(o3_stream *s, uint64_t seed, uint64_t sweep, uint64_t place);

/* ------------------------------------------------------------------------ */
/* Drawing. Every draw below: for h < 0 the draw for -h, negated (an
   antiferromagnetic coupling); for h not finite or t NULL, NaN, counted as
   an error (t not NULL); NaN too, and counted, after a million tries
   without an accepted point, which no source of random words ever needs,
   and from a generator never seeded (a state of zeros, which gives zeros
   for ever). */

O3_INLINE double o3_draw(o3_table *t, double h, o3_rng *rng);

/* One y for coupling h from the stream's generator, its counts in s: the
   table is only read. */
O3_INLINE double o3_stream_draw(const o3_table *t, double h, o3_stream *s);

/* y[i] for h[i], i < n, each drawn as o3_stream_draw draws it: the fastest
   way to draw many couplings known at once (one sublattice of a
   checkerboard sweep). The first tries of up to O3_BATCH couplings are made
   together and the draws that miss are finished after them, so the words
   are taken in another order than n calls of o3_stream_draw take them. y
   may be h itself, the draws replacing the couplings; otherwise the two
   must not overlap. */
#define O3_BATCH 64
void o3_stream_draw_many(const o3_table *t, size_t n, const double *h, double *y, o3_stream *s);

/* The draws of one thread at a time, counted in the table: o3_draw(t, h,
   rng) is o3_stream_draw with rng's words and t's counts, o3_draw_many
   likewise. */
void o3_draw_many(o3_table *t, size_t n, const double *h, double *y, o3_rng *rng);

/* The draw from the caller's generator, counted in the table. The tables
   engine takes one uniform u a word, trunc(u * 2^53) in its top 53 bits;
   the others take a second, whose trunc(u * 2^11) fills the low 11 bits
   they read too. A u outside [0, 1) is taken to the nearest end of it, so
   it never leads outside the tables; a NaN u makes the draw NaN, counted. */
double o3_draw_uniform(o3_table *t, double h, double (*uniform)(void *state), void *state);

/* The same draw from any source of 64-bit words, counted in the table. */
double o3_draw_words(o3_table *t, double h, uint64_t (*word)(void *state), void *state);

/* o3_draw and o3_stream_draw as functions the linker sees, for languages
   that call C but cannot inline it (the Fortran module). */
double o3_draw_call(o3_table *t, double h, o3_rng *rng);
double o3_stream_draw_call(const o3_table *t, double h, o3_stream *s);

/* The table's own counts of the draws above (not of the streams'). Draw
   with these from a table in one thread at a time: they are plain
   integers. */
uint64_t o3_outside_count(const o3_table *t);
uint64_t o3_error_count(const o3_table *t);

/* ------------------------------------------------------------------------ */
/* What the table holds, as its file says it (NaN and 0 without a table) */

double o3_h0(const o3_table *t);
double o3_h_max(const o3_table *t);
double o3_losses(const o3_table *t);            /* percent, from the first line */
int o3_pieces_per_histogram(const o3_table *t); /* Nd_poi */
int o3_histogram_count(const o3_table *t);
int o3_map_entry_count(const o3_table *t);
int o3_lookup_line_count(const o3_table *t);
/* Bound k of the lookup lines, 0 <= k < o3_lookup_line_count: couplings
   below it and not below bound k - 1 take line k. The last is H_max. */
double o3_lookup_bound(const o3_table *t, int k);

/* Histogram g, 0 <= g < o3_histogram_count: its coupling, its loss in
   percent, its box area and its Nd_poi + 1 points from -1 to 1. */
double o3_histogram_coupling(const o3_table *t, int g);
double o3_histogram_loss(const o3_table *t, int g);
double o3_histogram_area(const o3_table *t, int g);
const double *o3_histogram_points(const o3_table *t, int g);

/* The smallest coupling that the lookup lines and the map route to
   histogram g, and the first coupling above it that they route elsewhere
   (H_max for the last); both its own coupling when none is routed to it. */
double o3_smallest_served(const o3_table *t, int g);
double o3_largest_served(const o3_table *t, int g);

/* The histogram that serves h, H0 <= h < H_max, routed exactly as the
   file's C lookup lines and map route it; -1 outside that range. */
int o3_histogram_of(const o3_table *t, double h);

/* The piece whose box lies closest above the density at the smallest
   coupling its histogram serves: box / density - 1, and where. */
double o3_least_surplus(const o3_table *t, int *g, int *k);

/* ------------------------------------------------------------------------ */
/* The first try of a draw, inline for speed. Everything below is the
   library's: the fields are filled by o3_open and never changed after. */

/* A layer of the exponential's ziggurat: a try at height m < k (m the top
   53 bits of its word) lies under the density; its point is m * scale. */
struct o3_layer {
  uint64_t k;
  double scale;
};
#define O3_LAYERS 512
extern const struct o3_layer o3_layers[O3_LAYERS];
/* Where the base layer's tail begins, r = 8.48...: a variate past it is r
   plus an exponential. For |h| below r / 8 such a variate is past 8|h| and
   drawn again, below r / 2 it folds: couplings where the draw changes. */
extern const double o3_tail_start;

struct o3_route { /* couplings below bound go to cell offset + (int)(h / step) */
  double bound;   /* NaN for the last lookup line: never passed */
  double inverse; /* 1 / step */
  int64_t offset;
};
struct o3_cell { /* a cell of the map and the first record of its histogram */
  double start;  /* its first coupling; after the last cell, infinity */
  int32_t histogram;
  uint32_t first_record;
};
/* The first try's view of piece k of a histogram, Nd_poi + 1 of them a
   histogram, the last holding only its right end: the try at height m of
   the box lands at y = left + m * scale, and lies under the squeeze
   exactly when y is still below the next record's left. */
struct o3_fast {
  double left;
  double scale;
};
struct o3_private;

struct o3_table {
  o3_counts counts;        /* of the draws that take no o3_stream */
  double exponential_from; /* |h| from it: the exponential */
  double uniform_below;    /* |h| below it: the uniform proposal */
  double h0;               /* the tables serve h0 <= |h| < h_max, between those */
  double h_max;
  uint64_t nd;
  const struct o3_route *routes;
  const struct o3_cell *cells;
  uint64_t cell_count;
  const struct o3_fast *fast;
  struct o3_private *rest;
};

#define O3_LOW53 ((UINT64_C(1) << 53) - 1)
#define O3_LOW11 ((UINT64_C(1) << 11) - 1)

/* The cell of the map that serves a: the lookup line's cell, corrected by
   the cell starts; -1 when the tables do not serve a. */
O3_INLINE int64_t o3_cell_of(const o3_table *t, double a) {
  /* Every field read before the first branch, so that a loop of draws can
     keep them in registers. */
  const struct o3_route *r = t->routes;
  const struct o3_cell *cells = t->cells;
  const uint64_t count = t->cell_count;
  int64_t j;
  if (!(a >= t->h0 && a < t->h_max)) return -1;
  while (a >= r->bound) ++r;
  /* a * (1 / step) is a / step to within an ulp or two, so its cell is the
     lookup line's or one beside it; the cell's first coupling, exact,
     settles which, without a division on the way to the draw. */
  j = r->offset + (int64_t)(a * r->inverse);
  if ((uint64_t)j >= count) j = j < 0 ? 0 : (int64_t)count - 1;
  if (a < cells[j].start) {
    --j;
  } else if (a >= cells[j + 1].start) {
    ++j;
  }
  return j;
}

/* The first try's record for a >= 0 from the tables and a word whose top 53
   bits w choose the piece (w Nd_poi) >> 53; NULL where the tables do not
   serve a. */
O3_INLINE const struct o3_fast *o3_record(const o3_table *t, double a, uint64_t word) {
  const int64_t j = o3_cell_of(t, a);
  return j < 0 ? NULL : &t->fast[t->cells[j].first_record + ((word >> 11) * t->nd >> 53)];
}

/* Whether the draw for a >= 0 begins with a try from the tables. */
O3_INLINE int o3_from_tables(const o3_table *t, double a) {
  return a < t->exponential_from && !(a < t->uniform_below) && a >= t->h0 && a < t->h_max;
}

/* y = 1 - (e/a mod 2) from an exponential variate e >= 0, for a > 0 and
   finite: e cut at 2a has the law of y; past 2a, e - 2a has the law of e
   (the exponential has no memory), so e folds back by 2a up to three times,
   and only a variate of 8a or more, e^-8a of them, leaves no y. The folds
   are subtracted from e / a, exactly (Sterbenz: t lies within a factor 2
   of it), so y is within 2^-51 of the exact transform of e; unfolded, it
   is 1 - e / a rounded once. */
O3_INLINE int o3_fold(double e, double h, double a, double *y) {
  const double twice = a + a;
  double t;
  /* Taken almost always from a = 1 on: the branch keeps the comparisons
     below off the way from h to y, and so does the sign, which h carries
     through the division: sign(h) - e / h is -(1 - e / a) for h < 0, bit
     for bit. Below, where it is taken less often, the comparisons made
     without a branch measured slower in every sweep. */
  if (O3_LIKELY(e < twice)) {
    *y = (h < 0.0 ? -1.0 : 1.0) - e / h;
    return 1;
  }
  t = e / a - (((e >= twice ? 2.0 : 0.0) + (e >= 2.0 * twice ? 2.0 : 0.0)) +
               (e >= 3.0 * twice ? 2.0 : 0.0));
  if (t <= 2.0) {
    *y = h < 0.0 ? t - 1.0 : 1.0 - t;
    return 1;
  }
  return 0;
}

/* The first try of the draw for h with one word: 1 and *y when it is
   accepted without further words, else 0, and the draw goes on in
   o3_draw_rest. The word's bits by method:
   - exponential: bits 0-7 choose the layer, the top 53 the height m in it;
     a try outside the layer's sure part, in the base layer's tail, or with
     a variate of 8a or more is finished by o3_draw_rest;
   - uniform: the top 53 bits give y = 2 u - 1 on a grid of 2^-52, bits 0-10
     the first 11 bits of the uniform v it is kept with: when every such v
     lies below exp(a (y - 1)), it is kept; otherwise o3_draw_rest takes a
     second word for the rest of v;
   - tables: the top 53 bits w choose the piece, (w Nd_poi) >> 53, and the
     height in its box, the rest; a try above the piece's squeeze is
     finished by o3_draw_rest.
   A word of 0 is left to o3_draw_rest, which tells it from a generator
   never seeded. */
O3_INLINE int o3_try(const o3_table *t, double h, uint64_t word, double *y) {
  const double a = h < 0.0 ? -h : h;
  if (word == 0) return 0;
  if (a >= t->exponential_from) {
    const struct o3_layer *l = &o3_layers[word & (O3_LAYERS - 1)];
    const uint64_t m = word >> 11;
    /* a infinite is refused; 2a and its multiples overflow to infinity
       only past any e. */
    return O3_LIKELY(m < l->k) && a <= 0x1.fffffffffffffp1023 &&
           o3_fold((double)m * l->scale, h, a, y);
  }
  if (a < t->uniform_below) {
    const double u = (double)(word >> 11) * 0x1p-53;
    const double z = a * (2.0 - 2.0 * u);
    /* exp(-z) >= 1 - z, and the last of v's 11 bits below 1 - z keeps all
       of v there: 1 - z rounds by less than exp(-z) - (1 - z) wherever the
       comparison could turn on it. */
    if ((double)((word & O3_LOW11) + 1) * 0x1p-11 <= 1.0 - z) {
      *y = h < 0.0 ? 1.0 - 2.0 * u : 2.0 * u - 1.0;
      return 1;
    }
    return 0;
  }
  {
    const struct o3_fast *f = o3_record(t, a, word);
    double at;
    if (f == NULL) return 0;
    at = f->left + (double)((word >> 11) * t->nd & O3_LOW53) * f->scale;
    if (at < f[1].left) {
      *y = h < 0.0 ? -at : at;
      return 1;
    }
    return 0;
  }
}

/* The rest of the draw for h whose first try, with word, o3_try did not
   accept: further words from word_of(state), counts in *counts; the tries
   the tables made after the first are added to *tries when it is not
   NULL. NaN for a NULL table. */
double o3_draw_rest(const o3_table *t, double h, uint64_t word, uint64_t (*word_of)(void *state),
                    void *state, o3_counts *counts, uint64_t *tries);

/* The word source of an o3_rng, for o3_draw_rest. */
uint64_t o3_rng_word(void *rng);

/* The draw of o3_draw and o3_stream_draw: the first try inline and
   nothing more, so that the caller's loop keeps room for the work around
   it (a loop of further tries here cost a heat-bath sweep more than the
   calls it saved); the rest with a copy of the generator, so that its
   state can stay in registers between draws. */
O3_INLINE double o3_draw_in(const o3_table *t, double h, o3_rng *rng, o3_counts *counts) {
  if (O3_LIKELY(t != NULL)) {
    const uint64_t word = o3_rng_next(rng);
    double y;
    if (O3_LIKELY(o3_try(t, h, word, &y))) return y;
    {
      o3_rng copy = *rng;
      y = o3_draw_rest(t, h, word, o3_rng_word, &copy, counts, NULL);
      *rng = copy;
    }
    return y;
  }
  return o3_draw_rest(NULL, h, 0, o3_rng_word, rng, NULL, NULL);
}

O3_INLINE double o3_draw(o3_table *t, double h, o3_rng *rng) {
  return o3_draw_in(t, h, rng, t != NULL ? &t->counts : NULL);
}

O3_INLINE double o3_stream_draw(const o3_table *t, double h, o3_stream *s) {
  return o3_draw_in(t, h, &s->rng, &s->counts);
}

#ifdef __cplusplus
}
#endif

#endif
