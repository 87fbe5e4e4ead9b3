/* The sampler's own declarations, shared by its C files: the table as read
   from the file, and the steps from reading to drawing. */
#ifndef O3_INTERNAL_H
#define O3_INTERNAL_H

/* POSIX where there is one: the reader refuses a FIFO or a device before it
   can block or run for ever. */
#if !defined(_POSIX_C_SOURCE) && (defined(__unix__) || defined(__APPLE__))
#define _POSIX_C_SOURCE 200809L
#endif

#include <math.h>
#include <stdio.h>

#include "o3_format.h"
#include "o3_sampler.h"

/* Double constants: C's NAN and INFINITY are floats. */
#define O3_NAN ((double)NAN)
#define O3_INFINITY HUGE_VAL

#define O3_READ_BUFFER 65536 /* bytes the reader takes from the file at a time */

/* A lookup line: couplings below bound (and not below the bound before)
   go to map index base + (int)(h / step). */
struct o3_lookup {
  double bound;
  double step;
  long base;
};

/* Everything the file says, as it says it, with the lines that said it. */
struct o3_file {
  double h0, h_max, losses;
  int nd;
  int n_histogram; /* index of the last histogram */
  int lookups;
  struct o3_lookup lookup[O3_MAX_LOOKUP_LINES];
  long lookup_line; /* of the first C lookup line */
  int entries;
  long map_line;  /* of the first map entry */
  int32_t *map_j; /* map index of entry e */
  int32_t *map_g; /* its histogram */
  int histograms; /* records read so far */
  long *record_line;
  double *coupling, *loss, *area;
  double *x; /* Nd_poi + 1 points per histogram */
};

/* A piece as the tries after the first need it. Heights are fractions of
   the box; t is the offset y - left of a point in the piece; the coupling h
   lies between the smallest coupling lo and the largest up that the
   histogram serves. The density is convex and rising in y and convex and
   falling in h, so its tangents lie below it and its chords above, in each
   variable: they bound it without evaluating it. */
struct o3_piece {
  double left;         /* x[k] */
  double width;        /* x[k+1] - x[k] */
  double squeeze;      /* the density at left for the coupling up */
  double depth;        /* 1 - left */
  double chord;        /* the density at left for the coupling lo */
  double chord_change; /* per unit of h - lo, along its chord to up */
  double rise;         /* (exp(lo * width) - 1) / width: the chord in t */
  double rise_change;  /* per unit of h - lo, along its chord to up */
};

struct o3_private {
  int engine;
  struct o3_file file;
  double *lower; /* smallest coupling each histogram serves */
  double *upper; /* first coupling above it routed elsewhere */
  struct o3_route *routes;
  int64_t first_cell; /* map index of cells[0] */
  struct o3_cell *cells;
  struct o3_fast *fast;
  struct o3_piece *pieces;
  double surplus; /* the least box / density - 1 */
  int surplus_g, surplus_k;
};

/* The exponential's layer floors (o3_layers.c). */
extern const double o3_layer_floor[O3_LAYERS + 1];

/* A table accepted by the reader needs at most 1000 tries a draw on
   average, and the table-free methods fewer than 3, so this many mean the
   words are not random (a generator stuck on one value): the draw gives up
   rather than loop for ever. */
#define O3_MOST_TRIES_A_DRAW 1000000

/* Where the tries after a draw's first take their words. */
struct o3_source {
  uint64_t (*word)(void *state);
  void *state;
  uint64_t *tries; /* the tables' tries after the first, when not NULL */
};

/* The built-in generator inline, any other through its function. */
static inline uint64_t o3_next(struct o3_source *s) {
  return s->word == o3_rng_word ? o3_rng_next((o3_rng *)s->state) : s->word(s->state);
}

/* A word's top 53 bits times 2^-53. */
static inline double o3_unit(uint64_t word) { return (double)(word >> 11) * 0x1p-53; }

#ifdef __cplusplus
extern "C" {
#endif

/* Fills *e: status, line and "<path>: line <n>: <what>" (no line part for
   line 0), with the path's unprintable bytes escaped. Returns 0. */
int o3_fail(o3_error *e, int status, const char *path, long line, const char *what);

/* The decimal number of `length` bytes at s (an optional sign, digits with
   at most one '.', an optional exponent) as strtod reads it in the "C"
   locale, whatever locale the program has set: the nearest double, ties to
   even, HUGE_VAL beyond the largest, 0 below the smallest. */
double o3_decimal(const char *s, size_t length);

/* Opens path for reading; NULL, with *e filled, for what is not a regular
   file, before it can block (a FIFO) or never end (a device). */
FILE *o3_open_file(const char *path, o3_error *e);

/* Reads the text of a table from in into f (whose arrays it allocates),
   path naming it in messages; 0 on a refusal. */
int o3_read_stream(FILE *in, const char *path, struct o3_file *f, o3_error *e);
void o3_free_file(struct o3_file *f);

/* o3_open on a stream that is already open. */
o3_table *o3_open_stream(FILE *in, const char *path, o3_error *e);

/* The cell of h under lookup line k, and the line the C chain picks for h. */
int64_t o3_cell_in(const struct o3_lookup *l, double h);
int o3_lookup_of(const struct o3_file *f, double h);

/* Smallest coupling in [H0, H_max) whose cell is j or above; H_max when
   there is none. */
double o3_first_coupling_from(const struct o3_file *f, int64_t j);

/* Checks that the lookup lines, the map and the records hold together, and
   sets the served ranges and the least surplus in p; 0 on a refusal. */
int o3_validate(const char *path, struct o3_private *p, o3_error *e);

/* Builds the routes, the dense map and the pieces; 0 when out of memory. */
int o3_prepare(o3_table *t);

/* Sets where each method draws for the engine. */
void o3_set_engine(o3_table *t, int engine);

/* The draws of the table-free methods for a >= 0 from their first word on:
   y = 1 - E/a with E exponential below 2a (a > 0 and finite), and y
   uniform accepted with probability exp(a (y - 1)); NaN when the words
   are not random. */
double o3_exponential_draw(double a, uint64_t word, struct o3_source *s);
double o3_uniform_draw(double a, uint64_t word, struct o3_source *s);

/* Below the density, as a fraction of the box height, for coupling h with
   up - h = to_top, at offset t into piece q: the tangent in h at up of its
   value at the piece's left end, times exp(h t) >= 1 + h t + (h t)^2 / 2. */
static inline double o3_bound_below(const struct o3_piece *q, double h, double to_top, double t) {
  const double ht = h * t;
  return q->squeeze * (1.0 + to_top * q->depth) * (1.0 + ht * (1.0 + 0.5 * ht));
}

/* Above it for h - lo = from_bottom: the chord in h of its value at the left
   end, times the chord in t of exp(h t) with its slope's chord in h. Not a
   number where a bound would overflow: then it decides nothing. */
static inline double o3_bound_above(const struct o3_piece *q, double from_bottom, double t) {
  return (q->chord + from_bottom * q->chord_change) *
         (1.0 + t * (q->rise + from_bottom * q->rise_change));
}

#ifdef __cplusplus
}
#endif

#endif
