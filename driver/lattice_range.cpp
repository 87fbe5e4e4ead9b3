#include "driver/lattice_range.h"

#include <cmath>
#include <cstdio>

#include "driver/answers.h"
#include "driver/mapping.h"

namespace o3 {

int lattice_dimension(std::string_view name) {
  if (name == "chain") return 1;
  if (name == "square") return 2;
  if (name == "cubic") return 3;
  long long d = 0;
  // A leading sign is no dimension anyone writes: "+3" is refused too.
  if (name.empty() || name[0] == '+' || name[0] == '-' || !parse_integer(name, &d) || d < 1 ||
      d > max_dimension) {
    return 0;
  }
  return static_cast<int>(d);
}

std::string h_max_above(int dimension, double beta) {
  const double bound = 2.0 * dimension * beta * (1.0 + 1e-12);
  // Whole millionths, exact as doubles below 2^53; the text is what the
  // dialogue and O3.res read back, so the test is on the value as written.
  double millionths = std::floor(bound * 1e6) + 1.0;
  while (!(as_written(millionths / 1e6) > bound)) millionths += 1.0;
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", millionths / 1e6);
  return text;
}

}  // namespace o3
