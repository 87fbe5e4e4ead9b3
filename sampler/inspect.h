// What the library's own checks, tests and benchmarks see of a sampler
// beyond its interface: its C table, a draw that counts the tables' tries,
// and the first try alone. Not installed: a simulation needs none of it.
#pragma once

#include <cstdint>
#include <limits>

#include "sampler/sampler.h"

namespace o3::sampler::detail {

struct access {
  static o3_table* table(const sampler& s) { return s.table(); }
  template <class URBG>
  static double rest(sampler& s, double h, std::uint64_t w, URBG& rng, std::uint64_t* tries) {
    return s.rest(h, w, rng, &s.table_->counts, tries);
  }
};

// The C table of the sampler (std::logic_error for one moved from).
inline o3_table* c_table(const sampler& s) { return access::table(s); }

// The draw with the tries the tables made added to *tries (none for a draw
// by another method), for measuring their acceptance rate.
template <class URBG>
double draw_counted(sampler& s, double h, URBG& rng, std::uint64_t* tries) {
  o3_table* t = access::table(s);
  const std::uint64_t w = word(rng);
  double y;
  if (o3_from_tables(t, h < 0.0 ? -h : h)) ++*tries;
  if (o3_try(t, h, w, &y)) return y;
  return access::rest(s, h, w, rng, tries);
}

// Not a draw: the first try alone, its point or NaN where it misses, for
// measuring what the misses cost.
template <class URBG>
double first_try(const sampler& s, double h, URBG& rng) {
  double y;
  return o3_try(access::table(s), h, word(rng), &y) ? y : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace o3::sampler::detail
