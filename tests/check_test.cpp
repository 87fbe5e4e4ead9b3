// Unit tests of the checker's statistics, on tables the tool makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "checker/statistics.h"
#include "sampler/sampler.h"
#include "tests/made_tables.h"

namespace {

using o3::sampler::sampler;

TEST(Statistics, ExactLaw) {
  const struct {
    double h, y, F;  // F from the closed form: 1 / (1 + e) at h = 1, y = 0
  } cases[] = {
      {0.0, 0.0, 0.5},        {0.0, -1.0, 0.0},
      {1.0, 0.0, 0.2689414213699951},
      {1e-12, 0.0, 0.5},      // the plain difference would be off by 1e-4 here
      {400.0, 1.0 - std::log(2.0) / 400.0, 0.5},  // exp(-800) is nothing
      {400.0, -1.0, 0.0},     {400.0, 1.0, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "h = " << c.h << ", y = " << c.y);
    EXPECT_NEAR(o3::checker::exact_law(c.h).cdf(c.y), c.F, 1e-12);
  }
  EXPECT_EQ(o3::checker::density_integral(0.0), 2.0);
  EXPECT_NEAR(o3::checker::density_integral(1.0), 1.0 - std::exp(-2.0), 1e-15);
}

TEST(Statistics, ChiSquareTail) {
  // Points of the chi-square law with 100 degrees of freedom from printed
  // tables: the median 99.334 and the upper 1 % point 135.807.
  EXPECT_NEAR(o3::checker::chi_square_tail(99.334, 100), 0.5, 0.005);
  EXPECT_NEAR(o3::checker::chi_square_tail(135.807, 100), 0.01, 0.0005);
}

TEST(Statistics, CouplingsCoverTheEndsAndTheBounds) {
  // Lookup lines below 100 and from 100 to 1000.
  const auto h = o3::checker::test_couplings(sampler(o3test::made_table("0 1000 50")), 20);
  EXPECT_EQ(h.size(), 20u);
  EXPECT_EQ(h.front(), 0.0);
  EXPECT_EQ(h.back(), std::nextafter(1000.0, 0.0));
  EXPECT_TRUE(std::binary_search(h.begin(), h.end(), 100.0));
  EXPECT_TRUE(std::binary_search(h.begin(), h.end(), std::nextafter(100.0, 0.0)));
}

using rng_t = std::mt19937_64;
using draw_t = std::function<double(double, rng_t&, std::uint64_t*)>;

// H0 = 0, H_max = 2, losses 10 %.
sampler& small() {
  static sampler s(o3test::made_table("0 2 10"), o3::sampler::engine::tables);
  return s;
}

// 20000 draws at h = 0.5, as run_statistics tests them.
o3::checker::coupling_result test_at_half(const draw_t& draw) {
  sampler& s = small();
  const int g = s.histogram_of(0.5);
  const double expected =
      o3::checker::density_integral(0.5) / (s.pieces_per_histogram() * s.area(g));
  rng_t rng(7);
  return o3::checker::test_coupling(0.5, g, expected, 20000, rng, draw);
}

// Each p-value's level when 20 couplings are tested.
constexpr double level = o3::checker::family_level / 40;

TEST(Statistics, PassesTheLibrarySamplerOnACorrectTable) {
  sampler& s = small();
  EXPECT_TRUE(o3::checker::passes(
      test_at_half([&s](double h, rng_t& g, auto* c) { return s.draw_counted(h, g, c); }), 20));
  for (const auto& r : o3::checker::run_statistics(s, 1, 20000)) {
    EXPECT_TRUE(o3::checker::passes(r, 20)) << "h = " << r.h << ", chi2 = " << r.chi2;
  }
}

TEST(Statistics, FailsAWrongSampler) {
  sampler& right = small();
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const struct {
    const char* name;
    draw_t draw;
    bool chi2_fails, acceptance_fails;  // false: either way
  } cases[] = {
      {"coupling 0.3 too large",
       [&](double h, rng_t& g, auto* c) { return right.draw_counted(h + 0.3, g, c); }, true, false},
      {"uniform, with the sampler's acceptance",
       [&](double h, rng_t& g, auto* c) {
         right.draw_counted(h, g, c);
         return 2.0 * u(g) - 1.0;
       }, true, false},
      {"right law by inversion, nothing rejected",
       [&](double h, rng_t& g, auto* c) {
         ++*c;
         const double v = u(g);
         return 1.0 + std::log(v + (1.0 - v) * std::exp(-2.0 * h)) / h;
       }, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = test_at_half(c.draw);
    EXPECT_FALSE(o3::checker::passes(r, 20));
    if (c.chi2_fails) {
      EXPECT_LT(r.chi2_p, level) << r.chi2;
    }
    if (c.acceptance_fails) {
      EXPECT_LT(r.acceptance_p, level) << r.acceptance;
    }
  }
}

}  // namespace
