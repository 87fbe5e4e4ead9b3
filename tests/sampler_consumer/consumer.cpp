// Draws from a table given on the command line: builds only with the
// library's public headers. Prints whether the draws lie in [-1, 1], then
// how many of them differ from the library's C draw with the same words.
#include <cstdio>

#include "sampler/sampler.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  o3::sampler::sampler s(argv[1]);
  o3_table* table = o3_open(argv[1], nullptr);
  if (table == nullptr) return 1;
  o3::sampler::generator rng(7);
  o3_rng same;
  o3_rng_seed(&same, 7);
  const int n = 1000000;
  bool inside = true;
  int differ = 0;
  for (int i = 0; i < n; ++i) {
    const double h = s.H0() + (s.H_max() - s.H0()) * i / n;
    const double y = s.draw(h, rng);
    inside = inside && y >= -1.0 && y <= 1.0;
    differ += y != o3_draw(table, h, &same);
  }
  o3_close(table);
  std::printf("%d\n%d\n", inside ? 1 : 0, differ);
  return 0;
}
