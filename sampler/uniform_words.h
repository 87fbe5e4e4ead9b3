// A uniform random bit generator made from a stream of reals in [0, 1), so
// that the sampler can be fed the stream a C or FORTRAN simulation uses.
#pragma once

#include <cstdint>
#include <limits>
#include <utility>

namespace o3::sampler {

// Each call takes one uniform u and gives the word whose top 53 bits are
// trunc(u * 2^53) and whose low 11 bits are zero. The sampler's piece,
// fraction and position then come out of u exactly as the generated C and
// FORTRAN compute them from trunc(u * 2^53).
template <class Uniform>
class uniform_words {
 public:
  using result_type = std::uint64_t;
  explicit uniform_words(Uniform uniform) : uniform_(std::move(uniform)) {}
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }
  result_type operator()() {
    return static_cast<std::uint64_t>(uniform_() * 0x1.0p53) << 11;
  }

 private:
  Uniform uniform_;
};

}  // namespace o3::sampler
