// Stage 1's pieces: the points rule, the base indices, the capacities, and
// the parsing of answers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "driver/answers.h"
#include "driver/dialogue.h"
#include "driver/grid_search.h"
#include "driver/histogram_points.h"
#include "run_parameters_guard.h"

namespace {

const std::string closing = "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$";

TEST(PointsPerHistogram, RuleAndLimits) {
  struct row {
    double f;
    int Nd_poi;
    bool capped;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const row rows[] = {
      {1.005, 600, true},   // 5 / 0.003 = 1666
      {1.01, 600, true},    // 624
      {1.05, 104, false},   // 3 / 0.03 + 1
      {1.07, 73, false},    // not above 1.07: 5 / 0.068
      {1.07005, 60, false}, // losses 14.01: 3 / 0.05005 + 1
      {1.1, 38, false},
      {1.5, 7, false},
      {4.02, 2, false},     // 3 / 3 + 1
      {4.025, 1, false},
      {1.002, 600, true},   // 5 / 0: an infinity, capped before conversion
      {1.0, 1, false},      // negative: not above 0
      {std::nan(""), 1, false},
      {inf, 1, false},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.f);
    bool capped = !r.capped;
    EXPECT_EQ(o3::points_per_histogram(r.f, &capped), r.Nd_poi);
    EXPECT_EQ(capped, r.capped);
  }
}

// Sets the range and builds the mapping for losses p, as the dialogue does.
void mapping(double H0, double H_max, double p) {
  o3::H0 = H0;
  o3::H_max = H_max;
  o3::build_mapping(p);
}

TEST(BaseIndices, CountOnAcrossPiecesAndStartAtZero) {
  o3::testing::run_parameters_guard guard;
  struct row {
    const char* what;
    double H0, H_max, p;
    std::vector<int> cst;  // cst[1..N_DH]
  };
  const row rows[] = {
      // 2480 = 2499 - 20 + 1; 2660 = 2480 + 199 - 20 + 1.
      {"worked example", 0.0, 5000.0, 10.0, {0, 2480, 2660}},
      {"H0 below 100 keeps its count", 99.5, 300.0, 10.0, {-2487, -7}},
      // Unshifted -3750 and -1270 would give the first walk point
      // 150.0000001 the index -1270 + 30; shifted by 1240 it is 0.
      {"H0 above 100 is shifted", 150.0, 300.0, 10.0, {-2510, -30}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    mapping(r.H0, r.H_max, r.p);
    ASSERT_EQ(o3::N_DH, static_cast<int>(r.cst.size()));
    int cst[o3::mapping_capacity] = {};
    o3::base_indices(cst);
    EXPECT_EQ(std::vector<int>(cst + 1, cst + 1 + o3::N_DH), r.cst);
  }
}

TEST(Mapping, PiecesEndAtTheFirstBoundNotBelowHmax) {
  o3::testing::run_parameters_guard guard;
  struct row {
    double H_max;
    int N_DH;
  };
  for (const row r : {row{100.0, 1}, row{100.5, 2}, row{1000.0, 2},
                      row{10000.0, 3}, row{o3::largest_H_max(), 99}}) {
    SCOPED_TRACE(r.H_max);
    mapping(0.0, r.H_max, 10.0);
    EXPECT_EQ(o3::N_DH, r.N_DH);
    EXPECT_GE(o3::Hn[o3::N_DH], r.H_max);
    if (o3::N_DH >= 2) {
      EXPECT_LT(o3::Hn[o3::N_DH - 1], r.H_max);
      EXPECT_EQ(o3::D_Hn[2], 5.0);  // 0.5 * p above 100
    }
  }
}

TEST(Stage1DeathTest, CapacitiesStopTheRunBeforeAnOverflow) {
  o3::testing::run_parameters_guard guard;
  mapping(0.0, 1.0, 10.0);
  o3::factor = 1.05;
  double grid[3];
  // Nine values are needed from 0 to 1; the table holds three.
  EXPECT_EXIT(o3::search_grid(grid, 3), ::testing::ExitedWithCode(1),
              "^!!! The histogram grid would need more than 100001 values: "
              "increase the losses or decrease H_max" + closing);
  const double one[] = {0.0};
  const int cst[2] = {0, 0};
  o3::map_entry map[4];
  o3::H = 1e-7;
  // 25 walk points from 0 to 1 in steps of 0.04; room for four.
  EXPECT_EXIT(o3::walk_map(one, 0, cst, map, 4), ::testing::ExitedWithCode(1),
              "^!!! You must reduce increase D_Hn, the total number of pt must "
              "be <100001" + closing);
  o3::factor = -0.1;
  EXPECT_EXIT(o3::factor_to_ratio(), ::testing::ExitedWithCode(1),
              "^The factor must be > 1\\. " + closing);
}

TEST(Answers, TokensAsScanfReadsThem) {
  struct row {
    const char* token;
    bool real, integer;
  };
  const row rows[] = {
      {"10", true, true},    {"-0", true, true},    {"+1", true, true},
      {"1e-3", true, false}, {"0x1p3", true, false}, {"1.0", true, false},
      {"abc", false, false}, {"10abc", false, false}, {"nan", false, false},
      {"inf", false, false}, {"1e400", false, false}, {"+", false, false},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.token);
    double v = 0.0;
    long long n = 0;
    EXPECT_EQ(o3::parse_real(r.token, &v), r.real);
    EXPECT_EQ(o3::parse_integer(r.token, &n), r.integer);
  }
  // A refused token drops the rest of its line only.
  char text[] = "x 5 6\n7 8\n";
  std::FILE* in = fmemopen(text, sizeof text - 1, "r");
  o3::answer_reader reader(in);
  double v = 0.0;
  EXPECT_FALSE(reader.read_real("H0", &v));
  EXPECT_TRUE(reader.read_real("H0", &v));
  EXPECT_EQ(v, 7.0);
  EXPECT_TRUE(reader.read_real("H0", &v));
  EXPECT_EQ(v, 8.0);
  EXPECT_EXIT(reader.read_real("H_max", &v), ::testing::ExitedWithCode(1),
              "^!!! end of input: no answer for H_max\n$");
  std::fclose(in);
}

}  // namespace
