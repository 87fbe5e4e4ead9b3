// The histogram grid: the losses' ratio, the pieces rule, the search and the rounding.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/grid.h"
#include "driver/mapping.h"
#include "run_parameters_guard.h"

namespace {

void mapping(double H0, double H_max, double p) {
  o3::H0 = H0;
  o3::H_max = H_max;
  o3::build_mapping(p);
}

TEST(Grid, PiecesPerHistogramFromTheRatio) {
  // Hand calculation: 5/(f - 1.002) up to 1.07, 3/(f - 1.02) + 1 above it.
  const struct {
    double f;
    int n;
    bool capped;
  } rows[] = {{1.005, 600, true},     {1.01, 600, true},  // 1666 and 624.99999999999943
              {1.010333, 600, false},  // losses 2.0667 as written: 600.024, not above 600
              {1.05, 104, false},     {1.07, 73, false},  {1.0705, 60, false},
              {1.1, 38, false},       {1.5, 7, false},    {4.02, 2, false},
              {4.025, 1, false},      {1.002, 600, true},  // 5/0 = +inf, above the cap
              {1.0019, 1, false},     {0.5, 1, false},    {std::nan(""), 1, false},
              {HUGE_VAL, 1, false}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.f);
    bool capped = !r.capped;
    EXPECT_EQ(o3::pieces_per_histogram(r.f, &capped), r.n);
    EXPECT_EQ(capped, r.capped);
  }
}

TEST(Grid, RoundingOntoThePieceSteps) {
  o3::testing::run_parameters_guard guard;
  const double d1 = 0.004 * 10;  // worked example: steps 0.04, 5, 50
  const struct {
    const char* what;
    double H_max, p, value, expected;
  } rows[] = {{"0.1003125", 5000, 10, 0.1003125, 2 * d1},
              {"0.20336161", 5000, 10, 0.20336161, 5 * d1},
              {"0.12/0.04 < 3 without the 1e-8", 5000, 10, 0.12, 3 * d1},
              {"piece 2", 5000, 10, 123.4, 120},
              {"at Hn[N_DH]: kept", 5000, 10, 10000, 10000},
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
  }
}

TEST(GridDeathTest, BadFactorAndAFullGridStopTheRun) {
  o3::testing::run_parameters_guard guard;
  const std::string closing = "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$";
  o3::factor = 0.1;  // losses 10 %
  o3::factor_to_ratio();
  EXPECT_EQ(o3::factor, 1.05);
  for (const double fraction : {0.0, -0.5, std::nan("")}) {
    o3::factor = fraction;
    EXPECT_EXIT(o3::factor_to_ratio(), ::testing::ExitedWithCode(1),
                "^The factor must be > 1\\. " + closing)
        << fraction;
  }
  // Worked example: H_max 0.2 needs grid values 0 to 4 (fits exactly, one
  // less is fatal).
  mapping(0, 0.2, 10);
  o3::factor = 1.05;
  std::vector<double> grid(5);
  ASSERT_EQ(o3::search_grid(grid.data(), 5), 4);
  EXPECT_EQ(grid[1], 0.05);  // one step to 0.1, one bisection move
  EXPECT_EXIT(o3::search_grid(grid.data(), 4), ::testing::ExitedWithCode(1),
              "^!!! The histogram grid would need more than 100001 values: "
              "increase the losses or decrease H_max" +
                  closing);
}

}  // namespace
