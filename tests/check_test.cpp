// Unit tests of the checker on a small table built here, correct by
// construction: every box has height 1.01, above exp(h (y - 1)) <= 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "checker/envelope.h"
#include "sampler/lookup.h"
#include "checker/statistics.h"
#include "checker/structure.h"

namespace {

using o3::sampler::table;

// Lookup: h < 1 in cells of 0.4 (cells 0, 1, 2), then h < 2 in cell 3.
// Histograms at H = 0, 0.4 and 1, four equal pieces each.
table small_table() {
  table t;
  t.H0 = 0.0;
  t.H_max = 2.0;
  t.Nd_poi = 4;
  t.pieces = {{1.0, 0, 0.4}, {2.0, 2, 1.0}};
  t.map_j = {0, 1, 2, 3};
  t.map_g = {0, 1, 1, 2};
  t.map_line = 30;
  for (const double H : {0.0, 0.4, 1.0}) {
    t.histograms.push_back({H, 1.0, 0.505, {-1.0, -0.5, 0.0, 0.5, 1.0}});
    t.record_lines.push_back(40 + 6 * static_cast<int>(t.record_lines.size()));
  }
  return t;
}

// The failures' texts, one a line.
std::string failures(const table& t) {
  std::string all;
  for (const auto& f : o3::checker::check_structure(t)) {
    if (f.failure) all += f.what + "\n";
  }
  if (const auto e = o3::checker::check_envelope(t); e.violation) all += e.violation->what;
  return all;
}

TEST(Checker, AcceptsACorrectTable) {
  const table t = small_table();
  EXPECT_EQ(failures(t), "");
  // The smallest surplus is at the density's maximum, 1.01 / 1 - 1.
  EXPECT_NEAR(o3::checker::check_envelope(t).least_surplus, 0.01, 1e-12);
}

TEST(Checker, FirstCouplingOfACellIsTheFirstDoubleTheDivisionPutsThere) {
  table t = small_table();
  // Steps that O3.res files use; j * step rounds to either side of the
  // first coupling for some j (3 * 0.04 = 0.12, but 0.12 / 0.04 < 3).
  for (const double step : {0.04, 0.004, 0.1, 0.3, 2.4}) {
    t.pieces = {{1000.0, 0, step}};
    t.H_max = 1000.0;
    for (std::int64_t j = 1; j < 300; ++j) {
      SCOPED_TRACE(testing::Message() << "step " << step << ", cell " << j);
      const double h = o3::sampler::first_coupling_from(t, j);
      EXPECT_EQ(o3::sampler::cell_of(t, h), j);
      EXPECT_EQ(o3::sampler::cell_of(t, std::nextafter(h, 0.0)), j - 1);
    }
  }
}

TEST(Checker, NotesACellSkippedAtAPieceBound) {
  table t = small_table();  // cell 2 is the last one below the bound 1
  t.map_j.erase(t.map_j.begin() + 2);
  t.map_g.erase(t.map_g.begin() + 2);
  const auto found = o3::checker::check_structure(t);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_FALSE(found[0].failure);
  EXPECT_NE(found[0].what.find("cell 2 has no entry"), std::string::npos) << found[0].what;
}

TEST(Checker, AcceptsACellThatStartsARoundingBelowItsCoupling) {
  // As a cell whose start is 3.96 in decimals begins at 3.9599999999999995.
  table t = small_table();
  t.histograms[1].H = std::nextafter(std::nextafter(0.4, 1.0), 1.0);
  EXPECT_EQ(failures(t), "");
}

TEST(Checker, NamesTheFaultOfADamagedTable) {
  const struct {
    const char* name;
    std::function<void(table&)> damage;
    const char* named;
  } cases[] = {
      {"box lowered", [](table& t) { t.histograms[2].area = 0.45; },
       "histogram 2, piece 3 [0.5, 1]: the box height 0.9"},
      {"piece widened", [](table& t) { t.histograms[1].x[3] = 0.4; },
       "histogram 1, piece 3 [0.4, 1]"},
      {"point moved back", [](table& t) { t.histograms[0].x[2] = -0.6; },
       "histogram 0: point 2 (-0.6) is not above point 1 (-0.5)"},
      {"last point short", [](table& t) { t.histograms[0].x[4] = 1.0 - 0x1p-51; },
       "the last point is"},
      {"entry to a larger coupling", [](table& t) { t.map_g[1] = 2; },
       "map entry 1 -> histogram 2: the histogram's coupling 1 is above 0.4"},
      // Piece 2 of histogram 2 (H = 1) is 0.72 high: above exp(1 (0.5 - 1)),
      // below exp(0.4 (0.5 - 1)), and the wrong entry makes it serve 0.4.
      {"boxes valid only above the coupling served", [](table& t) {
         t.map_g[1] = 2;
         t.histograms[2].x[2] = -0.2;
       }, "histogram 2, piece 2 [-0.2, 0.5]"},
      // 0.4 / 0.4 = 1 puts 0.4 itself in cell 1: beyond rounding, late.
      {"coupling late", [](table& t) { t.histograms[1].H = 0.4 + 1e-9; }, "above 0.4,"},
      {"map not from 0", [](table& t) { t.map_j = {1, 2, 3, 4}; }, "start at cell 0"},
      {"map line lost", [](table& t) {
         t.map_j = {0, 2, 3};
         t.map_g = {0, 1, 2};
       },
       "cell 1 has no entry and is not at a mapping-piece bound"},
      {"map out of order", [](table& t) { t.map_j[2] = 1; }, "must increase: 1 after 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    table t = small_table();
    c.damage(t);
    EXPECT_NE(failures(t).find(c.named), std::string::npos) << failures(t);
  }
}

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
  const auto h = o3::checker::test_couplings(small_table(), 20);
  EXPECT_EQ(h.size(), 20u);
  EXPECT_EQ(h.front(), 0.0);
  EXPECT_EQ(h.back(), std::nextafter(2.0, 0.0));
  EXPECT_TRUE(std::binary_search(h.begin(), h.end(), 1.0));
  EXPECT_TRUE(std::binary_search(h.begin(), h.end(), std::nextafter(1.0, 0.0)));
}

using rng_t = std::mt19937_64;
using draw_t = std::function<double(double, rng_t&, o3::sampler::sampler::counts*)>;
using o3::sampler::sampler;

// 20000 draws at h = 0.5, served by histogram 1, as run_statistics tests them.
o3::checker::coupling_result test_at_half(const table& t, const draw_t& draw) {
  const double expected = o3::checker::density_integral(0.5) / (4 * t.histograms[1].area);
  rng_t rng(7);
  return o3::checker::test_coupling(0.5, 1, expected, 20000, rng, draw);
}

// Each p-value's level when 20 couplings are tested.
constexpr double level = o3::checker::family_level / 40;

TEST(Statistics, PassesTheLibrarySamplerOnACorrectTable) {
  const table t = small_table();
  const sampler s(t);
  EXPECT_TRUE(o3::checker::passes(
      test_at_half(t, [&s](double h, rng_t& g, auto* c) { return s.draw_counted(h, g, c); }), 20));
  for (const auto& r : o3::checker::run_statistics(t, s, 1, 20000)) {
    EXPECT_TRUE(o3::checker::passes(r, 20)) << "h = " << r.h << ", chi2 = " << r.chi2;
  }
}

TEST(Statistics, FailsAWrongSampler) {
  table lowered = small_table();
  lowered.histograms[1].area = 0.3;  // boxes of 0.6 cut the density off
  const sampler right(small_table());
  const sampler wrong(lowered);
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
         ++c->tried;
         ++c->accepted;
         const double v = u(g);
         return 1.0 + std::log(v + (1.0 - v) * std::exp(-2.0 * h)) / h;
       }, false, true},
      {"the library on a box below the density",
       [&](double h, rng_t& g, auto* c) { return wrong.draw_counted(h, g, c); }, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = test_at_half(small_table(), c.draw);
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
