/* Writes o3_layers.c, the layers of the sampler's exponential ziggurat:
   make_layers > o3_layers.c. The sampler's tests check the file against
   the equations below, and that this program still writes it as committed.

   The density e^-x, x >= 0, is cut at heights 0 = b_0 < b_1 < ... <
   b_LAYERS = 1 into layers of one area v. Layer i >= 1 is the rectangle
   [0, w_i] x [b_i, b_(i+1)], w_i = v / (b_(i+1) - b_i); layer 0 is
   [0, w_0] x [0, b_1], w_0 = v / b_1, whose part past the tail start
   r = -log b_1 stands for the tail beyond r, of area b_1 = (w_0 - r) b_1
   when v = (r + 1) b_1. A try picks a layer and a point in it, uniformly,
   and keeps the point under e^-x.

   The draws are exact for any such heights: every layer has the area v by
   the definition of its width, whatever b_i are, and a layer's width
   rounded to a double moves its area by 2^-53 of v alone. The heights are
   chosen so that each layer reaches the density's cut at its floor,
   w_i = -log b_i, which makes the layers' sure parts as large as they can
   be: solved below in long double for the r that closes the top layer at
   1, then rounded. */
#include <inttypes.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>

#define LAYERS 512

/* The cuts x_i = -log b_i from a tail start r (x_0 unused); returns how
   far the top layer overshoots 1: positive when r is too small. */
static long double solve(long double r, long double *x) {
  const long double v = (r + 1.0L) * expl(-r);
  int i;
  x[1] = r;
  for (i = 1; i < LAYERS - 1; ++i) {
    const long double top = expl(-x[i]) + v / x[i];
    if (top >= 1.0L) return 1.0L;
    x[i + 1] = -logl(top);
  }
  return expl(-x[LAYERS - 1]) + v / x[LAYERS - 1] - 1.0L;
}

/* The largest double at or below x. */
static double down(long double x) {
  double d = (double)x;
  if ((long double)d > x) d = nextafter(d, -INFINITY);
  return d;
}

/* The first m whose point m * scale reaches edge in the draw's own double
   arithmetic: every m below it lies below the edge. */
static uint64_t first_reaching(double scale, double edge) {
  uint64_t lo = 0, hi = UINT64_C(1) << 53;
  while (lo < hi) {
    const uint64_t mid = lo + (hi - lo) / 2;
    if ((double)mid * scale >= edge) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

int main(void) {
  long double lo = 5.0L, hi = 10.0L, x[LAYERS + 1], v;
  double b[LAYERS + 1];
  int i, step;
  for (step = 0; step < 200; ++step) {
    const long double mid = (lo + hi) / 2.0L;
    if (mid == lo || mid == hi) break;
    if (solve(mid, x) > 0.0L) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  solve(hi, x);
  b[0] = 0.0;
  for (i = 1; i < LAYERS; ++i) b[i] = (double)expl(-x[i]);
  b[LAYERS] = 1.0;
  /* The area that makes the base layer's part past r hold the tail. */
  v = (1.0L - logl(b[1])) * b[1];

  printf(
      "/* The layers of the exponential ziggurat, written by\n"
      "   tools/make_layers.c (make_layers > o3_layers.c), not by hand. */\n"
      "#include \"o3_internal.h\"\n\n");
  printf(
      "/* Layer i: its sure part, m < k, and its width times 2^-53. */\n"
      "const struct o3_layer o3_layers[O3_LAYERS] = {\n");
  for (i = 0; i < LAYERS; ++i) {
    const long double width = v / ((long double)b[i + 1] - (long double)b[i]);
    const double scale = ldexp((double)width, -53);
    /* Below the cut of the layer's ceiling the density is above the whole
       layer (above the tail start for the base layer). */
    const double edge = i + 1 < LAYERS ? down(-logl((long double)b[i + 1])) : 0.0;
    printf("    {UINT64_C(%" PRIu64 "), %a},\n", first_reaching(scale, edge), scale);
  }
  printf(
      "};\n\n/* b_i, the layer's floor (b_(i+1) its ceiling). */\n"
      "const double o3_layer_floor[O3_LAYERS + 1] = {\n");
  for (i = 0; i <= LAYERS; ++i) printf("    %a,\n", b[i]);
  printf(
      "};\n\n/* The tail start r = -log b_1. */\n"
      "const double o3_tail_start = %a;\n",
      (double)-logl((long double)b[1]));
  return 0;
}
