// Forward bracketing (root1) and Ridders' method (zriddr).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/roots.h"
#include "parameters/run_parameters.h"
#include "run_parameters_guard.h"

namespace {

const std::string closing = "\n\\.\\.\\.now exiting to system\\.\\.\\.\n";
struct call {
  double p, y, c;
};
std::vector<call> calls;  // every call the root functions received
double line(double p, double y, double c) {
  calls.push_back({p, y, c});
  return y - c;
}
double square(double p, double y, double c) {
  calls.push_back({p, y, c});
  return y * y - c;
}

// The recorded abscissae; p and c must have come through unchanged.
std::vector<double> abscissae(double p, double c) {
  std::vector<double> ys;
  for (const call& k : calls) {
    EXPECT_TRUE(k.p == p && k.c == c) << k.p << ", " << k.c;
    ys.push_back(k.y);
  }
  return ys;
}

TEST(Root1, StepsUntilPositiveOrPastXlimit) {
  o3::testing::run_parameters_guard guard;
  o3::Xlimit = 1.0;
  struct row {
    const char* what;
    double p, c, result;
    std::vector<double> ys;
  };
  // Hand calculation with y - c, step 0.25; 0.505 = 1.01 * 0.5 in doubles.
  const row rows[] = {{"positive at 0.75", 0.0, 0.6, 0.75, {0.25, 0.5, 0.75}},
                      {"zero at 0.5", 0.0, 0.5, 0.505, {0.25, 0.5}},
                      {"past Xlimit", 0.0, 5.0, 2.0, {0.25, 0.5, 0.75, 1.0, 1.25}},
                      {"from -0.5", -0.5, 0.6, 0.75, {-0.25, 0.0, 0.25, 0.5, 0.75}}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    calls.clear();
    EXPECT_EQ(o3::root1(line, r.p, 0.25, r.c), r.result);
    EXPECT_EQ(abscissae(r.p, r.c), r.ys);
  }
}

TEST(Zriddr, WorkedBrackets) {
  struct row {
    const char* what;
    double x1, x2, c, result;
    std::vector<double> ys;
  };
  // Hand calculation with y - c: the midpoint 0.375 has value 0, so the
  // update is 0.375 with value 0. An end with value 0 is returned at once.
  const row rows[] = {{"root at midpoint", 0.25, 0.5, 0.375, 0.375, {0.25, 0.5, 0.375, 0.375}},
                      {"first end zero", 0.25, 0.5, 0.25, 0.25, {0.25, 0.5}},
                      {"second end zero", 0.0, 0.25, 0.25, 0.25, {0.0, 0.25}}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    calls.clear();
    EXPECT_EQ(o3::zriddr(line, 0.125, r.x1, r.x2, 1e-8, r.c), r.result);
    EXPECT_EQ(abscissae(0.125, r.c), r.ys);
  }
}

TEST(Zriddr, SquareRootOfTwoEitherOrder) {
  for (const double x1 : {1.0, 2.0}) {
    SCOPED_TRACE(x1);
    calls.clear();
    EXPECT_NEAR(o3::zriddr(square, -3.0, x1, 3.0 - x1, 1e-8, 2.0), std::sqrt(2.0), 1e-8);
    const std::vector<double> ys = abscissae(-3.0, 2.0);
    ASSERT_GE(ys.size(), 5U);
    // Hand calculation: M = 1.5 (value 0.25), update 1.5 - 0.5 * 0.25 /
    // sqrt(2.0625) = 1.41296117202215 (value < 0). They differ in sign, so
    // they bracket next and the next midpoint lies halfway between them.
    EXPECT_EQ(ys[2], 1.5);
    EXPECT_NEAR(ys[3], 1.41296117202215, 1e-13);
    EXPECT_EQ(ys[4], 0.5 * (ys[2] + ys[3]));
  }
}

TEST(RootsDeathTest, Failures) {
  struct row {
    const char* what;
    void (*run)();
    const char *message, *after = "";
  };
  const row rows[] = {
      {"zero step", [] { o3::root1(line, 0.0, 0.0, 5.0); }, "root1: the step must be > 0"},
      {"negative step", [] { o3::root1(line, 0.0, -0.1, 5.0); }, "root1: the step must be > 0"},
      {"step lost in rounding", [] { o3::root1(line, 0.5, 1e-20, 5.0); },
       "root1: the step is too small to advance"},
      // y - 0.25 is positive at both ends.
      {"no sign change", [] { o3::zriddr(line, 0.0, 0.5, 0.75, 1e-8, 0.25); },
       "root must be bracketed in zriddr\\."},
      // A negative accuracy is never met and y^2 - 2 is never exactly 0 in
      // doubles, so only the cap ends the search: 2 + 2 * 600 calls.
      {"iteration cap",
       [] {
         calls.clear();
         std::atexit([] { std::fprintf(stderr, "%zu calls\n", calls.size()); });
         o3::zriddr(square, 0.0, 1.0, 2.0, -1.0, 2.0);
       },
       "zriddr exceed maximum iterations at H=[0-9.]+: the density is too narrow there for "
       "the root finder; choose a smaller H_max",
       "1202 calls\n"}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EXIT(r.run(), ::testing::ExitedWithCode(1),
                "^" + std::string(r.message) + closing + r.after + "$");
  }
}

}  // namespace
