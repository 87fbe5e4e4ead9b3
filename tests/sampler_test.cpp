// The sampler library: reading O3.res, routing couplings, squeezes, draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "sampler/sampler.h"

namespace {

using o3::sampler::table;

// Runs the tool on piped answers in a fresh directory; returns its O3.res.
std::string make_table(const char* answers) {
  char dir[] = "/tmp/o3sampler.XXXXXX";
  if (mkdtemp(dir) == nullptr) return "";
  const std::string command = std::string("cd ") + dir + " && printf '" +
                              answers + "' | " + O3TABLES_PATH + " >/dev/null";
  if (std::system(command.c_str()) != 0) return "";
  std::ifstream in(std::string(dir) + "/O3.res");
  std::stringstream text;
  text << in.rdbuf();
  std::system((std::string("rm -rf ") + dir).c_str());
  return text.str();
}

const std::string& small_table() {
  static const std::string text = make_table("0\\n20\\n10\\n1\\n");
  return text;
}

table read(const std::string& text) {
  std::istringstream in(text);
  return o3::sampler::read_table(in);
}

// Replaces the line with number `line` (from 1).
std::string with_line(const std::string& text, int line, const std::string& by) {
  std::size_t begin = 0;
  for (int n = 1; n < line; ++n) begin = text.find('\n', begin) + 1;
  const std::size_t end = text.find('\n', begin);
  return text.substr(0, begin) + by + text.substr(end);
}

TEST(ReadTable, ReadsWhatTheToolWrites) {
  const table t = read(small_table());
  // 10 % losses give 104 pieces; the range 0..20 lies in the first mapping
  // piece, step 0.004 * 10.
  EXPECT_EQ(t.Nd_poi, 104);
  EXPECT_EQ(t.H0, 0.0);
  EXPECT_EQ(t.H_max, 20.0);
  ASSERT_EQ(t.pieces.size(), 1u);
  EXPECT_EQ(t.pieces[0].step, 0.04);
  EXPECT_EQ(t.pieces[0].base, 0);
  // One cell per step from 0 to 20: 500 entries, and N_H_max = n + 5.
  EXPECT_EQ(t.map_j.size(), 500u);
  EXPECT_EQ(t.N_H_max, 505);
  for (const auto& h : t.histograms) {
    ASSERT_EQ(h.x.size(), 105u);
    EXPECT_EQ(h.x.front(), -1.0);
  }
}

TEST(ReadTable, NamesTheLineAndWhatWasExpected) {
  const std::string good = small_table();
  ASSERT_FALSE(good.empty());
  struct row {
    const char* what;
    std::string text;
    const char* message;
  };
  const row rows[] = {
      {"empty file", "", "line 1: the file ends; expected"},
      {"a letter in H0", with_line(good, 1, "-> O(3) with H0=0.0x0000 -> "
                                            "H_max=20.000000 and loss=10.000000%"),
       "line 1: expected \"-> O(3) with H0=%f"},
      {"PARAMETER disagrees with #define",
       with_line(good, 10, "PARAMETER(Nd_poi=105,N_hist=0,N_O_m=0)"),
       "line 10: PARAMETER differs"},
      {"map count off by one", with_line(good, 25, "501"),
       "line 25: the number of map entries must be N_H_max - 5"},
      {"map entry malformed", with_line(good, 26, "0 x"), "line 26: expected \"%d %d\""},
      {"step zero", with_line(good, 14, "if(h<20.000000 ) j=0+(int)(h/0.000000);"),
       "line 14: the step must be > 0"},
      {"step too small to route in an int",
       with_line(good, 14, "if(h<3000.000000 ) j=0+(int)(h/0.000001);"),
       "line 14: the step is too small for the bound"},
      {"truncated after the map", good.substr(0, good.find("\n499 ") + 1),
       "the file ends"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    try {
      read(r.text);
      ADD_FAILURE() << "accepted";
    } catch (const o3::sampler::table_error& e) {
      EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos)
          << e.what();
    }
  }
}

// A table made by hand: H0 = 0.37, steps 0.012 below 100 and 1.5 above,
// whose map skips cell 8303 at the piece bound, as the tool's map walk does
// for this range.
table hand_made() {
  table t;
  t.H0 = 0.37;
  t.H_max = 300.0;
  t.Nd_poi = 2;
  t.pieces = {{100.0, -30, 0.012}, {300.0, 8238, 1.5}};
  t.map_j = {0, 1, 8302, 8304, 8305};
  t.map_g = {0, 1, 2, 3, 4};
  for (const double H : {0.36, 0.372, 99.0, 100.0, 101.5}) {
    t.histograms.push_back({H, 0.0, 1.0, {-1.0, 0.0, 1.0}});
  }
  return t;
}

TEST(Sampler, RoutesAsTheLookupLinesAndServesGapsFromTheEntryBefore) {
  const o3::sampler::sampler s(hand_made());
  struct row {
    const char* what;
    double h;
    int histogram;
  };
  const row rows[] = {
      {"first cell", 0.37, 0},
      // -30 + (int)(0.383 / 0.012) = -30 + 31.
      {"second cell", 0.383, 1},
      {"cells between entries take the entry before", 50.0, 1},
      {"last cell below the bound", 99.999, 2},
      // 8238 + (int)(100 / 1.5) = 8304; 8303 has no entry.
      {"first cell above the bound", 100.0, 3},
      {"beyond the last entry", 299.0, 4},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(s.histogram_of(r.h), r.histogram);
  }
  // Histogram 1 serves up to the start of cell 8302: (8302 + 30) * 0.012.
  EXPECT_DOUBLE_EQ(s.largest_coupling(1), 99.984);
  EXPECT_EQ(s.largest_coupling(4), 300.0);
}

TEST(Sampler, RoutesWithTheDivisionOfTheLookupLines) {
  table t = hand_made();
  t.H0 = 0.0;
  t.pieces = {{300.0, 0, 0.04}};
  t.map_j = {0, 1, 2, 3, 4, 5};
  t.map_g = {0, 1, 2, 3, 4, 5};
  t.histograms.resize(6, t.histograms.front());
  const o3::sampler::sampler s(t);
  // The double just below 0.2 divided by 0.04 rounds to just below 5: cell 4,
  // whereas its product with the reciprocal 25 rounds up to 5.
  EXPECT_EQ(s.histogram_of(0.19999999999999998), 4);
  EXPECT_EQ(s.histogram_of(0.2), 5);
}

// Couplings up to 1000: the bounds of the far pieces underflow there, and
// the chords of the density at their left ends fall by more than 10^4.
const std::string& large_table() {
  static const std::string text = make_table("0\\n1000\\n50\\n1\\n");
  return text;
}

// The bounds below and above the density of every piece, at couplings across
// the range each histogram serves; returns the mean gap between them, in
// box heights, over the points tried.
double check_bounds(const table& t) {
  const o3::sampler::sampler s(t);
  double gap = 0.0;
  int points = 0;
  for (int g = 0; g < s.histogram_count(); ++g) {
    const auto& hist = t.histograms[static_cast<std::size_t>(g)];
    const double low = s.smallest_coupling(g);
    const double top = s.largest_coupling(g);
    EXPECT_LE(hist.H, low) << "histogram " << g;
    EXPECT_LE(low, top) << "histogram " << g;
    const auto pieces = s.pieces_of(g);
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      const auto& p = pieces[k];
      const double width = hist.x[k + 1] - hist.x[k];
      for (const double h : {low, 0.75 * low + 0.25 * top, 0.5 * (low + top), top}) {
        for (const double f : {0.0, 0.2, 0.5, 0.9, 1.0}) {
          const double offset = f * width;
          // The density at y as a fraction of the box height. No try can
          // fall under a density below the smallest normal double.
          const double density =
              std::exp(h * (hist.x[k] + offset - 1.0)) * width / hist.area;
          if (density < std::numeric_limits<double>::min()) continue;
          const double below = p.below(h, top - h, offset);
          const double above = p.above(h - low, offset);
          EXPECT_LE(p.squeeze, density) << "histogram " << g << " piece " << k;
          EXPECT_LE(below, density) << "histogram " << g << " piece " << k << " h " << h;
          EXPECT_FALSE(above < density) << "histogram " << g << " piece " << k << " h " << h;
          if (std::isfinite(above)) {
            gap += above - below;
            ++points;
          }
        }
      }
    }
  }
  return points > 0 ? gap / points : 1.0;
}

TEST(Sampler, BoundsBracketTheDensityAndDecideMostTries) {
  const double gap = check_bounds(read(small_table()));
  // Only the sliver between the bounds needs the density evaluated.
  EXPECT_LT(gap, 0.01);
  check_bounds(read(large_table()));
  // A piece whose density at its left end underflows at every served
  // coupling, while at its right end, e^-80, it does not.
  table t;
  t.H0 = 400.0;
  t.H_max = 401.0;
  t.Nd_poi = 3;
  t.pieces = {{401.0, 0, 1.0}};
  t.map_j = {400};
  t.map_g = {0};
  t.histograms.push_back({400.0, 0.0, 1.0, {-1.0, -0.9, 0.8, 1.0}});
  check_bounds(t);
}

TEST(Sampler, DrawsHaveTheMeanOfTheDensity) {
  const o3::sampler::sampler s(read(small_table()));
  std::mt19937_64 rng(3);
  for (const double h : {0.0, 0.7, 19.9}) {
    SCOPED_TRACE(h);
    // Mean of exp(h y) on [-1, 1]: coth(h) - 1/h; variance below 1/3.
    const double mean = h == 0.0 ? 0.0 : 1.0 / std::tanh(h) - 1.0 / h;
    const int n = 400000;
    double sum = 0.0;
    double sum_plain = 0.0;
    for (int i = 0; i < n; ++i) {
      sum += s.draw(h, rng);
      sum_plain += s.draw_unsqueezed(h, rng);
    }
    const double five_sigma = 5.0 * std::sqrt(1.0 / 3.0 / n);
    EXPECT_NEAR(sum / n, mean, five_sigma);
    EXPECT_NEAR(sum_plain / n, mean, five_sigma);
  }
}

TEST(Sampler, FirstTryIsTheDrawsFirstTry) {
  const o3::sampler::sampler s(read(small_table()));
  std::mt19937_64 rng(5);
  const int n = 100000;
  int misses = 0;
  for (int i = 0; i < n; ++i) {
    std::mt19937_64 again = rng;
    const double y = s.first_try(7.3, rng);
    const double drawn = s.draw(7.3, again);
    if (std::isnan(y)) {
      ++misses;
      rng = again;
    } else {
      ASSERT_EQ(y, drawn) << "draw " << i;
      ASSERT_EQ(rng, again) << "a hit takes one word, draw " << i;
    }
  }
  // Boxes of 10 % losses: at least their rejections miss.
  EXPECT_GT(misses, n / 20);
  EXPECT_LT(misses, n / 5);
}

}  // namespace
