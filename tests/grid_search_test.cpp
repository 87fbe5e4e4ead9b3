// Stage 1's factor, points rule, rounding, base indices and map walk.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/dialogue.h"
#include "driver/grid_search.h"
#include "driver/histogram_points.h"
#include "run_parameters_guard.h"

namespace {

void mapping(double H0, double H_max, double p) {
  o3::H0 = H0;
  o3::H_max = H_max;
  o3::build_mapping(p);
}

TEST(GridSearch, PointsPerHistogramFromTheRatio) {
  // Hand calculation: 5/(f - 1.002) up to 1.07, 3/(f - 1.02) + 1 above it.
  const struct { double f; int n; bool capped; } rows[] = {
      {1.005, 600, true}, {1.01, 600, true},  // 1666 and 624.99999999999943
      {1.010333, 600, false},  // losses 2.0667 as written: 600.024, not above 600
      {1.05, 104, false}, {1.07, 73, false}, {1.0705, 60, false}, {1.1, 38, false},
      {1.5, 7, false}, {4.02, 2, false}, {4.025, 1, false},
      {1.002, 600, true},  // 5/0 = +inf, above the cap
      {1.0019, 1, false}, {0.5, 1, false}, {std::nan(""), 1, false}, {HUGE_VAL, 1, false}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.f);
    bool capped = !r.capped;
    EXPECT_EQ(o3::points_per_histogram(r.f, &capped), r.n);
    EXPECT_EQ(capped, r.capped);
  }
}

TEST(GridSearch, RoundingOntoThePieceSteps) {
  o3::testing::run_parameters_guard guard;
  const double d1 = 0.004 * 10;  // worked example: steps 0.04, 5, 50
  const struct { const char* what; double H_max, p, value, expected; } rows[] = {
      {"0.1003125", 5000, 10, 0.1003125, 2 * d1}, {"0.20336161", 5000, 10, 0.20336161, 5 * d1},
      {"0.12/0.04 < 3 without the 1e-8", 5000, 10, 0.12, 3 * d1},
      {"piece 2", 5000, 10, 123.4, 120}, {"at Hn[N_DH]: kept", 5000, 10, 10000, 10000},
      {"above Hn[N_DH]: kept", 5000, 10, 12345.678, 12345.678},
      // Losses 125, steps 0.5 and 62.5: 99.999999995 goes up to 100 in
      // piece 1, then down to 62.5 with the step of piece 2.
      {"onto 100, rounded again", 300, 125, 99.999999995, 62.5}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    mapping(0, r.H_max, r.p);
    double grid[1] = {r.value};
    o3::round_grid(grid, 0);
    EXPECT_EQ(grid[0], r.expected);
    EXPECT_EQ(o3::H, 1e-7);  // the first walk point H0 + 1e-7
  }
}

TEST(GridSearch, BaseIndicesGiveTheFirstWalkPointItsIndex) {
  o3::testing::run_parameters_guard guard;
  // cst[k] = cst[k-1] + trunc(Hn[k-1]/D_Hn[k-1]) - trunc(Hn[k-1]/D_Hn[k]) + 1.
  const struct { const char* what; double H0; std::vector<int> cst; int first_j; } rows[] = {
      {"worked example", 0, {0, 2480, 2660}, 0},
      // Unshifted -3750 and -3750 + 2499 - 20 + 1 = -1270 (first j -1240);
      // shifted by 1240 so that 150.0000001 gets -30 + 30 = 0.
      {"H0 150", 150, {-2510, -30, 150}, 0},
      // H0 below 100 is not shifted, though its first walk point 100.00000005
      // lies in piece 2 and gets -19 + 20 = 1.
      {"H0 just below 100", 99.99999995, {-2499, -19, 161}, 1},
      // Walk point 0.07999995 counts with its 1e-7: trunc(2.0000012) - 1 = 1.
      {"H0 0.07999985", 0.07999985, {-1, 2479, 2659}, 1}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    mapping(r.H0, 5000, 10);
    std::vector<int> cst(o3::mapping_capacity);
    o3::base_indices(cst.data());
    EXPECT_EQ(std::vector<int>(cst.begin() + 1, cst.begin() + 4), r.cst);
    double grid[1] = {r.H0};
    o3::round_grid(grid, 0);
    std::vector<o3::map_entry> map(o3::map_capacity);
    o3::walk_map(grid, 0, cst.data(), map.data(), o3::map_capacity);
    EXPECT_EQ(map[0].j, r.first_j);
  }
}

TEST(GridSearch, WalkServesEachPointByTheHistogramBeforeTheFirstGreaterValue) {
  o3::testing::run_parameters_guard guard;
  mapping(0, 5000, 10);
  std::vector<int> cst(o3::mapping_capacity);
  o3::base_indices(cst.data());
  double grid[] = {0.0, 0.04, 0.08, 0.12, 0.2};  // worked example, rounded
  o3::round_grid(grid, 4);
  std::vector<o3::map_entry> map(o3::map_capacity);
  ASSERT_EQ(o3::walk_map(grid, 4, cst.data(), map.data(), 2760), 2760);  // fits exactly
  for (int i = 0; i < 2760; ++i) ASSERT_EQ(map[static_cast<std::size_t>(i)].j, i);
  // 0.1600001 still uses histogram 3; from 0.2000001 on no grid value is
  // greater and the last histogram serves.
  const int g[] = {0, 1, 2, 3, 3, 4, 4};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(map[static_cast<std::size_t>(i)].g, g[i]);
  // A walk point past a piece bound is lowered onto it: 99.99, 100, 105.
  o3::H = 99.99;
  o3::H_max = 105.01;
  EXPECT_EQ(o3::walk_map(grid, 4, cst.data(), map.data(), 10), 3);
  // Rounding can leave a lower value after a higher one: 99.0100001 and
  // 99.0500001 stop at 99.06 (histogram 0); 99.0900001 gets past (histogram 2).
  const double unordered[] = {0.37, 99.06, 99.0, 300.5};
  o3::H = 99.0100001;
  o3::H_max = 99.1;
  ASSERT_EQ(o3::walk_map(unordered, 3, cst.data(), map.data(), 10), 3);
  EXPECT_EQ(std::vector<int>({map[0].g, map[1].g, map[2].g}), std::vector<int>({0, 0, 2}));
}

TEST(GridSearchDeathTest, BadFactorAndFullTablesStopTheRun) {
  o3::testing::run_parameters_guard guard;
  const std::string closing = "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$";
  o3::factor = 0.1;  // losses 10 %
  o3::factor_to_ratio();
  EXPECT_EQ(o3::factor, 1.05);
  for (const double fraction : {0.0, -0.5, std::nan("")}) {
    o3::factor = fraction;
    EXPECT_EXIT(o3::factor_to_ratio(), ::testing::ExitedWithCode(1),
                "^The factor must be > 1\\. " + closing) << fraction;
  }
  // Worked example: H_max 0.2 needs grid values 0 to 4 (fits exactly, one
  // less is fatal); the walk to 5000 needs 2760 entries.
  mapping(0, 0.2, 10);
  o3::factor = 1.05;
  std::vector<double> grid(5);
  ASSERT_EQ(o3::search_grid(grid.data(), 5), 4);
  EXPECT_EQ(grid[1], 0.05);  // one step to 0.1, one bisection move
  EXPECT_EXIT(o3::search_grid(grid.data(), 4), ::testing::ExitedWithCode(1),
              "^!!! The histogram grid would need more than 100001 values: "
              "increase the losses or decrease H_max" + closing);
  mapping(0, 5000, 10);
  std::vector<int> cst(o3::mapping_capacity);
  std::vector<o3::map_entry> map(2760);
  o3::round_grid(grid.data(), 4);
  EXPECT_EXIT(o3::walk_map(grid.data(), 4, cst.data(), map.data(), 2759),
              ::testing::ExitedWithCode(1),
              "^!!! You must reduce increase D_Hn, the total number of pt must be "
              "<100001" + closing);
}

}  // namespace
