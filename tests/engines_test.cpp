// The table-free engines: the layers of the exponential's ziggurat against
// their equations, where each draw changes method, the uniform proposal's
// decisions against the density's, the streams per place, and the draws of
// a seed pinned, so that changing a stream is a decision.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sampler/distribution.h"
#include "sampler/o3_internal.h"
#include "sampler/inspect.h"
#include "sampler/sampler.h"
#include "tests/made_tables.h"
#include "tests/tool_runner.h"

namespace {

using o3::sampler::detail::c_table;

using o3::sampler::engine;
using o3::sampler::sampler;

long double width(int i) { return std::ldexp(static_cast<long double>(o3_layers[i].scale), 53); }
long double floor_of(int i) { return o3_layer_floor[i]; }

// Every layer has the area of the base layer, (r + 1) e^-r, to the rounding
// of its width; the floors rise from 0 to 1; each layer reaches the
// density's cut at its floor, so that the layers cover the density; and
// the base layer's part past r holds the tail, whose area is e^-r.
TEST(Layers, HaveOneAreaAndCoverTheDensity) {
  const long double r = o3_tail_start;
  const long double v = width(0) * floor_of(1);
  EXPECT_NEAR(static_cast<double>(r), static_cast<double>(-std::log(floor_of(1))), 2e-15);
  EXPECT_NEAR(static_cast<double>(width(0)), static_cast<double>(r + 1.0L), 1e-14);
  EXPECT_EQ(o3_layer_floor[0], 0.0);
  EXPECT_EQ(o3_layer_floor[O3_LAYERS], 1.0);
  for (int i = 0; i < O3_LAYERS; ++i) {
    SCOPED_TRACE(i);
    ASSERT_LT(o3_layer_floor[i], o3_layer_floor[i + 1]);
    const long double area = width(i) * (floor_of(i + 1) - floor_of(i));
    // 2^-52: the width is the area over the floors' difference, rounded once.
    ASSERT_LE(std::fabs(area / v - 1.0L), 0x1p-52L);
    if (i > 0) {
      ASSERT_GE(width(i), -std::log(floor_of(i)) * (1.0L - 1e-13L));
    }
  }
}

// A try at height m < k is taken without a test: its point must lie below
// the cut of the layer's ceiling (the tail start in the base layer), and the
// sure part must be all of that, as the try's own arithmetic computes it.
TEST(Layers, SureBelowTheCutOfTheirCeiling) {
  for (int i = 0; i < O3_LAYERS; ++i) {
    SCOPED_TRACE(i);
    const std::uint64_t k = o3_layers[i].k;
    const long double cut = i + 1 < O3_LAYERS ? -std::log(floor_of(i + 1)) : 0.0L;
    if (k > 0) {
      ASSERT_LT(static_cast<long double>(static_cast<double>(k - 1) * o3_layers[i].scale), cut);
    }
    // The first height not taken reaches the cut, but for the one double
    // below it that the rounding of the cut may leave.
    const long double first = static_cast<double>(k) * o3_layers[i].scale;
    ASSERT_GE(first, cut * (1.0L - 0x1p-52L));
  }
}

// make_layers writes the committed layers, bit for bit, where long double
// is the x87 format it was solved in.
TEST(Layers, AreThoseMakeLayersWrites) {
  if (std::numeric_limits<long double>::digits != 64) {
    GTEST_SKIP() << "long double is not the 64-bit mantissa the layers were solved in";
  }
  const o3test::command_result made = o3test::run_command(O3_MAKE_LAYERS);
  ASSERT_EQ(made.status, 0);
  EXPECT_TRUE(made.out == o3test::read_text(O3_SOURCE_DIR "/sampler/o3_layers.c"))
      << "sampler/o3_layers.c is not what tools/make_layers.c writes";
}

// A source of the words given, then of one word for ever.
struct words {
  std::vector<std::uint64_t> w;
  std::size_t at = 0;
  static std::uint64_t next(void* self) {
    words& s = *static_cast<words*>(self);
    return s.at < s.w.size() ? s.w[s.at++] : s.w.back();
  }
};

double draw_from(const sampler& s, double h, words source) {
  return o3_draw_words(c_table(s), h, words::next, &source);
}

// The method changes at O3_EXPONENTIAL_FROM: from it the word's low bits
// choose a layer and y = 1 - E/h, below it y = 2u - 1 from its top bits.
TEST(Engines, ChangeMethodAtTheirThreshold) {
  const sampler s(engine::exponential);
  const double from = O3_EXPONENTIAL_FROM;
  const double below = std::nextafter(from, 0.0);
  const std::uint64_t top = std::uint64_t{3} << 51;  // u = 3/4 in the top 53 bits
  // A layer whose sure part holds the height 3/4, at a point folded once at
  // the threshold: a sharper test than one y = 1 - e/h would be.
  int layer = 1;
  while (!(top < o3_layers[layer].k &&
           static_cast<double>(top) * o3_layers[layer].scale >= 2.0 * from &&
           static_cast<double>(top) * o3_layers[layer].scale < 4.0 * from)) {
    ASSERT_LT(++layer, O3_LAYERS);
  }
  const std::uint64_t word = top << 11 | static_cast<std::uint64_t>(layer);
  const double e = static_cast<double>(top) * o3_layers[layer].scale;
  const struct {
    double h;
    double y;
  } cases[] = {
      // 2 * 3/4 - 1, kept: v's first 11 bits, the layer's, lie well under
      // the density.
      {below, 0.5},
      {-below, -0.5},
      {from, 1.0 - (e / from - 2.0)},
      {-from, (e / from - 2.0) - 1.0},
      {20.0, 1.0 - e / 20.0},
      {-20.0, -1.0 - e / -20.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.h);
    EXPECT_EQ(draw_from(s, c.h, {{word}}), c.y);
  }
  // A first try the draw cannot settle at once goes on by the same method:
  // the exponential's point in a wedge from the threshold on, the uniform
  // proposal's v whose first bits are all ones below it.
  const std::uint64_t wedge = o3_layers[layer].k << 11 | static_cast<std::uint64_t>(layer);
  const std::vector<std::uint64_t> after = {0x0123456789abcdefu, 0x7edcba9876543210u,
                                            0x5555aaaa5555aaaau, 0x0f0f0f0f0f0f0f0fu};
  words w{{after}}, v{{after}};
  o3_source source{words::next, &w, nullptr};
  std::vector<std::uint64_t> first = {wedge};
  first.insert(first.end(), after.begin(), after.end());
  EXPECT_EQ(draw_from(s, from, {first}), o3_exponential_draw(from, wedge, &source));
  const std::uint64_t ones = top << 11 | O3_LOW11;
  first[0] = ones;
  source.state = &v;
  EXPECT_EQ(draw_from(s, below, {first}), o3_uniform_draw(below, ones, &source));
}

// y = 1 - (e/a mod 2) as o3_fold computes it: the variate e folds back by
// 2a while it lies past it, three times at most.
TEST(Engines, FoldTheVariateBackByTwiceTheCoupling) {
  const struct {
    double e, a, y;
    bool kept;
  } cases[] = {
      {0.3, 0.25, 1.0 - 0.3 / 0.25, true},         {0.5, 0.25, 1.0, true},  // 2a folds to 0
      {0.7, 0.25, 1.0 - (0.7 / 0.25 - 2.0), true}, {1.2, 0.25, 1.0 - (1.2 / 0.25 - 4.0), true},
      {1.9, 0.25, 1.0 - (1.9 / 0.25 - 6.0), true}, {2.1, 0.25, 0.0, false},  // past 8a: drawn again
      {7.0, 3.0, 1.0 - (7.0 / 3.0 - 2.0), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.e << " at " << c.a);
    double y = 0.0;
    ASSERT_EQ(o3_fold(c.e, c.a, c.a, &y), c.kept);
    if (c.kept) {
      EXPECT_EQ(y, c.y);
      double mirrored = 0.0;
      ASSERT_TRUE(o3_fold(c.e, -c.a, c.a, &mirrored));
      EXPECT_EQ(mirrored, -y);
    }
  }
}

// The uniform proposal decides each try as the density alone would, its v
// the first word's low 11 bits and the second word's top 53, compared with
// exp(a (y - 1)) itself: its squeezes and bounds may only spare the exp.
TEST(Engines, KeepEveryUniformTryTheDensityWouldKeep) {
  const sampler s(engine::exponential);
  o3_rng a, b;
  o3_rng_seed(&a, 8);
  o3_rng_seed(&b, 8);
  int second_words = 0;
  for (const double h : {1e-9, 0.01, 0.1, std::nextafter(O3_EXPONENTIAL_FROM, 0.0)}) {
    SCOPED_TRACE(h);
    for (int i = 0; i < 200000; ++i) {
      double expected;
      for (;;) {
        const std::uint64_t w = o3_rng_next(&b);
        const double u = static_cast<double>(w >> 11) * 0x1p-53;
        const double z = h * (2.0 - 2.0 * u);
        const double low = static_cast<double>(w & O3_LOW11) * 0x1p-11;
        // The words as the draw takes them: one when v's first 11 bits lie
        // under 1 - z, or above its bound 1 - z + z^2/2 (and a margin);
        // else a second for the rest of v.
        if (low + 0x1p-11 <= 1.0 - z) {
          ASSERT_LT(low + 0x1p-11, std::exp(-z));
          expected = 2.0 * u - 1.0;
          break;
        }
        if (low >= 1.0 - z + 0.5 * z * z + 0x1p-50) {
          ASSERT_GE(low, std::exp(-z));
          continue;
        }
        ++second_words;
        const double v = low + static_cast<double>(o3_rng_next(&b) >> 11) * 0x1p-64;
        if (v < std::exp(-z)) {
          expected = 2.0 * u - 1.0;
          break;
        }
      }
      ASSERT_EQ(o3_draw(c_table(s), h, &a), expected) << i;
    }
  }
  EXPECT_GT(second_words, 1000);
}

// Streams per place and sweep share nothing: 4096 places of 16 sweeps,
// their first words all distinct, and a stream is its triple's alone.
TEST(Streams, PerPlaceAndSweepAreDistinct) {
  std::set<std::uint64_t> first;
  for (std::uint64_t sweep = 0; sweep < 16; ++sweep) {
    for (std::uint64_t place = 0; place < 4096; ++place) {
      o3_stream s;
      o3_stream_seed_at(&s, 1, sweep, place);
      EXPECT_EQ(s.counts.outside + s.counts.errors, 0u);
      first.insert(o3_rng_next(&s.rng));
    }
  }
  EXPECT_EQ(first.size(), 16u * 4096u);
  o3_stream a, b;
  o3_stream_seed_at(&a, 7, 2, 3);
  o3_stream_seed_at(&b, 7, 3, 2);
  EXPECT_NE(o3_rng_next(&a.rng), o3_rng_next(&b.rng));
}

std::string bits(double y) {
  std::uint64_t b = 0;
  std::memcpy(&b, &y, sizeof b);
  char text[20];
  std::snprintf(text, sizeof text, "%016" PRIX64, b);
  return text;
}

// The first draws of seed 12345 by each engine, at couplings on both sides
// of its thresholds (0.22 for one moved to 0.25) and of the table's range
// (made with 0 20 10), and of
// the stream of (12345, 1, 2): a change of any is a change of the streams
// simulations were run with, and must be made on purpose. The C and Fortran
// files of `emit` draw these same bits (emit_test).
TEST(Streams, OfASeedArePinned) {
  const struct {
    engine how;
    const char* drawn;
  } cases[] = {
      {engine::automatic,
       "3FDF351B1BA0B068 BFDF709BD8CA8068 3FE7AD557E72165E BFD227795F477C00 BFEFD3EB5BF109D8 "
       "BFD06F0EADF246D8 "
       "3FD7CFF3D4DE7F02 BFCDB9E7681BB810 3FCDC014D066236C 3FEACD1CAAA40936 3FEFFDF551054ECE "
       "3FEFA002339DDAB3 "},
      {engine::tables,
       "3FE0170CABD81CF7 BFDE6B91E6B8C522 3FE6B3FC2BFE97B7 BFD5A6335DCE91D1 3FEE0E373B1CE149 "
       "3FD9053EDA89B06E "
       "BFEBED088D5E10A7 BFC35201235104EF 3FE853F448F3DD82 3FDF405A89463A47 3FEC5E4C1937154A "
       "3FEF329B55EBD0A6 "},
      {engine::exponential,
       "3FDF351B1BA0B068 BFDF709BD8CA8068 3FE7AD557E72165E BFD227795F477C00 BFEFD3EB5BF109D8 "
       "BFD06F0EADF246D8 "
       "3FD7CFF3D4DE7F02 BFCDB9E7681BB810 3FCDC014D066236C 3FEACD1CAAA40936 3FEFFDF551054ECE "
       "3FEFA002339DDAB3 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.how));
    sampler s =
        c.how == engine::tables ? sampler(o3test::made_table("0 20 10"), c.how) : sampler(c.how);
    o3::sampler::generator g(12345);
    o3::sampler::stream placed(12345, 1, 2);
    std::string drawn;
    for (const double h : {0.05, -0.15, 0.22, 0.3, 2.5, 40.0}) {
      drawn += bits(s.draw(h, g)) + " " + bits(s.draw(h, placed)) + " ";
    }
    EXPECT_EQ(drawn, c.drawn);
  }
}

// The distribution draws what a sampler without a table draws from the
// same words, with its own parameter or one given, and keeps its coupling
// through a stream to the last bit.
TEST(Distribution, DrawsAsTheDefaultEngineInTheStyleOfRandom) {
  const sampler s(engine::automatic);
  o3::sampler::y_distribution d(0.7);
  EXPECT_EQ(d.h(), 0.7);
  EXPECT_EQ(d.min(), -1.0);
  EXPECT_EQ(d.max(), 1.0);
  std::mt19937_64 a(3), b(3);
  o3::sampler::generator c(3), e(3);
  for (const double h : {0.0, -0.05, 0.7, 3.0, 400.0}) {
    SCOPED_TRACE(h);
    const o3::sampler::y_distribution::param_type p(h);
    for (int i = 0; i < 1000; ++i) {
      ASSERT_EQ(d(a, p), const_cast<sampler&>(s).draw(h, b));
      ASSERT_EQ(d(c, p), const_cast<sampler&>(s).draw(h, e));
    }
  }
  EXPECT_EQ(d(a), const_cast<sampler&>(s).draw(0.7, b));
  std::stringstream text;
  const o3::sampler::y_distribution third(1.0 / 3.0);
  text << third;
  o3::sampler::y_distribution read;
  text >> read;
  EXPECT_EQ(read, third);
  EXPECT_NE(read, d);
  d.param(third.param());
  EXPECT_EQ(d, third);
  EXPECT_THROW(o3::sampler::y_distribution(std::nan("")), o3::sampler::coupling_error);
  EXPECT_THROW(d(a, o3::sampler::y_distribution::param_type(INFINITY)),
               o3::sampler::coupling_error);
}

}  // namespace
