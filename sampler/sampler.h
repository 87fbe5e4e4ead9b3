// Drawing y in [-1, 1] with density proportional to exp(h*y - h), exactly,
// for any coupling h: the C++ face of the C sampler (o3_sampler.h), whose
// code it runs, so that C, C++ and Fortran draw alike from one stream of
// random words.
#pragma once

#include <cmath>
#include <concepts>
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

// A file that cannot be read or is not a sound table, or an engine that
// cannot be opened so: what() says which file, the line and what was wrong.
class table_error : public std::runtime_error {
 public:
  table_error(int status, long line, const std::string& what)
      : std::runtime_error(what), status_(status), line_(line) {}
  // O3_CANNOT_READ, O3_REFUSED, O3_NO_MEMORY, O3_BAD_ENGINE
  int status() const { return status_; }
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

// A 64-bit word from any uniform random bit generator.
template <class URBG>
std::uint64_t word(URBG& g) {
  using result = typename URBG::result_type;
  if constexpr (URBG::min() == 0 && URBG::max() == std::numeric_limits<std::uint64_t>::max()) {
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

// What the draws of one thread change: the same generator and the counts
// of its draws. Any number of threads may draw from one sampler, each with
// a stream of its own. A uniform random bit generator too.
class stream {
 public:
  using result_type = std::uint64_t;
  // The words of generator(seed).
  explicit stream(std::uint64_t seed) { o3_stream_seed(&state_, seed); }
  // A stream of its own for each place (a plane of a lattice, say) of each
  // sweep: draws that take the words of each place from its own stream do
  // not depend on how the places are shared out among threads.
  stream(std::uint64_t seed, std::uint64_t sweep, std::uint64_t place) {
    o3_stream_seed_at(&state_, seed, sweep, place);
  }
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }
  result_type operator()() { return o3_rng_next(&state_.rng); }
  // Draws whose coupling the engine would have taken from the tables but
  // they did not cover, and draws refused (thrown here, NaN in C).
  std::uint64_t outside_count() const { return state_.counts.outside; }
  std::uint64_t error_count() const { return state_.counts.errors; }
  o3_stream* state() { return &state_; }

 private:
  o3_stream state_;
};

// How draws are made (see o3_sampler.h). Every engine is exact: `automatic`
// is the fastest, `tables` draws the streams of o3tables 0.1, `exponential`
// needs no table.
enum class engine : int {
  automatic = O3_ENGINE_DEFAULT,
  tables = O3_ENGINE_TABLES,
  exponential = O3_ENGINE_EXPONENTIAL
};

namespace detail {
struct access;  // sampler/inspect.h: what the library's own checks see
}

class sampler {
 public:
  // Opens and checks the O3.res at path for the engine; throws table_error.
  explicit sampler(const std::string& path, engine how = engine::automatic)
      : table_(open(path.c_str(), how)) {}
  // A sampler without a table: engine::exponential (table_error for
  // another).
  explicit sampler(engine how) : table_(open(nullptr, how)) {}
  sampler(sampler&& other) noexcept : table_(std::exchange(other.table_, nullptr)) {}
  sampler& operator=(sampler&& other) noexcept {
    std::swap(table_, other.table_);
    return *this;
  }
  sampler(const sampler&) = delete;
  sampler& operator=(const sampler&) = delete;
  ~sampler() { o3_close(table_); }

  // One y for coupling h from any uniform random bit generator, counted in
  // the sampler: one thread at a time. Mirrored for h < 0. Throws
  // coupling_error for h not finite, generator_error for words that are not
  // random, std::logic_error from a sampler moved from.
  template <class URBG>
  requires(!std::same_as<URBG, stream>) double draw(double h, URBG& rng) {
    const std::uint64_t w = word(rng);
    double y;
    if (o3_try(table(), h, w, &y)) [[likely]]
      return y;
    return rest(h, w, rng, &table_->counts, nullptr);
  }

  // The same from a stream, counted in it: the sampler is only read, so any
  // number of threads may draw at once, each from its own stream.
  double draw(double h, stream& s) const {
    const double y = o3_stream_draw(table(), h, s.state());
    if (std::isnan(y)) [[unlikely]]
      refuse(h);
    return y;
  }

  // y[i] for h[i], each drawn as draw() draws it: the fastest way to draw
  // many couplings known at once (one sublattice of a checkerboard sweep),
  // their first tries made together and their misses finished after them,
  // so that the words are taken in another order than by draw(). y may be
  // h itself; otherwise they must not overlap. Throws coupling_error, before
  // any draw, for an h that is not finite.
  void draw_many(std::span<const double> h, std::span<double> y, generator& rng) {
    check_many(h, y);
    o3_draw_many(table_, h.size(), h.data(), y.data(), rng.state());
    refuse_any(y.first(h.size()));
  }
  void draw_many(std::span<const double> h, std::span<double> y, stream& s) const {
    check_many(h, y);
    o3_stream_draw_many(table_, h.size(), h.data(), y.data(), s.state());
    refuse_any(y.first(h.size()));
  }

  engine how() const { return static_cast<engine>(o3_engine(table())); }
  // The sampler's own counts: of the draws from a generator, not a stream.
  std::uint64_t outside_count() const { return o3_outside_count(table_); }
  std::uint64_t error_count() const { return o3_error_count(table_); }

  // What the table holds (NaN and 0 without one).
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

 private:
  friend struct detail::access;

  static o3_table* open(const char* path, engine how) {
    o3_error e;
    o3_table* t = o3_open_engine(path, static_cast<int>(how), &e);
    if (t == nullptr) throw table_error(e.status, e.line, e.message);
    return t;
  }

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

  // The rest of a draw whose first try with word w missed. A small
  // generator is copied for it, so that its state can stay in registers
  // between draws rather than in memory whose address the rest has taken.
  template <class URBG>
  double rest(double h, std::uint64_t w, URBG& rng, o3_counts* counts, std::uint64_t* tries) {
    double y;
    if constexpr (std::is_trivially_copyable_v<URBG> && sizeof(URBG) <= 64) {
      URBG copy = rng;
      y = o3_draw_rest(table_, h, w, &next_word<URBG>, &copy, counts, tries);
      rng = copy;
    } else {
      y = o3_draw_rest(table_, h, w, &next_word<URBG>, &rng, counts, tries);
    }
    if (std::isnan(y)) [[unlikely]]
      refuse(h);
    return y;
  }

  [[noreturn]] static void refuse(double h) {
    if (!std::isfinite(h)) {
      throw coupling_error("o3::sampler: the coupling " + std::to_string(h) +
                           " is not a finite number");
    }
    throw generator_error(
        "o3::sampler: a million tries without an accepted point: "
        "the generator's words are not random");
  }

  void check_many(std::span<const double> h, std::span<double> y) const {
    if (y.size() < h.size()) throw std::length_error("o3::sampler: fewer y than h");
    table();  // throws for a sampler moved from, before any draw
    for (const double c : h) {
      if (!std::isfinite(c)) [[unlikely]]
        refuse(c);
    }
  }

  static void refuse_any(std::span<const double> y) {
    for (const double v : y) {
      if (std::isnan(v)) [[unlikely]]
        refuse(0.0);
    }
  }

  o3_table* table_;
};

}  // namespace o3::sampler
