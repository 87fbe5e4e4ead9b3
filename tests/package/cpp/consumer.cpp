// A C++ program built with CMake against the installed library: the bits
// of a few draws, then the outside count.
#include <bit>
#include <cstdint>
#include <cstdio>

#include "sampler/sampler.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  o3::sampler::sampler table(argv[1], o3::sampler::engine::tables);
  o3::sampler::generator rng(7);
  for (const double h : {0.0, 0.3, 2.5, 4.99, 7.5}) {
    std::printf("%016llX\n",
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(table.draw(h, rng))));
  }
  std::printf("outside %llu\n", static_cast<unsigned long long>(table.outside_count()));
  return 0;
}
