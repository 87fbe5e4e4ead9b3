/* Draws from two tables as a C simulation would, printing each y as the hex
   digits of its bits, so that the test can compare them with the C++
   library's: draws A B SEED N h...
   For each h: N draws from A, then N from B, from the built-in generator;
   then the same from a xorshift64 uniform; then the outside counts. */
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
  o3_error error;
  o3_rng rng;
  int t, i, a, pass;
  long n;
  if (argc < 6) return 2;
  for (t = 0; t < 2; ++t) {
    table[t] = o3_open(argv[1 + t], &error);
    if (table[t] == NULL) {
      printf("refused %d: %s\n", error.status, error.message);
      return 3;
    }
  }
  o3_rng_seed(&rng, strtoull(argv[3], NULL, 10));
  n = strtol(argv[4], NULL, 10);
  for (pass = 0; pass < 2; ++pass) {
    for (a = 5; a < argc; ++a) {
      const double h = strtod(argv[a], NULL);
      for (t = 0; t < 2; ++t) {
        for (i = 0; i < n; ++i) {
          print(pass == 0 ? o3_draw(table[t], h, &rng)
                          : o3_draw_uniform(table[t], h, xorshift_uniform, NULL));
        }
      }
    }
  }
  printf("outside %" PRIu64 " %" PRIu64 "\n", o3_outside_count(table[0]),
         o3_outside_count(table[1]));
  o3_close(table[0]);
  o3_close(table[1]);
  return 0;
}
