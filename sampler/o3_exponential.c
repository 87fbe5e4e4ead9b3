/* The draws that need no table. With E = a (1 - y), the density of y for
   every coupling a is that of E ~ exp(-E), cut at E = 2a: an exponential
   variate scaled by a, or for small a, where the cut keeps few of them, y
   uniform and kept with probability exp(-E). */
#include "o3_internal.h"

#include <math.h>

/* The try of o3_try from its first word on, and every try after it: the
   ziggurat's sure part; a point in a layer's wedge kept under e^-x by a
   height from a second word; the tail past r, which is r plus an
   exponential, kept as an offset while the next try draws that one. Each
   variate is folded into y as o3_fold folds it, or drawn again. */
double o3_exponential_draw(double a, uint64_t word, struct o3_source *s) {
  double offset = 0.0, y;
  long n;
  for (n = 0; n < O3_MOST_TRIES_A_DRAW; ++n, word = o3_next(s)) {
    const unsigned i = (unsigned)(word & (O3_LAYERS - 1));
    const uint64_t m = word >> 11;
    const double x = (double)m * o3_layers[i].scale;
    if (m >= o3_layers[i].k) {
      if (i == 0) {
        offset += o3_tail_start;
        continue;
      } else {
        const double floor = o3_layer_floor[i];
        const double height = floor + o3_unit(o3_next(s)) * (o3_layer_floor[i + 1] - floor);
        if (!(height < exp(-x))) continue;
      }
    }
    if (o3_fold(offset + x, a, a, &y)) return y;
    offset = 0.0;
  }
  return O3_NAN;
}

/* Below its bounds, exp(-z) is decided without an exp: for 0 <= z <= 1 the
   terms of its series fall, so its partial sums lie alternately above and
   below it. The margin holds the bounds' rounding, a few units in 2^-53. */
#define O3_SERIES_MARGIN 0x1p-50

/* y = 2u - 1 from the top 53 bits, kept when v < exp(-z), z = a (1 - y) =
   2a (1 - u) exactly, v's first 11 bits the word's lowest: the first try
   of o3_try, then its undecided part, whose v takes 53 more bits from a
   second word. */
double o3_uniform_draw(double a, uint64_t word, struct o3_source *s) {
  long n;
  for (n = 0; n < O3_MOST_TRIES_A_DRAW; ++n, word = o3_next(s)) {
    const double u = o3_unit(word);
    const double z = a * (2.0 - 2.0 * u);
    const double low = (double)(word & O3_LOW11) * 0x1p-11;
    const double above = 1.0 - z + 0.5 * z * z + O3_SERIES_MARGIN;
    double v;
    if (low + 0x1p-11 <= 1.0 - z) return 2.0 * u - 1.0;
    if (low >= above) continue;
    v = low + o3_unit(o3_next(s)) * 0x1p-11;
    if (v < 1.0 - z + z * z * (0.5 - z / 6.0) - O3_SERIES_MARGIN || (v < above && v < exp(-z))) {
      return 2.0 * u - 1.0;
    }
  }
  return O3_NAN;
}
