// The histogram map: the base indices and the walk over the mapping's cells.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/grid.h"
#include "driver/histogram_map.h"
#include "driver/mapping.h"
#include "run_parameters_guard.h"

namespace {

// The worked example's mapping, steps 0.04, 5 and 50, from H0.
void mapping_to_5000(double H0) {
  o3::H0 = H0;
  o3::H_max = 5000;
  o3::build_mapping(10);
}

TEST(HistogramMap, BaseIndicesGiveTheFirstWalkPointItsIndex) {
  o3::testing::run_parameters_guard guard;
  // cst[k] = cst[k-1] + trunc(Hn[k-1]/D_Hn[k-1]) - trunc(Hn[k-1]/D_Hn[k]) + 1.
  const struct {
    const char* what;
    double H0;
    std::vector<int> cst;
    int first_j;
  } rows[] = {{"worked example", 0, {0, 2480, 2660}, 0},
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
    mapping_to_5000(r.H0);
    std::vector<int> cst(o3::mapping_capacity);
    o3::base_indices(cst.data());
    EXPECT_EQ(std::vector<int>(cst.begin() + 1, cst.begin() + 4), r.cst);
    EXPECT_EQ(o3::first_walk_point(), r.H0 + 1e-7);
    double grid[1] = {r.H0};
    o3::round_grid(grid, 0);
    std::vector<o3::map_entry> map(o3::map_capacity);
    o3::walk_map(o3::first_walk_point(), grid, 0, cst.data(), map.data(), o3::map_capacity);
    EXPECT_EQ(map[0].j, r.first_j);
  }
}

// A range narrower than the walk's offset of 1e-7 has no walk point below
// H_max, and the map is empty. The dialogue refuses such ranges (O3.res gives
// H0 and H_max with six decimals, and they would read as one), but the walk
// stays defined for them.
TEST(HistogramMap, ARangeNarrowerThanTheWalkOffsetGivesAnEmptyMap) {
  o3::testing::run_parameters_guard guard;
  o3::H0 = 0.0;
  o3::H_max = 5e-8;
  o3::build_mapping(10);
  std::vector<int> cst(o3::mapping_capacity);
  o3::base_indices(cst.data());
  const double grid[2] = {0.0, 0.04};
  std::vector<o3::map_entry> map(o3::map_capacity);
  EXPECT_EQ(o3::walk_map(o3::first_walk_point(), grid, 1, cst.data(), map.data(), o3::map_capacity),
            0);
}

TEST(HistogramMap, WalkServesEachPointByTheHistogramBeforeTheFirstGreaterValue) {
  o3::testing::run_parameters_guard guard;
  mapping_to_5000(0);
  std::vector<int> cst(o3::mapping_capacity);
  o3::base_indices(cst.data());
  double grid[] = {0.0, 0.04, 0.08, 0.12, 0.2};  // worked example, rounded
  std::vector<o3::map_entry> map(o3::map_capacity);
  const double start = o3::first_walk_point();
  ASSERT_EQ(o3::walk_map(start, grid, 4, cst.data(), map.data(), 2760), 2760);  // fits exactly
  for (int i = 0; i < 2760; ++i) ASSERT_EQ(map[static_cast<std::size_t>(i)].j, i);
  // 0.1600001 still uses histogram 3; from 0.2000001 on no grid value is
  // greater and the last histogram serves.
  const int g[] = {0, 1, 2, 3, 3, 4, 4};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(map[static_cast<std::size_t>(i)].g, g[i]);
  // A walk point past a piece bound is lowered onto it: 99.99, 100, 105.
  o3::H_max = 105.01;
  EXPECT_EQ(o3::walk_map(99.99, grid, 4, cst.data(), map.data(), 10), 3);
  // Rounding can leave a lower value after a higher one: 99.0100001 and
  // 99.0500001 stop at 99.06 (histogram 0); 99.0900001 gets past (histogram 2).
  const double unordered[] = {0.37, 99.06, 99.0, 300.5};
  o3::H_max = 99.1;
  ASSERT_EQ(o3::walk_map(99.0100001, unordered, 3, cst.data(), map.data(), 10), 3);
  EXPECT_EQ(std::vector<int>({map[0].g, map[1].g, map[2].g}), std::vector<int>({0, 0, 2}));
}

TEST(HistogramMapDeathTest, AFullMapStopsTheRun) {
  o3::testing::run_parameters_guard guard;
  // The walk to 5000 needs 2760 entries.
  mapping_to_5000(0);
  std::vector<int> cst(o3::mapping_capacity);
  std::vector<o3::map_entry> map(2760);
  const double grid[] = {0.0, 0.04, 0.08, 0.12, 0.2};
  EXPECT_EXIT(o3::walk_map(o3::first_walk_point(), grid, 4, cst.data(), map.data(), 2759),
              ::testing::ExitedWithCode(1),
              "^!!! You must reduce increase D_Hn, the total number of pt must be "
              "<100001\n\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

}  // namespace
