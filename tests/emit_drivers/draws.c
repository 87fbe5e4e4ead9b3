/* Draws of the generated C sampler for a fixed stream of uniforms, printed
   as the bits of each double in hex so that they compare exactly.
   Usage: draws O3.res N h...: N draws at each coupling in turn, one stream. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "o3_sampler.h"

/* xorshift64 (shifts 13, 7, 17) and its top 53 bits as a uniform in [0, 1):
   the same stream as the C++ and FORTRAN drivers. */
static double uniform(void *state) {
  uint64_t *x = (uint64_t *)state;
  *x ^= *x << 13;
  *x ^= *x >> 7;
  *x ^= *x << 17;
  return (double)(*x >> 11) * 0x1p-53;
}

int main(int argc, char **argv) {
  uint64_t state = UINT64_C(88172645463325252);
  long n, i;
  int a, status;
  if (argc < 3) return 2;
  status = o3_load(argv[1]);
  if (status != O3_LOADED) {
    fprintf(stderr, "%s\n", o3_message());
    return status;
  }
  n = strtol(argv[2], NULL, 10);
  for (a = 3; a < argc; ++a) {
    const double h = strtod(argv[a], NULL);
    for (i = 0; i < n; ++i) {
      const double y = o3_draw(h, uniform, &state);
      uint64_t bits;
      memcpy(&bits, &y, sizeof bits);
      printf("%016" PRIX64 "\n", bits);
    }
  }
  o3_free();
  return 0;
}
