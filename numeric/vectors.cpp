// Offset-base vectors for the 1-based numerical routines.
#include "numeric/vectors.h"

#include <cstdint>
#include <cstdlib>

#include "numeric/fatal.h"

namespace o3 {

std::size_t vector_bytes(int nl, int nh) {
  // In 64 bits, so that no pair of int bounds overflows the count.
  const std::int64_t count = static_cast<std::int64_t>(nh) - nl + 2;
  return static_cast<std::size_t>(count) * sizeof(double);
}

dvector vector(int nl, int nh) {
  auto* block = static_cast<double*>(std::malloc(vector_bytes(nl, nh)));
  if (block == nullptr) nrerror("allocation failure in vector()");
  return dvector(block, nl);
}

// The handle carries its own block, so the bounds are not needed to find it.
void free_vector(dvector v, int /*nl*/, int /*nh*/) { std::free(v.block_); }

}  // namespace o3
