// Envelope corrections: last point pinned, box area raised, pieces checked.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "parameters/run_parameters.h"
#include "partition/corrections.h"
#include "run_parameters_guard.h"

namespace {

const std::string closing = "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$";

// Xlimit as stage 2 sets it for the end `end`; returns the lowered value.
// H = 0 makes g1 = 1 everywhere.
double set_limit(int nd, double h = 0.0, double end = 1.0) {
  o3::H = h;
  o3::Xlimit = end + 0.01 / nd;
  return o3::Xlimit - 0.01 / nd;
}

TEST(Corrections, FactorPullBackAndHeights) {
  o3::testing::run_parameters_guard guard;
  const double w = 1.001 * 0.25;  // a piece this wide gets height exactly 1
  struct row {
    const char* what;
    std::vector<double> x;
    bool on_end;
    double h, end, a, factor, f1_0;
  };
  // Hand calculations, end 1 and g1 = 1: last piece 0.5 wide; a = 0.6 gives
  // height 1.2 > 1, factor 1.001; a = 0.4 gives 0.8, factor 1.001 / 0.8. A
  // last-but-one point on or past the end moves 3/5 of the way from 0.5: 0.8.
  // End 0 at H = 1: height 0.2 < g1(0) = 1/e, factor 1.001 / e / 0.2.
  const row rows[] = {
      {"last piece above g1", {-1, -0.5, 0, 0.5, 9}, false, 0, 1, 0.6, 1.001, 1.2012},
      {"last piece below g1", {-1, -0.5, 0, 0.5, 9}, false, 0, 1, 0.4, 1.25125, 1.001},
      {"below g1 at H = 1",
       {-1, -0.9, -0.6, -0.5, 9},
       false,
       1,
       0,
       0.1,
       5.005 * std::exp(-1.0),
       5.005 * std::exp(-1.0)},
      {"point past the end", {-1, -0.5, 0.5, 1.001, 9}, false, 0, 1, 1.0, 1.001, 2.002},
      {"point on the end", {-1, -0.5, 0.5, 9, 9}, true, 0, 1, 1.0, 1.001, 2.002},
      {"height equal to g1",
       {-1, -0.75, -0.5, -0.25, 0, w, 0.5, 0.75, 0.875, 9},
       false,
       0,
       1,
       0.25,
       1.001,
       1.001}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    std::vector<double> x = r.x, f1(r.x.size() - 1);
    const int nd = static_cast<int>(f1.size());
    const double lowered = set_limit(nd, r.h, r.end);
    const std::size_t k = f1.size() - 1;  // the last-but-one point
    if (r.on_end) x[k] = lowered;
    const double before = x[k];
    double a = r.a;
    const o3::correction done = o3::try_corrections(x.data(), f1.data(), &a, nd, 0.01 / nd);
    ASSERT_EQ(done.result, o3::correction::done);
    const double c = done.factor;
    EXPECT_NEAR(c, r.factor, 1e-12);
    if (r.factor == 1.001) {
      EXPECT_EQ(c, 1.001);
    }  // exactly the margin
    EXPECT_EQ(a, c * r.a);
    EXPECT_EQ(o3::Xlimit, lowered);
    EXPECT_EQ(x.back(), lowered);
    EXPECT_EQ(x[k], before >= lowered ? (lowered - x[k - 1]) * 3.0 / 5.0 + x[k - 1] : before);
    EXPECT_NEAR(f1[0], r.f1_0, 1e-12);
  }
}

TEST(Corrections, StopsOnTheFirstFailure) {
  o3::testing::run_parameters_guard guard;
  struct row {
    const char* what;
    std::vector<double> x;
    bool on_end;
    o3::correction::outcome result;
    int piece;
  };
  // Piece 1 of the second row is 1.0 wide: height 1.001 * 0.6 = 0.6006 < 1
  // = g1 (hand calculation), as is piece 2; only piece 1 is named.
  const row rows[] = {
      {"last-but-two point on the end",
       {-1, -0.5, 9, 0.9, 9},
       true,
       o3::correction::past_the_end,
       2},
      {"envelope below g1", {-1, -0.9, 0.1, 0.5, 9}, false, o3::correction::below_density, 1}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    std::vector<double> x = r.x, f1(r.x.size() - 1);
    const int nd = static_cast<int>(f1.size());
    const double lowered = set_limit(nd);
    if (r.on_end) x[2] = lowered;
    const std::vector<double> before = x;
    double a = 0.6;
    const o3::correction c = o3::try_corrections(x.data(), f1.data(), &a, nd, 0.01 / nd);
    EXPECT_EQ(c.result, r.result);
    EXPECT_EQ(c.piece, r.piece);
    // A partition that cannot be finished is left as the search made it.
    if (r.result == o3::correction::past_the_end) {
      EXPECT_EQ(x, before);
      EXPECT_EQ(a, 0.6);
    }
  }
}

// From here on anything printed on standard output lands in the error
// stream, where the exact match of a death test catches it.
void stdout_into_stderr() {
  std::fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);
}

TEST(CorrectionsDeathTest, Failures) {
  o3::testing::run_parameters_guard guard;
  std::vector<double> x = {-1, -0.9, 0.1, 0.5, 1}, f1 = {0.1, 0.6006, 0.6006, 1.2};
  o3::H = 0.0;
  EXPECT_EXIT((stdout_into_stderr(), o3::envelope_failure(x.data(), f1.data(), 1)),
              ::testing::ExitedWithCode(1),
              "^!!! for f1\\[1\\]=0\\.600600 <max=1\\.000000 on \\[-0\\.900000,0\\.100000\\]\n"
              "f1 must be > max of the function g1" +
                  closing);
  double a = 0.6;
  EXPECT_EXIT((stdout_into_stderr(), o3::try_corrections(x.data(), f1.data(), &a, 1, 0.01)),
              ::testing::ExitedWithCode(1), "^corrections need at least two pieces" + closing);
}

}  // namespace
