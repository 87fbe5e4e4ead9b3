// Draws from a table given on the command line: builds only with the
// library's public headers.
#include <cstdio>

#include "sampler/sampler.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  o3::sampler::sampler s(argv[1]);
  o3::sampler::generator rng(7);
  const double y = s.draw(s.H0(), rng);
  std::printf("%d\n", y >= -1.0 && y <= 1.0 ? 1 : 0);
  return 0;
}
