/* A C program built with Make and pkg-config against the installed library:
   the bits of a few draws from the table named, by the tables engine, which
   the others would not need, then the outside count. */
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "o3_sampler.h"

int main(int argc, char **argv) {
  static const double h[] = {0.0, 0.3, 2.5, 4.99, 7.5};
  o3_error error;
  o3_table *table;
  o3_rng rng;
  size_t i;
  if (argc != 2) return 2;
  table = o3_open_engine(argv[1], O3_ENGINE_TABLES, &error);
  if (table == NULL) {
    fprintf(stderr, "%s\n", error.message);
    return 1;
  }
  o3_rng_seed(&rng, 7);
  for (i = 0; i < sizeof h / sizeof h[0]; ++i) {
    const double y = o3_draw(table, h[i], &rng);
    uint64_t bits;
    memcpy(&bits, &y, sizeof bits);
    printf("%016" PRIX64 "\n", bits);
  }
  printf("outside %" PRIu64 "\n", o3_outside_count(table));
  o3_close(table);
  return 0;
}
