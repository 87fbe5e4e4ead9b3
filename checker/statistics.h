// The statistical checks: draws at chosen couplings against the exact law
// (chi-square on equiprobable bins) and the acceptance rate against the one
// the box area predicts.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "sampler/sampler.h"

namespace o3::checker {

// The law of y with density proportional to exp(h (y - 1)) on [-1, 1]:
// F(y) = (exp(h (y - 1)) - exp(-2h)) / (1 - exp(-2h)), uniform for h = 0.
class exact_law {
 public:
  explicit exact_law(double h);
  double cdf(double y) const;
  // The one of `bins` equiprobable bins that holds y. Its edges are
  // F^-1(i / bins), so this is floor(F(y) * bins): no inversion needed.
  std::size_t bin(double y, std::size_t bins) const;

 private:
  double h_;
  double floor_;  // exp(-2h)
  double mass_;   // 1 - exp(-2h)
};

// The integral of exp(h (y - 1)) over [-1, 1]: (1 - exp(-2h)) / h, 2 at 0.
double density_integral(double h);

// Upper tail of the chi-square law with df degrees of freedom beyond x, by
// the Wilson-Hilferty normal approximation (ample for df = 99 at the tail
// probabilities used here).
double chi_square_tail(double x, int df);

// P(|Z| >= |z|) for a standard normal Z.
double normal_two_sided(double z);

// The couplings to test: H0, the largest double below H_max, each bound
// between lookup pieces and the double below it, then couplings spread
// evenly in log(1 + h - H0) up to `count` in all.
std::vector<double> test_couplings(const sampler::sampler& t, std::size_t count);

constexpr std::size_t chi_square_bins = 100;
// A correct table fails the whole run with probability at most this: each
// of the two tests at each coupling is held to family_level / (2 couplings)
// (Bonferroni).
constexpr double family_level = 1e-6;

// Pearson's statistic of counts against equal expected counts.
double chi_square(const std::vector<std::uint64_t>& counts);

struct coupling_result {
  double h;
  int histogram;  // -1 for a draw not from the tables
  double chi2;
  double chi2_p;
  double acceptance;           // accepted / tried
  double expected_acceptance;  // NaN where the draw is not from the tables: not tested
  double acceptance_p;         // two-sided, binomial standard error; 1 where not tested
};

// The tries of the draws and how many were accepted: one each.
struct tries {
  std::uint64_t tried = 0;
  std::uint64_t accepted = 0;
};

// An expected acceptance of NaN leaves the acceptance untested: NaN, its
// p-value 1.
coupling_result evaluate(double h, int histogram, double expected_acceptance,
                         const std::vector<std::uint64_t>& counts, const tries& made);

bool passes(const coupling_result& r, std::size_t couplings);

// Takes n draws at h from draw(h, rng, &tried), which must add its tries to
// tried as sampler::detail::draw_counted does, and tests them.
template <class URBG, class Draw>
coupling_result test_coupling(double h, int histogram, double expected_acceptance, std::uint64_t n,
                              URBG& rng, Draw&& draw) {
  const exact_law law(h);
  std::vector<std::uint64_t> counts(chi_square_bins);
  tries made;
  for (std::uint64_t i = 0; i < n; ++i) {
    ++counts[law.bin(draw(h, rng, &made.tried), chi_square_bins)];
  }
  made.accepted = n;
  return evaluate(h, histogram, expected_acceptance, counts, made);
}

// Every coupling of test_couplings(s, 20) through the library's sampler,
// from one generator seeded with `seed`.
std::vector<coupling_result> run_statistics(sampler::sampler& s, std::uint64_t seed,
                                            std::uint64_t n);

// The couplings an engine is tested at: 0, then from 1e-6 to 1e4 two or
// three a decade, and each side of every coupling where its draw changes
// (O3_EXPONENTIAL_FROM, r / 8 and r / 2 of the exponential's tail start r,
// the table's H0 and H_max where it has one), about 30 in all.
std::vector<double> engine_couplings(const sampler::sampler& s);

// The draws of the sampler's own engine at every engine coupling, from a
// stream seeded with `seed`: the chi-square everywhere, the acceptance
// where the draw is from the tables.
std::vector<coupling_result> run_engine_statistics(sampler::sampler& s, std::uint64_t seed,
                                                   std::uint64_t n);

}  // namespace o3::checker
