// Vectors of doubles addressed from a chosen lowest index.
#pragma once

#include <cstddef>

namespace o3 {

// A block of doubles on the heap whose element i (nl <= i <= nh) is the
// block's double number i - nl + 1: one spare double answers to index nl - 1.
class dvector {
 public:
  double& operator[](int i) { return block_[i - nl_ + 1]; }
  double operator[](int i) const { return block_[i - nl_ + 1]; }

 private:
  friend dvector vector(int nl, int nh);
  friend void free_vector(dvector v, int nl, int nh);
  dvector(double* block, int nl) : block_(block), nl_(nl) {}
  double* block_;
  int nl_;
};

// Bytes that vector(nl, nh) requests: nh - nl + 2 doubles.
std::size_t vector_bytes(int nl, int nh);

// A vector addressable at nl..nh (nh >= nl), elements not initialised.
// Fatal "allocation failure in vector()" when the heap refuses the block.
dvector vector(int nl, int nh);

// Releases the block of a vector made with the same nl; nh is ignored.
void free_vector(dvector v, int nl, int nh);

}  // namespace o3
