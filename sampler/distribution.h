// y in [-1, 1] with density proportional to exp(h*y - h) as a random number
// distribution in the style of <random>: param_type, operator()(URBG&) and
// operator()(URBG&, const param_type&), comparison and stream I/O. It draws
// by the default engine, which needs no table, with the words of any
// uniform random bit generator; its counts are its own, so that a
// distribution per thread shares nothing.
#pragma once

#include <cmath>
#include <cstdint>
#include <istream>
#include <limits>
#include <ostream>
#include <string>

#include "sampler/o3_sampler.h"
#include "sampler/sampler.h"

namespace o3::sampler {

class y_distribution {
 public:
  using result_type = double;

  class param_type {
   public:
    using distribution_type = y_distribution;
    explicit param_type(double h = 0.0) : h_(h) {}
    double h() const { return h_; }
    friend bool operator==(const param_type& a, const param_type& b) { return a.h_ == b.h_; }
    friend bool operator!=(const param_type& a, const param_type& b) { return !(a == b); }

   private:
    double h_;
  };

  // Throws coupling_error for an h that is not a finite number.
  explicit y_distribution(double h = 0.0) : y_distribution(param_type(h)) {}
  explicit y_distribution(const param_type& p) : p_(p) { check(p.h()); }

  void reset() {}
  param_type param() const { return p_; }
  void param(const param_type& p) {
    check(p.h());
    p_ = p;
  }
  double h() const { return p_.h(); }
  result_type min() const { return -1.0; }
  result_type max() const { return 1.0; }

  template <class URBG>
  result_type operator()(URBG& g) {
    return (*this)(g, p_);
  }
  // Throws coupling_error for h not finite, generator_error for words that
  // are not random.
  template <class URBG>
  result_type operator()(URBG& g, const param_type& p) {
    const o3_table* t = table();
    const std::uint64_t w = word(g);
    double y;
    if (o3_try(t, p.h(), w, &y)) [[likely]]
      return y;
    y = o3_draw_rest(t, p.h(), w, &next<URBG>, &g, &counts_, nullptr);
    if (std::isnan(y)) [[unlikely]] {
      check(p.h());
      throw generator_error(
          "o3::sampler: a million tries without an accepted point: "
          "the generator's words are not random");
    }
    return y;
  }

  friend bool operator==(const y_distribution& a, const y_distribution& b) { return a.p_ == b.p_; }
  friend bool operator!=(const y_distribution& a, const y_distribution& b) { return !(a == b); }

  // The coupling, to the last bit; read back, the same distribution.
  template <class Char, class Traits>
  friend std::basic_ostream<Char, Traits>& operator<<(std::basic_ostream<Char, Traits>& os,
                                                      const y_distribution& d) {
    const auto flags = os.flags();
    const auto precision = os.precision(std::numeric_limits<double>::max_digits10);
    os.flags(std::ios_base::scientific);
    os << d.h();
    os.flags(flags);
    os.precision(precision);
    return os;
  }
  template <class Char, class Traits>
  friend std::basic_istream<Char, Traits>& operator>>(std::basic_istream<Char, Traits>& is,
                                                      y_distribution& d) {
    double h = 0.0;
    if (is >> h) {
      if (std::isfinite(h)) {
        d.p_ = param_type(h);
      } else {
        is.setstate(std::ios_base::failbit);
      }
    }
    return is;
  }

 private:
  // One sampler without a table for every distribution: the default
  // engine's draws only read it.
  static const o3_table* table() {
    static const o3_table* const t = [] {
      o3_error e;
      const o3_table* opened = o3_open_engine(nullptr, O3_ENGINE_DEFAULT, &e);
      if (opened == nullptr) throw table_error(e.status, e.line, e.message);
      return opened;
    }();
    return t;
  }

  template <class URBG>
  static std::uint64_t next(void* g) {
    return word(*static_cast<URBG*>(g));
  }

  static void check(double h) {
    if (!std::isfinite(h)) {
      throw coupling_error("o3::sampler: the coupling " + std::to_string(h) +
                           " is not a finite number");
    }
  }

  param_type p_;
  o3_counts counts_{};
};

}  // namespace o3::sampler
