// Unit tests of the checker's statistics and picture, on tables the tool makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "checker/statistics.h"
#include "checker/svg.h"
#include "sampler/sampler.h"
#include "tests/made_tables.h"
#include "tests/tool_runner.h"

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

// A logarithmic coupling axis only where a linear one would squeeze the
// couplings a simulation uses: beyond 100 times max(1, least above 0).
TEST(Picture, LossAxisIsLogarithmicOnlyForWideRanges) {
  const double none = std::numeric_limits<double>::infinity();  // no coupling above 0
  const struct { double least, largest; bool logarithmic; } rows[] = {
      {0.04, 4.2, false},    // [0, 4.16], losses 10: 105 times the least, but linear
      {0.04, 20.5, false},   // [0, 20]
      {0.04, 100.0, false},  // exactly 100 times 1
      {0.04, 100.5, true},
      {0.04, 3300.0, true},  // [0, 3200]
      {100.0, 3300.0, false},
      {5.0, 501.0, true},
      {none, 0.0, false}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.least << " to " << r.largest);
    EXPECT_EQ(o3::checker::logarithmic_couplings(r.least, r.largest), r.logarithmic);
  }
}

// The picture states the chi-square of its own draws on the check's
// equiprobable bins, and paints red the bins beyond 3 standard errors.
TEST(Picture, ShowsTheChiSquareOfItsDrawsAndMarksFarBins) {
  const sampler& s = small();
  const double h = 0.5;
  const double floor = std::exp(-2.0 * h);
  // 10 draws at the middle of each equiprobable bin: chi-square 0, p = 1.
  std::vector<double> even;
  for (int i = 0; i < 100; ++i) {
    const double u = (i + 0.5) / 100.0;
    even.insert(even.end(), 10, 1.0 + std::log(u * (1.0 - floor) + floor) / h);
  }
  // All 1000 in the last bin: (1000 - 10)^2 / 10 + 99 * 10 = 99000.
  const std::vector<double> piled(1000, 1.0);
  const struct { const std::vector<double>* drawn; const char* chi2; bool red; } rows[] = {
      {&even, "0.00 on 99 degrees of freedom, p = 1</text>", false},
      {&piled, "99000.00 on 99 degrees of freedom, p = 0</text>", true}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.chi2);
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    o3::checker::write_svg(f, s, h, s.histogram_of(h), *r.drawn);
    std::string svg(static_cast<std::size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    ASSERT_EQ(std::fread(svg.data(), 1, svg.size(), f), svg.size());
    std::fclose(f);
    EXPECT_NE(svg.find("chi-square of these draws on the check's 100 equiprobable bins: " +
                       std::string(r.chi2)), std::string::npos);
    // A bar is a line of its own; the legend's red box is followed by its text.
    int red_bars = 0;
    for (const std::string& line : o3test::lines_of(svg)) {
      red_bars += line.starts_with("<rect ") && line.ends_with("fill=\"#c62828\"/>") ? 1 : 0;
    }
    EXPECT_EQ(red_bars > 0, r.red) << red_bars;
    EXPECT_NE(svg.find("beyond \u00b13 \u03c3: a bin of a sound table by chance"), std::string::npos);
  }
}

}  // namespace
