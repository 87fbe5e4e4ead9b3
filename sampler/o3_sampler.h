/* Drawing y = cos(theta) in [-1, 1] with density proportional to
   exp(h*y - h), for any coupling h, from the tables of an O3.res file.

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

/* ------------------------------------------------------------------------ */
/* Opening a table */

/* Statuses of o3_open. */
enum {
  O3_OK = 0,
  O3_CANNOT_READ = 1, /* the path is not a readable regular file */
  O3_REFUSED = 2,     /* the file is not a sound table: the message says where */
  O3_NO_MEMORY = 3
};

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
   it does not hold together, and prepares it for drawing. Returns the
   table, or NULL with *error filled (error may be NULL). Never exits; its
   memory and time grow with the file's size only. */
o3_table *o3_open(const char *path, o3_error *error);

/* Releases a table; NULL is allowed. */
void o3_close(o3_table *t);

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
static inline uint64_t o3_rng_next(o3_rng *rng) {
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
/* Drawing */

/* One y for coupling h, from the built-in generator.
   - H0 <= h < H_max: from the tables, one word per try and a second for a
     try its squeeze does not decide;
   - any other finite h >= 0: by exact inversion of the distribution from
     one word, counted by o3_outside_count;
   - h < 0: the draw for -h, negated (an antiferromagnetic coupling);
   - h not finite, or t NULL: NaN, counted by o3_error_count (t not NULL);
   - NaN too, and counted, after a million tries without an accepted point,
     which no source of random words ever needs, and from a generator never
     seeded (a state of zeros, which gives zeros for ever). */
double o3_draw(o3_table *t, double h, o3_rng *rng);

/* The same draw from the caller's generator: each uniform(state) gives one
   word, whose top 53 bits are trunc(u * 2^53). A u outside [0, 1) is taken
   to the nearest end of it, so it never leads outside the tables; a NaN u
   makes the draw NaN, counted by o3_error_count. */
double o3_draw_uniform(o3_table *t, double h, double (*uniform)(void *state),
                       void *state);

/* y[i] for h[i], i < n, each drawn as o3_draw draws it, from the built-in
   generator: the fastest way to draw many couplings known at once (one
   sublattice of a checkerboard sweep). The first tries of up to
   O3_BATCH couplings are made together, their records fetched ahead, and
   the draws that miss are finished after them; so the words are taken in
   another order than n calls of o3_draw take them. y may be h itself, the
   draws replacing the couplings; otherwise the two must not overlap. */
#define O3_BATCH 64
void o3_draw_many(o3_table *t, size_t n, const double *h, double *y, o3_rng *rng);

/* The same draw from any source of 64-bit words, of which only the top 53
   bits are used. */
double o3_draw_words(o3_table *t, double h, uint64_t (*word)(void *state),
                     void *state);

/* Draws since the table was opened whose |h| lay outside [H0, H_max), and
   draws that gave NaN. Draw from a table in one thread at a time: these
   counts are plain integers. */
uint64_t o3_outside_count(const o3_table *t);
uint64_t o3_error_count(const o3_table *t);

/* ------------------------------------------------------------------------ */
/* What the table holds, as its file says it */

double o3_h0(const o3_table *t);
double o3_h_max(const o3_table *t);
double o3_losses(const o3_table *t); /* percent, from the first line */
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
/* The first try, inline for speed. The fields below are filled by o3_open
   and never changed afterwards; they are the library's, not to be written. */

struct o3_route {  /* couplings below bound go to cell offset + (int)(h / step) */
  double bound;    /* NaN for the last lookup line: never passed */
  double inverse;  /* 1 / step */
  int64_t offset;
};
struct o3_cell {   /* a cell of the map and the first record of its histogram */
  double start;    /* its first coupling; after the last cell, infinity */
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
  double h0;
  double h_max;
  uint64_t nd;
  const struct o3_route *routes;
  const struct o3_cell *cells;
  uint64_t cell_count;
  const struct o3_fast *fast;
  struct o3_private *rest;
};

/* What the tries after a missed first try need to know of it. */
typedef struct o3_miss {
  uint64_t word; /* the first try's word */
  int64_t cell;  /* its cell, or -1 when h is not drawn from the tables */
  uint64_t k;    /* its piece in the histogram */
  uint64_t m;    /* its height in the box, times 2^53 */
} o3_miss;

#define O3_LOW53 ((UINT64_C(1) << 53) - 1)

/* Where the first try of a draw for h with one word falls, t an open
   table: its record, with *miss set for o3_after_miss; NULL when h is not
   drawn from the tables. The word's top 53 bits w give the piece
   k = (w * Nd_poi) >> 53 and the height m, the rest. */
static inline const struct o3_fast *o3_locate(const o3_table *t, double h,
                                              uint64_t word, o3_miss *miss) {
  /* Every field read before the first branch, so that a loop of draws can
     keep them in registers. */
  const struct o3_route *r = t->routes;
  const struct o3_cell *cells = t->cells;
  const struct o3_fast *fast = t->fast;
  const uint64_t count = t->cell_count;
  const uint64_t p = (word >> 11) * t->nd;
  const int inside = h >= t->h0 && h < t->h_max;
  int64_t j;
  miss->word = word;
  miss->cell = -1;
  if (!inside) return NULL;
  while (h >= r->bound) ++r;
  /* h * (1 / step) is h / step to within an ulp or two, so its cell is the
     lookup line's or one beside it; the cell's first coupling, exact,
     settles which, without a division on the way to the draw. */
  j = r->offset + (int64_t)(h * r->inverse);
  if ((uint64_t)j >= count) j = j < 0 ? 0 : (int64_t)count - 1;
  if (h < cells[j].start) {
    --j;
  } else if (h >= cells[j + 1].start) {
    ++j;
  }
  miss->cell = j;
  miss->k = p >> 53;
  miss->m = p & O3_LOW53;
  return &fast[cells[j].first_record + miss->k];
}

/* The first try: 1 and *y when it lies under the squeeze of its piece,
   else 0 with *miss set for o3_after_miss. */
static inline int o3_first_try(const o3_table *t, double h, uint64_t word,
                               double *y, o3_miss *miss) {
  const struct o3_fast *f = o3_locate(t, h, word, miss);
  double at;
  if (f == NULL) return 0;
  at = f->left + (double)miss->m * f->scale;
  if (at < f[1].left) {
    *y = at;
    return 1;
  }
  return 0;
}

/* The rest of a draw whose first try missed: further tries from
   word(state), or the draw outside the tables; NaN for a NULL table.
   *tries, when tries is not NULL, is increased by the tries made after the
   first. */
double o3_after_miss(o3_table *t, double h, const o3_miss *miss,
                     uint64_t (*word)(void *state), void *state,
                     uint64_t *tries);

#ifdef __cplusplus
}
#endif

#endif
