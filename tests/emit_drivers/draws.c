/* Draws from two tables as a C simulation would, printing each y as the hex
   digits of its bits, so that the test can compare them with the C++
   library's: draws ENGINE A B SEED N h...
   ENGINE 0, 1 or 2 (default, tables, exponential; with 2, A and B are not
   read). For each h: N draws from A, then N from B, from the built-in
   generator; then the same from a xorshift64 uniform; then, for each
   table, N rounds of all the h drawn at once from a stream of its own;
   then the tables' outside counts and the streams'. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "o3_sampler.h"

static uint64_t xorshift_state = UINT64_C(88172645463325252);

static double xorshift_uniform(void *unused) {
  (void)unused;
  xorshift_state ^= xorshift_state << 13;
  xorshift_state ^= xorshift_state >> 7;
  xorshift_state ^= xorshift_state << 17;
  return (double)(xorshift_state >> 11) * 0x1p-53;
}

static void print(double y) {
  uint64_t bits;
  memcpy(&bits, &y, sizeof bits);
  printf("%016" PRIX64 "\n", bits);
}

int main(int argc, char **argv) {
  o3_table *table[2];
  o3_stream stream[2];
  o3_error error;
  o3_rng rng;
  int engine, t, i, a, pass;
  long n, k;
  uint64_t seed;
  double *h, *y;
  if (argc < 7) return 2;
  engine = atoi(argv[1]);
  for (t = 0; t < 2; ++t) {
    table[t] = o3_open_engine(engine == O3_ENGINE_EXPONENTIAL ? NULL : argv[2 + t], engine, &error);
    if (table[t] == NULL) {
      printf("refused %d: %s\n", error.status, error.message);
      return 3;
    }
  }
  seed = strtoull(argv[4], NULL, 10);
  o3_rng_seed(&rng, seed);
  n = strtol(argv[5], NULL, 10);
  for (pass = 0; pass < 2; ++pass) {
    for (a = 6; a < argc; ++a) {
      const double c = strtod(argv[a], NULL);
      for (t = 0; t < 2; ++t) {
        for (i = 0; i < n; ++i) {
          print(pass == 0 ? o3_draw(table[t], c, &rng)
                          : o3_draw_uniform(table[t], c, xorshift_uniform, NULL));
        }
      }
    }
  }
  h = (double *)malloc((size_t)(argc - 6) * sizeof *h);
  y = (double *)malloc((size_t)(argc - 6) * sizeof *y);
  if (h == NULL || y == NULL) return 4;
  for (t = 0; t < 2; ++t) {
    o3_stream_seed_at(&stream[t], seed, 7, (uint64_t)t);
    for (k = 0; k < n; ++k) {
      for (a = 6; a < argc; ++a) h[a - 6] = strtod(argv[a], NULL);
      o3_stream_draw_many(table[t], (size_t)(argc - 6), h, y, &stream[t]);
      for (a = 0; a < argc - 6; ++a) print(y[a]);
    }
  }
  printf("outside %" PRIu64 " %" PRIu64 " streams %" PRIu64 " %" PRIu64 "\n",
         o3_outside_count(table[0]), o3_outside_count(table[1]), stream[0].counts.outside,
         stream[1].counts.outside);
  free(h);
  free(y);
  o3_close(table[0]);
  o3_close(table[1]);
  return 0;
}
