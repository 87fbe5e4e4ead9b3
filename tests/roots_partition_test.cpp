// Root bracketing, Ridders' method, the partition search and the envelope
// corrections.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "driver/density.h"
#include "driver/run_parameters.h"
#include "numeric/romberg.h"
#include "numeric/roots.h"
#include "partition/corrections.h"
#include "partition/partition_search.h"
#include "run_parameters_guard.h"

namespace {

const std::string closing = "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$";

// fn(p, y, c) = y - c, recording every (p, y, c) it is called with.
struct call {
  double p, y, c;
};
std::vector<call> calls;
double line(double p, double y, double c) {
  calls.push_back({p, y, c});
  return y - c;
}
double parabola(double, double y, double c) { return y * y - c; }

std::vector<double> ys() {
  std::vector<double> v;
  for (const call& k : calls) v.push_back(k.y);
  return v;
}

TEST(Root1, StepsForwardUntilTheValueIsNoLongerNegative) {
  o3::testing::run_parameters_guard guard;
  o3::Xlimit = 1.0;
  struct row {
    const char* what;
    double c, result;
    std::vector<double> evaluated;
  };
  const row rows[] = {
      {"first positive point", 0.6, 0.75, {0.25, 0.5, 0.75}},
      {"exact zero is returned as 1.01 y", 0.5, 0.505, {0.25, 0.5}},
      // 1.0 is not beyond Xlimit, so 1.25 is still tried.
      {"past the end", 5.0, 2.0, {0.25, 0.5, 0.75, 1.0, 1.25}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    calls.clear();
    EXPECT_EQ(o3::root1(line, 0.0, 0.25, r.c), r.result);
    EXPECT_EQ(ys(), r.evaluated);
    for (const call& k : calls) EXPECT_EQ(k.c, r.c);
  }
}

TEST(Root1DeathTest, StepThatCannotEnd) {
  EXPECT_EXIT(o3::root1(line, 0.0, 0.0, 1.0), ::testing::ExitedWithCode(1),
              "^root1: the step must be > 0" + closing);
  EXPECT_EXIT(o3::root1(line, 1e20, 1.0, 1e30), ::testing::ExitedWithCode(1),
              "^root1: the step is too small to advance" + closing);
}

TEST(Zriddr, BracketsAndEnds) {
  struct row {
    const char* what;
    double x1, x2, c, result;
    std::size_t evaluations;
  };
  const row rows[] = {
      // The midpoint 0.375 has value 0, so the first estimate is 0.375 with
      // value 0: ends, midpoint and estimate, four evaluations.
      {"root at the midpoint", 0.25, 0.5, 0.375, 0.375, 4},
      {"value 0 at the first end", 0.25, 0.5, 0.25, 0.25, 2},
      {"value 0 at the second end", 0.0, 0.25, 0.25, 0.25, 2},
      {"ends in either order", 0.5, 0.25, 0.375, 0.375, 4},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    calls.clear();
    EXPECT_EQ(o3::zriddr(line, 0.125, r.x1, r.x2, 1e-8, r.c), r.result);
    EXPECT_EQ(calls.size(), r.evaluations);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].y, r.x1);  // the first end is evaluated first
    for (const call& k : calls) EXPECT_EQ(k.p, 0.125);
  }
  EXPECT_NEAR(o3::zriddr(parabola, 0.0, 1.0, 2.0, 1e-8, 2.0), std::sqrt(2.0), 1e-8);
  EXPECT_NEAR(o3::zriddr(parabola, 0.0, 2.0, 1.0, 1e-8, 2.0), std::sqrt(2.0), 1e-8);
}

TEST(ZriddrDeathTest, NoSignChange) {
  EXPECT_EXIT(o3::zriddr(line, 0.0, 0.5, 0.75, 1e-8, 0.25),
              ::testing::ExitedWithCode(1),
              "^root must be bracketed in zriddr\\." + closing);
}

// The run parameters as the table writer sets them for one histogram.
void set_up(double H, int Nd_poi) {
  o3::H = H;
  o3::Acc_interval = 0.1;
  o3::Acc_ridders = 1e-8;
  o3::Acc_a = 1e-7;
  o3::Xlimit = 1.0 + 0.01 / Nd_poi;
}

TEST(FindX, PastTheEndAndAtTheEnd) {
  o3::testing::run_parameters_guard guard;
  set_up(5.0, 50);
  // Above Xlimit the density is not evaluated: H = NaN would show.
  o3::H = std::nan("");
  EXPECT_EQ(o3::find_x(o3::Xlimit + 1e-12, 0.01), o3::Xlimit + 1.0);
  // At Xlimit itself the search runs: a small area ends just above it.
  o3::H = 5.0;
  const double x = o3::find_x(o3::Xlimit, 1e-4);
  EXPECT_GT(x, o3::Xlimit);
  EXPECT_NEAR(o3::g1_Deltax(o3::Xlimit, x, 1e-4), 0.0, 1e-7);
}

TEST(FindA, EqualBoxesWhoseLastPointMeetsTheEnd) {
  o3::testing::run_parameters_guard guard;
  struct row {
    double H;
    int Nd_poi;
  };
  for (const row r : {row{0.5, 38}, row{5.0, 50}, row{50.0, 104}}) {
    SCOPED_TRACE(r.H);
    set_up(r.H, r.Nd_poi);
    const double m = o3::qromb(o3::g1, -1.0, 1.0) / r.Nd_poi;
    // Far too small and far too large starting areas step to the same
    // bracket region and end on the same last point.
    for (const double start : {m, m / 10.0, m * 10.0}) {
      std::vector<double> x(static_cast<std::size_t>(r.Nd_poi) + 1);
      x[0] = -1.0;
      const double a = o3::find_a(start, x.data(), r.Nd_poi);
      EXPECT_LT(std::fabs(x.back() - o3::Xlimit), 1.0 / (50.0 * r.Nd_poi));
      // Every box was solved for the area of the last build, a or the
      // bracket's lower end below it; each point is placed to 1e-8, which
      // moves a box of width w by about 1e-8 / w of itself (w >= 1e-3 here).
      const double first = (x[1] - x[0]) * o3::g1(x[1]);
      EXPECT_LE(first, a);
      for (std::size_t k = 0; k + 1 < x.size(); ++k) {
        ASSERT_LT(x[k], x[k + 1]);
        const double box = (x[k + 1] - x[k]) * o3::g1(x[k + 1]);
        EXPECT_NEAR(box, first, 1e-5 * first) << "piece " << k;
      }
    }
  }
}

TEST(XoXndChange, OnlyStageOneReadsAValue) {
  const double values[] = {1.5, 2.5};
  const int counter = 1;
  const int Nd_poi = 1;
  EXPECT_EQ(o3::xo_xnd_change(1, 0.0, &counter, values, values, &Nd_poi), 2.5);
  EXPECT_EQ(o3::xo_xnd_change(2, 0.0, &counter, values, values, &Nd_poi), 0.0);
}

TEST(Corrections, PinsTheEndAndRaisesTheArea) {
  o3::testing::run_parameters_guard guard;
  o3::H = 0.0;  // g1 = 1 everywhere: every height must be at least 1
  struct row {
    const char* what;
    std::vector<double> x;
    double a, factor;
    double pulled;  // x[Nd_poi - 1] afterwards
  };
  const row rows[] = {
      // Last piece 0.6 wide: height 0.7 / 0.6 > 1, factor exactly 1.001.
      {"high last box", {-1.0, -0.3, 0.4, 1.0}, 0.7, 1.001, 0.4},
      // The end pinned to 1 widens the last piece to 0.8: height
      // 0.7 / 0.8 = 0.875 <= 1, factor 1.001 / 0.875.
      {"low last box", {-1.0, -0.3, 0.2, 0.99}, 0.7, 1.001 / 0.875, 0.2},
      // x[2] beyond the end moves three fifths of the way from -0.2 to 1.
      {"point pulled back", {-1.0, -0.2, 1.002, 1.01}, 0.8, 1.001, 0.52},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    o3::Xlimit = 1.0 + 0.01 / 3;
    std::vector<double> x = r.x;
    std::vector<double> f1(3);
    double a = r.a;
    const double c = o3::corrections(x.data(), f1.data(), &a, 3);
    EXPECT_DOUBLE_EQ(c, r.factor);
    EXPECT_EQ(a, c * r.a);
    EXPECT_EQ(x[3], o3::Xlimit);  // the lowered end, stored as it is
    EXPECT_DOUBLE_EQ(o3::Xlimit, 1.0);
    EXPECT_DOUBLE_EQ(x[2], r.pulled);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(f1[k], a / (x[k + 1] - x[k]));
  }
}

TEST(CorrectionsDeathTest, FailuresEndTheRun) {
  o3::testing::run_parameters_guard guard;
  o3::H = 0.0;
  std::vector<double> f1(3);
  double a = 1.0;
  // x[1] at the lowered end (1): not strictly below it.
  o3::Xlimit = 1.0 + 0.01 / 3;
  std::vector<double> at_end{-1.0, 1.0, 1.0, 1.0};
  EXPECT_EXIT(o3::corrections(at_end.data(), f1.data(), &a, 3),
              ::testing::ExitedWithCode(1), "^change the % of losses" + closing);
  // A first piece of width 1.5 with area 0.9 is 0.6 high, below g1 = 1.
  o3::Xlimit = 1.0 + 0.01 / 3;
  std::vector<double> wide{-1.0, 0.5, 0.7, 1.0};
  a = 0.9;
  EXPECT_EXIT(o3::corrections(wide.data(), f1.data(), &a, 3),
              ::testing::ExitedWithCode(1),
              "^!!! for f1\\[0\\]=0\\.60[0-9]* <max=1\\.000000 on "
              "\\[-1\\.000000,0\\.500000\\]\nf1 must be > max of the function g1" +
                  closing);
  EXPECT_EXIT(o3::corrections(wide.data(), f1.data(), &a, 1),
              ::testing::ExitedWithCode(1),
              "^corrections need at least two pieces" + closing);
}

}  // namespace
