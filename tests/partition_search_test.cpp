// Partition search: pieces of equal box area up to Xlimit.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "parameters/density.h"
#include "parameters/run_parameters.h"
#include "partition/partition_search.h"
#include "run_parameters_guard.h"

namespace {

void set_search(double h, double xlimit) {
  o3::H = h;
  o3::Xlimit = xlimit;
  o3::use_histogram_accuracies();
}

TEST(PartitionSearch, FindXFromAndBeyondXlimit) {
  o3::testing::run_parameters_guard guard;
  set_search(5.0, 1.0);
  // Hand calculation: the box is taken at the right end, g1(0) = exp(-5).
  EXPECT_NEAR(o3::g1_Deltax(1.0, 0.0, 0.25), -std::exp(-5.0) - 0.25, 1e-15);
  const auto before = o3::g1_evaluations();
  EXPECT_EQ(o3::find_x(std::nextafter(1.0, 2.0), 0.05, o3::Acc_ridders), 2.0);
  EXPECT_EQ(o3::g1_evaluations(), before);
  // From Xlimit itself the search runs: the root of t exp(5 t) = 0.05,
  // t ~ 0.0408 (hand calculation), lies inside the first step and is kept.
  const double z = o3::find_x(1.0, 0.05, o3::Acc_ridders);
  EXPECT_NEAR(z, 1.0408, 1e-4);
  EXPECT_NEAR(o3::g1_Deltax(1.0, z, 0.05), 0.0, 3e-8);
}

TEST(PartitionSearch, FindAFromBothSidesOfTheArea) {
  o3::testing::run_parameters_guard guard;
  for (const int nd : {50, 104}) {
    set_search(5.0, 1.0 + 0.01 / nd);
    // Closed-form integral of g1 over [-1, 1], shared among nd boxes.
    const double near_area = (1.0 - std::exp(-10.0)) / 5.0 / nd;
    std::vector<double> x(static_cast<std::size_t>(nd) + 1);
    x[0] = -1.0;
    const double reference = o3::find_a(near_area, x.data(), nd, o3::usual_end(nd));
    for (const double start : {1.0, 0.1, 10.0}) {
      SCOPED_TRACE(::testing::Message() << "Nd " << nd << ", start x" << start);
      const double a = o3::find_a(start * near_area, x.data(), nd, o3::usual_end(nd));
      EXPECT_EQ(x[0], -1.0);
      EXPECT_LT(std::fabs(x.back() - o3::Xlimit), 1.0 / (50.0 * nd));
      // Boxes of the pieces that end at a real point, not the past-end mark.
      const auto boxes = [&x] {
        std::vector<double> b;
        for (std::size_t i = 0; i + 1 < x.size() && x[i + 1] < o3::Xlimit + 0.5; ++i) {
          EXPECT_GT(x[i + 1], x[i]) << i;
          b.push_back((x[i + 1] - x[i]) * o3::g1(x[i + 1]));
        }
        return b;
      };
      // Points are placed to 2 Acc_ridders and a box grows with its right
      // end at g1 (1 + H width) < 1.5, so boxes agree to 3e-8. The points
      // left in x are the last build's, a_lo's or a_hi's: a_hi/1.2 <= a_lo.
      const std::vector<double> left = boxes();
      ASSERT_EQ(left.size(), x.size() - 1);
      for (const double b : left) EXPECT_NEAR(b, left[0], 3e-8);
      EXPECT_LE(left[0], a * (1.0 + 1e-12));
      EXPECT_GE(left[0], a / 1.2 - 3e-8);
      // The returned a_hi builds up to Xlimit. Every point lands at or
      // before its root (z - Acc_ridders unless a sign change follows z),
      // so no box exceeds a beyond rounding.
      o3::find_x_all(a, x.data(), nd, o3::Acc_ridders);
      EXPECT_GE(x.back(), o3::Xlimit);
      for (const double b : boxes()) {
        EXPECT_LE(b, a * (1.0 + 1e-12));
        EXPECT_GE(b, a - 3e-8);
      }
      // The final bracket holds the same area from every start, and at
      // H = 5 the stop rule leaves its ends less than 1 % apart.
      EXPECT_NEAR(a, reference, 0.01 * reference);
    }
  }
}

TEST(PartitionSearch, HookReadsOnlyForStageOne) {
  const double values[] = {1.5, 2.5, 3.5};
  const int counter = 2, nd = 2;
  for (int stage = 1; stage <= 6; ++stage) {
    SCOPED_TRACE(stage);
    EXPECT_EQ(o3::xo_xnd_change(stage, 9.0, &counter, values, values, &nd), stage == 1 ? 3.5 : 0.0);
  }
}

}  // namespace
