/* Preparing a sound table for drawing: the routes of the lookup lines, the
   dense map from cell to histogram, and each piece's squeeze and bounds. */
#include "o3_internal.h"

#include <float.h>
#include <math.h>
#include <stdlib.h>

/* The squeeze is lowered, and the bounds from above raised, by this
   relative margin, so that the rounding of their own computation can never
   move them across the density. */
#define O3_MARGIN 1e-9

static int make_routes(o3_table *t) {
  struct o3_private *p = t->rest;
  const struct o3_file *f = &p->file;
  int k;
  p->routes = (struct o3_route *)malloc((size_t)f->lookups * sizeof *p->routes);
  if (p->routes == NULL) return 0;
  for (k = 0; k < f->lookups; ++k) {
    p->routes[k].bound = k + 1 < f->lookups ? f->lookup[k].bound : O3_NAN;
    p->routes[k].inverse = 1.0 / f->lookup[k].step;
    p->routes[k].offset = (int64_t)f->lookup[k].base - p->first_cell;
  }
  t->routes = p->routes;
  return 1;
}

/* One cell per map index from the first entry's to the last cell below
   H_max, and one more whose start no coupling reaches; a cell without an
   entry takes the histogram of the entry before it, as does a coupling
   routed below the first cell or above the last. */
static int make_cells(o3_table *t) {
  struct o3_private *p = t->rest;
  const struct o3_file *f = &p->file;
  const struct o3_lookup *l = &f->lookup[o3_lookup_of(f, nextafter(f->h_max, 0.0))];
  int64_t last = o3_cell_in(l, nextafter(f->h_max, 0.0));
  int64_t c;
  int e = 0;
  if (last < f->map_j[f->entries - 1]) last = f->map_j[f->entries - 1];
  t->cell_count = (uint64_t)(last - p->first_cell + 1);
  p->cells = (struct o3_cell *)malloc((size_t)(t->cell_count + 1) * sizeof *p->cells);
  if (p->cells == NULL) return 0;
  for (c = 0; c < (int64_t)t->cell_count; ++c) {
    int32_t g;
    while (e + 1 < f->entries && f->map_j[e + 1] <= p->first_cell + c) ++e;
    g = f->map_g[e];
    p->cells[c].start = o3_first_coupling_from(f, p->first_cell + c);
    p->cells[c].histogram = g;
    p->cells[c].first_record = (uint32_t)g * ((uint32_t)f->nd + 1);
  }
  p->cells[c] = p->cells[c - 1];
  p->cells[c].start = O3_INFINITY;
  t->cells = p->cells;
  return 1;
}

/* The first height m at which the first try at left + m * scale reaches
   right, in the try's own arithmetic; 2^53 + 1 when none does. */
static uint64_t first_reaching(double left, double right, double scale) {
  uint64_t lo = 0;
  uint64_t hi = UINT64_C(1) << 53;
  if (!(left + (double)hi * scale >= right)) return hi + 1;
  while (lo < hi) {
    const uint64_t mid = lo + (hi - lo) / 2;
    if (left + (double)mid * scale >= right) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

/* The first try's record of a piece [left, right) whose squeeze, a
   fraction of the box height, is squeeze. The try at height m lands at
   left + m * scale, scale = width / (squeeze 2^53), and lies under the
   squeeze while it is below right: for the m below ceil(squeeze 2^53).
   Rounding can carry that edge a few m up, or for a piece narrow beside its
   ulps further; the scale is then raised until it is not, so that no try
   above the squeeze is taken as under it. */
static struct o3_fast first_try_record(double left, double right, double squeeze) {
  struct o3_fast r;
  r.left = left;
  if (!(squeeze > 0.0)) {
    /* No squeeze: every try lands at infinity or NaN, never below right. */
    r.scale = O3_INFINITY;
    return r;
  }
  r.scale = (right - left) / squeeze * 0x1p-53;
  {
    const uint64_t threshold = (uint64_t)ceil(squeeze * 0x1p53);
    double raise = nextafter(r.scale, O3_INFINITY) - r.scale;
    while (first_reaching(left, right, r.scale) > threshold) {
      r.scale += raise;
      raise *= 2.0;
    }
  }
  return r;
}

/* The pieces of histogram g, whose couplings run from lo to up. */
static void make_pieces(struct o3_private *p, int g) {
  const struct o3_file *f = &p->file;
  const double *x = f->x + (size_t)g * ((size_t)f->nd + 1);
  const double area = f->area[g];
  const double low = p->lower[g];
  const double top = p->upper[g];
  const double range = top - low;
  int k;
  /* The record after the last piece holds its right end. */
  p->fast[(size_t)g * ((size_t)f->nd + 1) + (size_t)f->nd].left = x[f->nd];
  p->fast[(size_t)g * ((size_t)f->nd + 1) + (size_t)f->nd].scale = 0.0;
  for (k = 0; k < f->nd; ++k) {
    const size_t at = (size_t)g * (size_t)f->nd + (size_t)k;
    struct o3_piece *q = &p->pieces[at];
    const double width = x[k + 1] - x[k];
    const double scale = width / area;
    /* The density's least value on the piece, over every coupling the
       histogram serves, as a fraction of the box height. */
    const double least = exp(top * (x[k] - 1.0));
    const double most = exp(low * (x[k] - 1.0)) * scale * (1.0 + O3_MARGIN);
    double squeeze = least * width / area * (1.0 - O3_MARGIN);
    if (squeeze > 1.0) squeeze = 1.0;
    q->left = x[k];
    q->width = width;
    q->squeeze = squeeze;
    q->depth = 1.0 - x[k];
    q->chord = most;
    q->chord_change = 0.0;
    if (!(most >= DBL_MIN)) {
      /* Underflowed: rounding could put a bound this small under the
         density, so the density decides every try here. */
      q->chord = O3_INFINITY;
    } else if (range > 0.0) {
      const double at_top = least * scale * (1.0 + O3_MARGIN);
      /* The falling chord subtracts; past a fall by 10^4 its rounding could
         exceed the margin, and the level bound at low is kept. */
      if (at_top * 1e4 >= most) q->chord_change = (at_top - most) / range;
    }
    q->rise = expm1(low * width) / width * (1.0 + O3_MARGIN);
    q->rise_change = 0.0;
    if (range > 0.0) {
      const double to = expm1(top * width) / width * (1.0 + O3_MARGIN);
      q->rise_change = (to - q->rise) / range;
    }
    p->fast[(size_t)g * ((size_t)f->nd + 1) + (size_t)k] =
        first_try_record(x[k], x[k + 1], squeeze);
  }
}

int o3_prepare(o3_table *t) {
  struct o3_private *p = t->rest;
  const struct o3_file *f = &p->file;
  const size_t pieces = (size_t)f->histograms * (size_t)f->nd;
  int g;
  p->first_cell = f->map_j[0];
  if (!make_routes(t) || !make_cells(t)) return 0;
  p->pieces = (struct o3_piece *)malloc(pieces * sizeof *p->pieces);
  p->fast = (struct o3_fast *)malloc((pieces + (size_t)f->histograms) * sizeof *p->fast);
  if (p->pieces == NULL || p->fast == NULL) return 0;
  for (g = 0; g < f->histograms; ++g) make_pieces(p, g);
  t->h0 = f->h0;
  t->h_max = f->h_max;
  t->nd = (uint64_t)f->nd;
  t->fast = p->fast;
  return 1;
}
