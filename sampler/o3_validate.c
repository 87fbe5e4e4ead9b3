/* Whether a table read from its file holds together: the lookup lines, the
   map and the records agree, and every box covers the density wherever the
   map sends a coupling to it. A draw from a table that passes is exact. */
#include "o3_internal.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* A cell whose start is a grid coupling in decimals, 33 * 0.12 = 3.96 say,
   can begin a few units in the last place below it in floating point
   (3.9599999999999995): the rounding of the division that routes, not a
   fault of the file; the envelope is checked at such couplings too. */
#define O3_ROUNDING 1e-12
/* The box area against 1 + loss / 100 times the integral over Nd_poi: the
   tool's integrals are good to about 1e-6. */
#define O3_AREA_AGREEMENT 1e-4
/* Boxes so large that a draw would need more tries than this on average
   cannot come from the tool, and could keep a draw going for ever. */
#define O3_MOST_TRIES 1000.0
/* Cells without a map entry: at a lookup bound or below H_max, where the
   tool's walk over the couplings can step past one. */
#define O3_MOST_MISSING 2

int64_t o3_cell_in(const struct o3_lookup *l, double h) {
  /* A damaged step can make the quotient too large for an integer; such a
     cell lies beyond every map entry either way. */
  double q = h / l->step;
  if (q > 0x1p62) q = 0x1p62;
  if (q < -0x1p62) q = -0x1p62;
  return (int64_t)l->base + (int64_t)q;
}

int o3_lookup_of(const struct o3_file *f, double h) {
  int k = 0;
  while (k + 1 < f->lookups && !(h < f->lookup[k].bound)) ++k;
  return k;
}

static int64_t cell_of(const struct o3_file *f, double h) {
  return o3_cell_in(&f->lookup[o3_lookup_of(f, h)], h);
}

static double below(double v) { return nextafter(v, -O3_INFINITY); }

/* The couplings [*low, *high] of [H0, H_max) that the C chain gives lookup
   line k; 0 when it gives it none. */
static int lookup_range(const struct o3_file *f, int k, double *low, double *high) {
  *low = k == 0 ? f->h0 : fmax(f->h0, f->lookup[k - 1].bound);
  *high = below(f->lookup[k].bound);
  return *low <= *high;
}

/* Couplings here are at least 0, where the order of doubles is the order
   of their bit patterns; an H0 written "-0.000000" is taken as 0, whose
   sign bit would put it above them all. */
static uint64_t bits_of(double v) {
  uint64_t b;
  v += 0.0;
  memcpy(&b, &v, sizeof b);
  return b;
}
static double double_of(uint64_t b) {
  double v;
  memcpy(&v, &b, sizeof v);
  return v;
}

double o3_first_coupling_from(const struct o3_file *f, int64_t j) {
  int k;
  for (k = 0; k < f->lookups; ++k) {
    const struct o3_lookup *p = &f->lookup[k];
    double low, high;
    uint64_t lo, hi;
    if (!lookup_range(f, k, &low, &high) || o3_cell_in(p, high) < j) continue;
    if (o3_cell_in(p, low) >= j) return low;
    /* The division of the C line may put a coupling an ulp or two to either
       side of the cell's start in reals: bisect on the doubles themselves. */
    lo = bits_of(low);
    hi = bits_of(high);
    while (hi - lo > 1) {
      const uint64_t mid = lo + (hi - lo) / 2;
      if (o3_cell_in(p, double_of(mid)) >= j) hi = mid;
      else lo = mid;
    }
    return double_of(hi);
  }
  return f->h_max;
}

/* "%.17g" of v, for messages that must show a value exactly. */
static const char *exact(char *out, double v) {
  sprintf(out, "%.17g", v);
  return out;
}

/* ------------------------------------------------------------------------ */

/* The simulation computes cells in C ints, and across a bound they must go
   on increasing, or the map's order would not follow the couplings. */
static int check_lookup(const char *path, const struct o3_file *f, o3_error *e) {
  char what[300], a[32];
  int k;
  for (k = 0; k < f->lookups; ++k) {
    const struct o3_lookup *p = &f->lookup[k];
    const long line = f->lookup_line + k;
    double low, high;
    if (!lookup_range(f, k, &low, &high)) continue;
    if (!(fmax(fabs(low), fabs(high)) / p->step + fabs((double)p->base) < 0x1p31)) {
      return o3_fail(e, O3_REFUSED, path, line, "the cells of this lookup line do not fit an int");
    }
    if (k + 1 < f->lookups && !(cell_of(f, p->bound) > cell_of(f, high))) {
      snprintf(what, sizeof what,
               "the cells must increase across the bound %s: "
               "cell %lld below it, %lld at it",
               exact(a, p->bound), (long long)cell_of(f, high), (long long)cell_of(f, p->bound));
      return o3_fail(e, O3_REFUSED, path, line + 1, what);
    }
  }
  return 1;
}

/* Whether the cells from..to lie between the cells just below and at one
   bound between two lookup lines. */
static int at_lookup_bound(const struct o3_file *f, int64_t from, int64_t to) {
  int k;
  for (k = 0; k + 1 < f->lookups; ++k) {
    const double b = f->lookup[k].bound;
    if (b > f->h0 && cell_of(f, below(b)) <= from && to <= cell_of(f, b)) return 1;
  }
  return 0;
}

static int check_map_cells(const char *path, const struct o3_file *f, o3_error *e) {
  char what[300], a[32];
  const int n = f->entries;
  const int64_t first = cell_of(f, f->h0);
  const int64_t last = cell_of(f, below(f->h_max));
  int i;
  if (n == 0) return o3_fail(e, O3_REFUSED, path, f->map_line - 1, "the map has no entries");
  if (f->map_j[0] > first) {
    snprintf(what, sizeof what,
             "the map starts at cell %ld, after cell %lld of "
             "H0 = %s: no entry serves H0",
             (long)f->map_j[0], (long long)first, exact(a, f->h0));
    return o3_fail(e, O3_REFUSED, path, f->map_line, what);
  }
  for (i = 1; i < n; ++i) {
    const int64_t from = (int64_t)f->map_j[i - 1] + 1;
    const int64_t to = (int64_t)f->map_j[i] - 1;
    if (from <= to && (to - from >= O3_MOST_MISSING || !at_lookup_bound(f, from, to))) {
      snprintf(what, sizeof what,
               "cells %lld to %lld have no map entry and are not "
               "a cell or two at a lookup bound: a map line is missing",
               (long long)from, (long long)to);
      return o3_fail(e, O3_REFUSED, path, f->map_line + i, what);
    }
  }
  if (f->map_j[n - 1] > last) {
    snprintf(what, sizeof what,
             "the map goes on to cell %ld, past cell %lld of the "
             "couplings below H_max",
             (long)f->map_j[n - 1], (long long)last);
    return o3_fail(e, O3_REFUSED, path, f->map_line + n - 1, what);
  }
  if (last - f->map_j[n - 1] > O3_MOST_MISSING) {
    snprintf(what, sizeof what,
             "the map ends at cell %ld, but the lookup lines "
             "reach cell %lld below H_max",
             (long)f->map_j[n - 1], (long long)last);
    return o3_fail(e, O3_REFUSED, path, f->map_line + n, what);
  }
  return 1;
}

/* The integral of the density over [-1, 1] at H. */
static double integral(double H) { return H == 0.0 ? 2.0 : -expm1(-2.0 * H) / H; }

static int check_record(const char *path, const struct o3_file *f, int g, o3_error *e) {
  char what[300], a[32], b[32];
  const long line = f->record_line[g];
  const double H = f->coupling[g];
  const double area = f->area[g];
  const double *x = f->x + (size_t)g * ((size_t)f->nd + 1);
  double ratio;
  int k;
  if (!(H >= 0.0 && H < O3_INFINITY)) {
    return o3_fail(e, O3_REFUSED, path, line, "the coupling must be finite and at least 0");
  }
  if (x[0] != -1.0) return o3_fail(e, O3_REFUSED, path, line + 1, "the first point must be -1");
  for (k = 1; k <= f->nd; ++k) {
    if (!(x[k] > x[k - 1])) {
      snprintf(what, sizeof what, "point %d (%s) must be above point %d (%s)", k, exact(a, x[k]),
               k - 1, exact(b, x[k - 1]));
      return o3_fail(e, O3_REFUSED, path, line + 1 + k, what);
    }
  }
  /* The end 1 may be written one ulp below 1, as 1 - 2^-53. */
  if (!(x[f->nd] <= 1.0 && x[f->nd] >= 1.0 - 0x1p-53)) {
    return o3_fail(e, O3_REFUSED, path, line + 1 + f->nd, "the last point must be 1");
  }
  if (!(area > 0.0 && area < O3_INFINITY)) {
    return o3_fail(e, O3_REFUSED, path, line, "the box area must be finite and above 0");
  }
  ratio = (double)f->nd * area / integral(H) / (1.0 + f->loss[g] / 100.0);
  if (!(fabs(ratio - 1.0) <= O3_AREA_AGREEMENT)) {
    snprintf(what, sizeof what,
             "the box area %s does not agree with the loss: "
             "Nd_poi boxes are %.9g times the integral of the density, not 1 + loss/100",
             exact(a, area), ratio * (1.0 + f->loss[g] / 100.0));
    return o3_fail(e, O3_REFUSED, path, line, what);
  }
  return 1;
}

/* The couplings each map entry serves: from the first coupling routed to
   its cell or beyond (H0 for the first entry, which also serves the cells
   below it) to the first routed to the next entry's cell. A histogram's
   envelope holds at its own coupling and above, so no entry may serve a
   coupling below its histogram's. */
static int set_served(const char *path, struct o3_private *p, o3_error *e) {
  char what[300], a[32], b[32];
  const struct o3_file *f = &p->file;
  double begin = f->h0;
  int i, g;
  for (g = 0; g < f->histograms; ++g) {
    p->lower[g] = O3_INFINITY;
    p->upper[g] = -1.0;
  }
  for (i = 0; i < f->entries; ++i) {
    const double end = i + 1 < f->entries ? o3_first_coupling_from(f, f->map_j[i + 1]) : f->h_max;
    const double H = f->coupling[f->map_g[i]];
    g = f->map_g[i];
    if (begin < end) {
      if (H - begin > O3_ROUNDING * H) {
        snprintf(what, sizeof what,
                 "map entry %ld -> histogram %d: the histogram's "
                 "coupling %s is above %s, the smallest coupling the entry serves",
                 (long)f->map_j[i], g, exact(a, H), exact(b, begin));
        return o3_fail(e, O3_REFUSED, path, f->map_line + i, what);
      }
      p->lower[g] = fmin(p->lower[g], begin);
      p->upper[g] = fmax(p->upper[g], end);
    }
    begin = end;
  }
  for (g = 0; g < f->histograms; ++g) {
    if (p->upper[g] < 0.0) p->lower[g] = p->upper[g] = f->coupling[g];
  }
  return 1;
}

/* For y <= 1 the density exp(h (y - 1)) falls as h grows, so a box that
   covers it at the smallest coupling its histogram serves covers it at
   every coupling it serves. The comparison is the draw's own: a point is
   accepted when v * area < width * density, certain when area >= width *
   density. */
static int check_envelope(const char *path, struct o3_private *p, int g, o3_error *e) {
  char what[400], a[32], b[32], c[32];
  const struct o3_file *f = &p->file;
  const double area = f->area[g];
  const double *x = f->x + (size_t)g * ((size_t)f->nd + 1);
  const double h = fmin(f->coupling[g], p->lower[g]);
  const double tries = (double)f->nd * area / integral(p->upper[g]);
  int k;
  for (k = 0; k < f->nd; ++k) {
    const double width = x[k + 1] - x[k];
    const double top = fmax(exp(h * (x[k] - 1.0)), exp(h * (x[k + 1] - 1.0)));
    double surplus;
    if (!(area >= width * top)) {
      snprintf(what, sizeof what,
               "histogram %d, piece %d [%s, %s]: the box height "
               "%.17g is below %.17g, the density's maximum on the piece at h = %s",
               g, k, exact(a, x[k]), exact(b, x[k + 1]), area / width, top, exact(c, h));
      return o3_fail(e, O3_REFUSED, path, f->record_line[g], what);
    }
    surplus = area / (width * top) - 1.0;
    if (surplus < p->surplus) {
      p->surplus = surplus;
      p->surplus_g = g;
      p->surplus_k = k;
    }
  }
  if (!(tries <= O3_MOST_TRIES)) {
    snprintf(what, sizeof what,
             "histogram %d: its boxes hold %.3g times the density's "
             "integral at h = %s, more than %g",
             g, tries, exact(a, p->upper[g]), O3_MOST_TRIES);
    return o3_fail(e, O3_REFUSED, path, f->record_line[g], what);
  }
  return 1;
}

int o3_validate(const char *path, struct o3_private *p, o3_error *e) {
  const struct o3_file *f = &p->file;
  int g;
  if (!check_lookup(path, f, e) || !check_map_cells(path, f, e)) return 0;
  for (g = 0; g < f->histograms; ++g) {
    if (!check_record(path, f, g, e)) return 0;
  }
  p->lower = (double *)malloc((size_t)f->histograms * sizeof *p->lower);
  p->upper = (double *)malloc((size_t)f->histograms * sizeof *p->upper);
  if (p->lower == NULL || p->upper == NULL) {
    return o3_fail(e, O3_NO_MEMORY, path, 0, "no memory for the tables");
  }
  if (!set_served(path, p, e)) return 0;
  p->surplus = O3_INFINITY;
  for (g = 0; g < f->histograms; ++g) {
    if (!check_envelope(path, p, g, e)) return 0;
  }
  return 1;
}
