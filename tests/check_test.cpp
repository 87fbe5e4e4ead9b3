// Unit tests of the checker's statistics and picture, on tables the tool makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "checker/options.h"
#include "checker/statistics.h"
#include "checker/svg.h"
#include "sampler/o3_internal.h"
#include "sampler/inspect.h"
#include "sampler/sampler.h"
#include "tests/made_tables.h"
#include "tests/tool_runner.h"

namespace {

using o3::sampler::detail::draw_counted;

using o3::sampler::sampler;

TEST(Statistics, ExactLaw) {
  const struct {
    double h, y, F;  // F from the closed form: 1 / (1 + e) at h = 1, y = 0
  } cases[] = {
      {0.0, 0.0, 0.5},
      {0.0, -1.0, 0.0},
      {1.0, 0.0, 0.2689414213699951},
      {1e-12, 0.0, 0.5},                          // the plain difference would be off by 1e-4 here
      {400.0, 1.0 - std::log(2.0) / 400.0, 0.5},  // exp(-800) is nothing
      {400.0, -1.0, 0.0},
      {400.0, 1.0, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "h = " << c.h << ", y = " << c.y);
    EXPECT_NEAR(o3::checker::exact_law(c.h).cdf(c.y), c.F, 1e-12);
  }
  EXPECT_EQ(o3::checker::density_integral(0.0), 2.0);
  EXPECT_NEAR(o3::checker::density_integral(1.0), 1.0 - std::exp(-2.0), 1e-15);
}

// The upper tail of the chi-square law with df degrees of freedom beyond x,
// in closed form: for df even the Poisson sum exp(-x/2) sum_{i < df/2}
// (x/2)^i / i!; for df odd erfc(sqrt(x/2)) + exp(-x/2) sum_{i < (df-1)/2}
// (x/2)^(i+1/2) / Gamma(i + 3/2), whose first term is sqrt(2x/pi). Each
// term is the one before times x / (2i + 2), or x / (2i + 3).
double closed_tail(double x, int df) {
  const long double half = 0.5L * x;
  const bool odd = df % 2 == 1;
  long double term = odd ? std::sqrt(4.0L * half / std::acos(-1.0L)) : 1.0L;
  long double sum = 0.0L;
  for (int i = 0; i < df / 2; ++i) {
    sum += term;
    term *= 2.0L * half / (2 * i + (odd ? 3 : 2));
  }
  return static_cast<double>((odd ? std::erfc(std::sqrt(half)) : 0.0L) + std::exp(-half) * sum);
}

// check tests 100 bins: 99 degrees of freedom. Its tail is the
// Wilson-Hilferty approximation, held to a bound a little above its own
// error at each x (which grows to 15 % at 1e-8, where check decides) and
// below what one degree of freedom more or less changes there: 1 % at
// x = 80, 12 % at 120, 30 % at 200.
TEST(Statistics, ChiSquareTail) {
  const struct {
    double x;
    int df;
    double tolerance;  // relative
  } cases[] = {{80.0, 99, 1e-4},
               {99.0, 99, 1e-4},
               {120.0, 99, 2e-3},
               {140.0, 99, 1e-2},
               {180.0, 99, 0.1},
               {200.0, 99, 0.2},
               // The median and the upper 1 % point of 100 degrees.
               {99.334, 100, 1e-4},
               {135.807, 100, 1e-2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "x = " << c.x << ", df = " << c.df);
    const double tail = closed_tail(c.x, c.df);
    EXPECT_NEAR(o3::checker::chi_square_tail(c.x, c.df), tail, c.tolerance * tail);
  }
  EXPECT_NEAR(closed_tail(99.334, 100), 0.5, 1e-4);
  EXPECT_NEAR(closed_tail(135.807, 100), 0.01, 1e-6);
}

// The normal law's two-sided quantiles 1.95996..., 2.57583... and 3.29053...
TEST(Statistics, NormalTail) {
  const struct {
    double z, p;
  } cases[] = {{0.0, 1.0},
               {1.959963984540054, 0.05},
               {-2.5758293035489004, 0.01},
               {3.2905267314919255, 0.001}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.z);
    EXPECT_NEAR(o3::checker::normal_two_sided(c.z), c.p, 1e-12 * c.p);
  }
}

// 100 bins of 1000 draws, k more in half of them and k fewer in the other:
// chi2 = 100 k^2 / 1000. 100000 draws accepted of 125000 tries, a rate of
// 0.8, against p: z = (0.8 - p) / sqrt(p (1 - p) / 125000), and the
// p-value P(|Z| >= |z|) = erfc(|z| / sqrt 2).
TEST(Statistics, EvaluatesTheDrawsByTheirClosedForms) {
  const struct {
    int k;
    double chi2, tolerance;  // relative, of the chi-square's p-value
    double p, acceptance_p;
  } cases[] = {
      {0, 0.0, 1e-12, 0.8, 1.0},
      // z = -0.002 / 0.00112711 = -1.77446
      {30, 90.0, 2e-4, 0.802, 0.07598776206377542},
      // z = 0.003 / 0.00113769 = 2.63693
      {35, 122.5, 1e-3, 0.797, 0.008365937403020532},
      // z = 0.0005 / 0.00113243 = 0.441528; with the variance p instead of
      // p (1 - p), 0.197704 and a p-value of 0.843277.
      {40, 160.0, 5e-2, 0.7995, 0.6588305465892951},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.k);
    std::vector<std::uint64_t> counts(o3::checker::chi_square_bins, 1000);
    for (std::size_t i = 0; i < counts.size(); ++i) {
      counts[i] = i % 2 == 0 ? counts[i] + c.k : counts[i] - c.k;
    }
    const o3::checker::tries made{125000, 100000};
    const auto r = o3::checker::evaluate(0.5, 3, c.p, counts, made);
    EXPECT_NEAR(r.chi2, c.chi2, 1e-9);
    const double tail = closed_tail(c.chi2, 99);
    EXPECT_NEAR(r.chi2_p, tail, c.tolerance * tail);
    EXPECT_EQ(r.acceptance, 0.8);
    EXPECT_NEAR(r.acceptance_p, c.acceptance_p, 1e-9 * c.acceptance_p);
    EXPECT_EQ(r.h, 0.5);
    EXPECT_EQ(r.histogram, 3);
    EXPECT_EQ(r.expected_acceptance, c.p);
  }
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

// Each p-value is held to the family level over two tests a coupling.
TEST(Statistics, PassesAtTheLevelAndNotBelowIt) {
  const double nan = std::nan("");
  const struct {
    double chi2_p, acceptance_p;
    std::size_t couplings;
    bool passes;
  } cases[] = {{level, 1.0, 20, true},
               {std::nextafter(level, 0.0), 1.0, 20, false},
               {1.0, level, 20, true},
               {1.0, std::nextafter(level, 0.0), 20, false},
               {1.6 * level, 1.6 * level, 20, true},  // not 1e-6 / 20
               {0.8 * level, 1.0, 32, true},          // 1e-6 / 64 there
               {nan, 1.0, 20, false},                 // no tries counted
               {1.0, nan, 20, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.chi2_p << ", " << c.acceptance_p << " of " << c.couplings);
    const o3::checker::coupling_result r{0.5, 3, 90.0, c.chi2_p, 0.8, 0.8, c.acceptance_p};
    EXPECT_EQ(o3::checker::passes(r, c.couplings), c.passes);
  }
}

TEST(Statistics, PassesTheLibrarySamplerOnACorrectTable) {
  sampler& s = small();
  EXPECT_TRUE(o3::checker::passes(
      test_at_half([&s](double h, rng_t& g, auto* c) { return draw_counted(s, h, g, c); }), 20));
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
       [&](double h, rng_t& g, auto* c) { return draw_counted(right, h + 0.3, g, c); }, true,
       false},
      {"uniform, with the sampler's acceptance",
       [&](double h, rng_t& g, auto* c) {
         draw_counted(right, h, g, c);
         return 2.0 * u(g) - 1.0;
       },
       true, false},
      {"right law by inversion, nothing rejected",
       [&](double h, rng_t& g, auto* c) {
         ++*c;
         const double v = u(g);
         return 1.0 + std::log(v + (1.0 - v) * std::exp(-2.0 * h)) / h;
       },
       false, true},
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

// The small table with every box lowered to 0.98 times its height, each
// loss lowered to agree, and prepared for drawing as a reader that let it
// through would prepare it. The reader refuses it (its envelope check fails
// at once), so the seam is the reader's own steps with that refusal set
// aside: boxes that cover the density in the draw's arithmetic cannot be
// made 2 % low in a file the reader accepts.
class lowered_table {
 public:
  explicit lowered_table(const std::string& path) {
    t_->rest = static_cast<o3_private*>(std::calloc(1, sizeof *t_->rest));
    std::FILE* in = std::fopen(path.c_str(), "rb");
    o3_error e{};
    EXPECT_EQ(o3_read_stream(in, path.c_str(), &t_->rest->file, &e), 1) << e.message;
    std::fclose(in);
    o3_file& f = t_->rest->file;
    for (int g = 0; g < f.histograms; ++g) {
      f.area[g] *= 0.98;
      f.loss[g] = ((1.0 + f.loss[g] / 100.0) * 0.98 - 1.0) * 100.0;
    }
    EXPECT_EQ(o3_validate(path.c_str(), t_->rest, &e), 0);
    EXPECT_NE(std::string(e.message).find("histogram 0, piece 0 "), std::string::npos) << e.message;
    EXPECT_EQ(o3_prepare(t_), 1);
    o3_set_engine(t_, O3_ENGINE_TABLES);
  }
  ~lowered_table() { o3_close(t_); }
  lowered_table(const lowered_table&) = delete;
  lowered_table& operator=(const lowered_table&) = delete;
  o3_table* get() const { return t_; }

 private:
  o3_table* t_ = static_cast<o3_table*>(std::calloc(1, sizeof(o3_table)));
};

// What check does at each of its couplings, with its default draws, on a
// table whose boxes are 2 % low: the acceptance falls below the rate the box
// area promises, by more than the z-test lets pass, where the chi-square
// sees nothing (its p-values here run from 0.003 to 0.8). Only just below
// H_max, at the top of the last histogram's range, does the density sink
// far enough under the boxes that 10^6 draws pass (z = -4.4).
TEST(Statistics, FailATableWithBoxesTwoPercentLow) {
  const lowered_table low(o3test::made_table("0 2 10"));
  o3_table* t = low.get();
  // The draw of sampler::draw_counted.
  const auto draw = [t](double h, rng_t& g, std::uint64_t* tried) {
    const std::uint64_t word = g();
    double y;
    if (o3_from_tables(t, std::fabs(h))) ++*tried;
    return o3_try(t, h, word, &y)
               ? y
               : o3_draw_rest(
                     t, h, word, [](void* r) { return (*static_cast<rng_t*>(r))(); }, &g,
                     &t->counts, tried);
  };
  const std::vector<double> h = o3::checker::test_couplings(small(), 20);
  rng_t rng(1);
  for (const double c : h) {
    SCOPED_TRACE(c);
    const int g = o3_histogram_of(t, c);
    const double expected =
        o3::checker::density_integral(c) / (o3_pieces_per_histogram(t) * o3_histogram_area(t, g));
    const auto r =
        o3::checker::test_coupling(c, g, expected, o3::checker::options{}.draws, rng, draw);
    EXPECT_LT(r.acceptance, expected);
    if (c == h.back()) continue;
    EXPECT_FALSE(o3::checker::passes(r, h.size()));
    // Boxes that hold less than the density's integral promise a rate above
    // 1, whose z-test has no p-value: it fails too.
    EXPECT_FALSE(r.acceptance_p >= level) << r.acceptance << " against " << expected;
  }
}

// A logarithmic coupling axis only where a linear one would squeeze the
// couplings a simulation uses: beyond 100 times max(1, least above 0).
TEST(Picture, LossAxisIsLogarithmicOnlyForWideRanges) {
  const double none = std::numeric_limits<double>::infinity();  // no coupling above 0
  const struct {
    double least, largest;
    bool logarithmic;
  } rows[] = {{0.04, 4.2, false},    // [0, 4.16], losses 10: 105 times the least, but linear
              {0.04, 20.5, false},   // [0, 20]
              {0.04, 100.0, false},  // exactly 100 times 1
              {0.04, 100.5, true},    {0.04, 3300.0, true},  // [0, 3200]
              {100.0, 3300.0, false}, {5.0, 501.0, true},   {none, 0.0, false}};
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
  const struct {
    const std::vector<double>* drawn;
    const char* chi2;
    bool red;
  } rows[] = {{&even, "0.00 on 99 degrees of freedom, p = 1</text>", false},
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
                       std::string(r.chi2)),
              std::string::npos);
    // A bar is a line of its own; the legend's red box is followed by its text.
    int red_bars = 0;
    for (const std::string& line : o3test::lines_of(svg)) {
      red_bars += line.starts_with("<rect ") && line.ends_with("fill=\"#c62828\"/>") ? 1 : 0;
    }
    EXPECT_EQ(red_bars > 0, r.red) << red_bars;
    EXPECT_NE(svg.find("beyond \u00b13 \u03c3: a bin of a sound table by chance"),
              std::string::npos);
  }
}

}  // namespace
