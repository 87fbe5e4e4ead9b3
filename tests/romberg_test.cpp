// Trapezoid levels, Neville extrapolation and Romberg integration.
#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/romberg.h"
#include "parameters/density.h"
#include "parameters/run_parameters.h"
#include "run_parameters_guard.h"

namespace {

std::vector<double> args;  // every abscissa the integrands were given
double square(double x) {
  args.push_back(x);
  return x * x;
}
double three(double x) {
  args.push_back(x);
  return 3.0;
}
double identity(double x) {
  args.push_back(x);
  return x;
}
double sixth(double x) {
  args.push_back(x);
  return x * x * x * x * x * x;
}

TEST(Trapzd, LevelsRefineWithNewPointsLeftToRight) {
  struct row {
    int level;
    double value;
    std::vector<double> points;
  };
  // Hand calculation for x^2 on [0, 1]: T1 = 1/2, T2 = (T1 + 1/4)/2,
  // T3 = (T2 + 10/16/2)/2, T4 = (T3 + 84/64/4)/2; f(a) comes before f(b).
  const row rows[] = {{1, 0.5, {0.0, 1.0}},
                      {2, 0.375, {0.5}},
                      {3, 0.34375, {0.25, 0.75}},
                      {4, 0.3359375, {0.125, 0.375, 0.625, 0.875}}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.level);
    args.clear();
    EXPECT_EQ(o3::trapzd(square, 0.0, 1.0, r.level), r.value);
    EXPECT_EQ(args, r.points);
  }
}

TEST(Qromb, ExactLevelsReturnAfterLevelFive) {
  struct row {
    const char* what;
    o3::integrand f;
    double b, value, tol;
  };
  // Level 5 passes after 2 + 1 + 2 + 4 + 8 calls: every level is exact for 3
  // and x; for x^6 the trapezoid error has only h^2, h^4 and h^6 terms
  // (Euler-Maclaurin), which extrapolation in h^2 over five levels removes.
  const row rows[] = {{"3 on [0,2]", three, 2.0, 6.0, 0.0},
                      {"x on [0,1]", identity, 1.0, 0.5, 0.0},
                      {"x^6 on [0,1]", sixth, 1.0, 1.0 / 7.0, 1e-14}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    args.clear();
    EXPECT_NEAR(o3::qromb(r.f, 0.0, r.b), r.value, r.tol);
    EXPECT_EQ(args.size(), 17U);
  }
}

TEST(Qromb, DensityMatchesClosedForm) {
  o3::testing::run_parameters_guard guard;
  for (const double h : {0.5, 5.0, 50.0}) {
    SCOPED_TRACE(h);
    o3::H = h;
    // Closed form over [-1, 1]; qromb aims at 1e-6 relative.
    const double exact = (1.0 - std::exp(-2.0 * h)) / h;
    EXPECT_NEAR(o3::qromb(o3::g1, -1.0, 1.0), exact, 1e-6 * exact);
  }
}

TEST(Polint, WorkedExamples) {
  struct row {
    const char* what;
    int n;
    double X[4], Y[4], x, y, dy;
  };
  // 1-based, slot 0 unused. Hand calculations: x^2 at 0 starts from Y[1] = 1,
  // corrections -3 then 2; at 2.2 from Y[2] = 4, corrections 0.6 then 0.24.
  // (2, 0), (1, 4) at 1.5 tie; the first wins, correction +2 (-2 from Y[2]).
  const row rows[] = {{"parabola at 0", 3, {0, 1, 2, 3}, {0, 1, 4, 9}, 0.0, 0.0, 2.0},
                      {"parabola at 2.2", 3, {0, 1, 2, 3}, {0, 1, 4, 9}, 2.2, 4.84, 0.24},
                      {"tie keeps first", 2, {0, 2, 1}, {0, 0, 4}, 1.5, 2.0, 2.0}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    double y = 0.0, dy = 0.0;
    o3::polint(r.X, r.Y, r.n, r.x, &y, &dy);
    EXPECT_NEAR(y, r.y, 1e-12);
    EXPECT_NEAR(dy, r.dy, 1e-12);
  }
}

// An extrapolated 0 never passes the strict test: the first call of level 7
// (after 17 + 16) shows that levels 5 and 6 went on.
int zero_calls = 0;
double zero(double) {
  if (++zero_calls == 34) std::exit(3);
  return 0.0;
}

TEST(RombergDeathTest, ZeroIntegralGoesOnAndEqualAbscissaeAreFatal) {
  EXPECT_EXIT(o3::qromb(zero, 0.0, 1.0), ::testing::ExitedWithCode(3), "");
  const double X[] = {0, 1, 1, 2}, Y[] = {0, 1, 2, 3};
  double y = 0.0, dy = 0.0;
  EXPECT_EXIT(o3::polint(X, Y, 3, 0.5, &y, &dy), ::testing::ExitedWithCode(1),
              "^Error in routine polint\n\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

}  // namespace
