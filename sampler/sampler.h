// Drawing y in [-1, 1] with density proportional to exp(h*y - h) from the
// tables of an O3.res file, for any coupling h: the C++ face of the C
// sampler (o3_sampler.h), whose code it runs, so that C, C++ and Fortran
// draw alike from one stream of random words.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "sampler/o3_sampler.h"

namespace o3::sampler {

// A file that cannot be read or is not a sound table: what() says which
// file, the line and what was wrong there.
class table_error : public std::runtime_error {
 public:
  table_error(int status, long line, const std::string& what)
      : std::runtime_error(what), status_(status), line_(line) {}
  int status() const { return status_; }  // O3_CANNOT_READ, O3_REFUSED, O3_NO_MEMORY
  long line() const { return line_; }

 private:
  int status_;
  long line_;
};

// A coupling that is not a finite number: the caller's error.
class coupling_error : public std::domain_error {
 public:
  using std::domain_error::domain_error;
};

// A generator whose words never gave an accepted point in a million tries:
// not random.
class generator_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A 64-bit word from any uniform random bit generator; the draws use its
// top 53 bits.
template <class URBG>
std::uint64_t word(URBG& g) {
  using result = typename URBG::result_type;
  if constexpr (URBG::min() == 0 &&
                URBG::max() == std::numeric_limits<std::uint64_t>::max()) {
    return static_cast<std::uint64_t>(g());
  } else if constexpr (URBG::min() == 0 &&
                       URBG::max() == std::numeric_limits<std::uint32_t>::max()) {
    const std::uint64_t high = static_cast<std::uint32_t>(g());
    return high << 32 | static_cast<std::uint32_t>(g());
  } else {
    static_assert(std::is_unsigned_v<result>);
    std::uniform_int_distribution<std::uint64_t> full;
    return full(g);
  }
}

// The library's generator, xoshiro256**, as a uniform random bit generator:
// a C++ simulation drawing from it draws what a C or Fortran one does from
// an o3_rng with the same seed.
class generator {
 public:
  using result_type = std::uint64_t;
  explicit generator(std::uint64_t seed) { o3_rng_seed(&state_, seed); }
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }
  result_type operator()() { return o3_rng_next(&state_); }
  o3_rng* state() { return &state_; }

 private:
  o3_rng state_;
};

class sampler {
 public:
  // Opens and checks the O3.res at path; throws table_error.
  explicit sampler(const std::string& path) {
    o3_error e;
    table_ = o3_open(path.c_str(), &e);
    if (table_ == nullptr) throw table_error(e.status, e.line, e.message);
  }
  sampler(sampler&& other) noexcept : table_(std::exchange(other.table_, nullptr)) {}
  sampler& operator=(sampler&& other) noexcept {
    std::swap(table_, other.table_);
    return *this;
  }
  sampler(const sampler&) = delete;
  sampler& operator=(const sampler&) = delete;
  ~sampler() { o3_close(table_); }

  // One y for coupling h, one word of rng per try and a second for a try
  // its squeeze does not decide: from the tables for h in [H0, H_max), by
  // exact inversion for any other h >= 0 (counted by outside_count),
  // mirrored for h < 0. Throws coupling_error for h not finite,
  // generator_error for words that are not random, std::logic_error from a
  // sampler moved from.
  template <class URBG>
  double draw(double h, URBG& rng) {
    o3_miss miss;
    double y;
    if (o3_first_try(table(), h, word(rng), &y, &miss)) [[likely]] return y;
    return rest(h, miss, rng, nullptr);
  }

  // y[i] for h[i], each drawn as draw() draws it, from the built-in
  // generator: the fastest way to draw many couplings known at once (one
  // sublattice of a checkerboard sweep), their first tries made together
  // and their misses finished after them, so that the generator's words are
  // taken in another order than by draw(). y may be h itself; otherwise
  // they must not overlap. Throws coupling_error, before any draw, for an h
  // that is not finite.
  void draw_many(std::span<const double> h, std::span<double> y, generator& rng) {
    if (y.size() < h.size()) throw std::length_error("o3::sampler: fewer y than h");
    table();  // throws for a sampler moved from, before any draw
    for (const double c : h) {
      if (!std::isfinite(c)) [[unlikely]] {
        throw coupling_error("o3::sampler: the coupling " + std::to_string(c) +
                             " is not a finite number");
      }
    }
    o3_draw_many(table_, h.size(), h.data(), y.data(), rng.state());
    for (std::size_t i = 0; i < h.size(); ++i) {
      if (std::isnan(y[i])) [[unlikely]] {
        throw generator_error("o3::sampler: a million tries without an accepted point: "
                              "the generator's words are not random");
      }
    }
  }

  // The draw with the tries the tables made added to *tries (none for a
  // draw outside them), for measuring the acceptance rate.
  template <class URBG>
  double draw_counted(double h, URBG& rng, std::uint64_t* tries) {
    o3_miss miss;
    double y;
    const bool hit = o3_first_try(table(), h, word(rng), &y, &miss);
    if (miss.cell >= 0) ++*tries;
    return hit ? y : rest(h, miss, rng, tries);
  }

  // Not a draw: the first try alone, its point or NaN where it misses, for
  // measuring what the misses cost.
  template <class URBG>
  double first_try(double h, URBG& rng) const {
    o3_miss miss;
    double y;
    return o3_first_try(table(), h, word(rng), &y, &miss)
               ? y
               : std::numeric_limits<double>::quiet_NaN();
  }

  std::uint64_t outside_count() const { return o3_outside_count(table_); }
  std::uint64_t error_count() const { return o3_error_count(table_); }

  double H0() const { return o3_h0(table_); }
  double H_max() const { return o3_h_max(table_); }
  double losses() const { return o3_losses(table_); }  // percent
  int pieces_per_histogram() const { return o3_pieces_per_histogram(table_); }
  int histogram_count() const { return o3_histogram_count(table_); }
  int map_entry_count() const { return o3_map_entry_count(table_); }
  int lookup_line_count() const { return o3_lookup_line_count(table_); }
  // Bound k of the lookup lines: couplings below it and not below bound
  // k - 1 take line k; the last is H_max.
  double lookup_bound(int k) const { return o3_lookup_bound(table_, k); }

  double coupling(int g) const { return o3_histogram_coupling(table_, g); }
  double loss(int g) const { return o3_histogram_loss(table_, g); }
  double area(int g) const { return o3_histogram_area(table_, g); }
  // Empty for a g out of range.
  std::span<const double> points(int g) const {
    const double* p = o3_histogram_points(table_, g);
    if (p == nullptr) return {};
    return {p, static_cast<std::size_t>(pieces_per_histogram()) + 1};
  }
  double smallest_served(int g) const { return o3_smallest_served(table_, g); }
  double largest_served(int g) const { return o3_largest_served(table_, g); }
  int histogram_of(double h) const { return o3_histogram_of(table_, h); }

  // The least box / density - 1 over all pieces, and where.
  struct surplus {
    double value;
    int histogram;
    int piece;
  };
  surplus least_surplus() const {
    surplus s{};
    s.value = o3_least_surplus(table_, &s.histogram, &s.piece);
    return s;
  }

  o3_table* c_table() { return table_; }

 private:
  // The table to draw from; a sampler moved from has none, and the C draw,
  // inline here, would follow its null pointer.
  o3_table* table() const {
    if (table_ == nullptr) [[unlikely]] {
      throw std::logic_error("o3::sampler: no table to draw from: the sampler was moved from");
    }
    return table_;
  }

  template <class URBG>
  static std::uint64_t next_word(void* rng) {
    return word(*static_cast<URBG*>(rng));
  }

  template <class URBG>
  double rest(double h, const o3_miss& miss, URBG& rng, std::uint64_t* tries) {
    const double y = o3_after_miss(table_, h, &miss, &next_word<URBG>, &rng, tries);
    if (std::isnan(y)) [[unlikely]] {
      if (!std::isfinite(h)) {
        throw coupling_error("o3::sampler: the coupling " + std::to_string(h) +
                             " is not a finite number");
      }
      throw generator_error("o3::sampler: a million tries without an accepted point: "
                            "the generator's words are not random");
    }
    return y;
  }

  o3_table* table_;
};

}  // namespace o3::sampler
