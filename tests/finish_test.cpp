// Finishing histograms: the usual search where it can be finished, the
// narrow end for large couplings.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/romberg.h"
#include "parameters/density.h"
#include "parameters/run_parameters.h"
#include "partition/corrections.h"
#include "partition/finish.h"
#include "partition/partition_search.h"
#include "run_parameters_guard.h"

namespace {

struct histogram {
  std::vector<double> x, f1;
  double m = 0.0;  // mean mass per piece
  double a = 0.0;
  o3::finished how{};
};

histogram finish(double h, int nd) {
  o3::H = h;
  o3::use_histogram_accuracies();
  histogram r;
  r.x.resize(static_cast<std::size_t>(nd) + 1);
  r.f1.resize(static_cast<std::size_t>(nd));
  r.m = o3::qromb(o3::g1, -1.0, 1.0) / nd;
  r.how = o3::finish_partition(r.m, r.x.data(), r.f1.data(), &r.a, nd);
  return r;
}

TEST(Finish, NarrowEndScalesWithTheMassPerPiece) {
  o3::testing::run_parameters_guard guard;
  o3::use_histogram_accuracies();
  const o3::search_end usual = o3::usual_end(104);
  EXPECT_EQ(usual.strip, 0.01 / 104);
  EXPECT_EQ(usual.close_enough, 1.0 / (104 * 50.0));
  // m = 1e-6: a strip of 5e-8, a tolerance of 5e-9 (below Acc_a), points to
  // 5e-10; for a large m the strip stays the usual one.
  const o3::search_end narrow = o3::narrow_end(104, 1e-6);
  EXPECT_DOUBLE_EQ(narrow.strip, 5e-8);
  EXPECT_DOUBLE_EQ(narrow.accuracy, 5e-9);
  EXPECT_DOUBLE_EQ(narrow.close_enough, 5e-9);
  EXPECT_DOUBLE_EQ(narrow.ridders, 5e-10);
  EXPECT_EQ(o3::narrow_end(104, 1.0).strip, 0.01 / 104);
  EXPECT_EQ(o3::narrow_end(104, 1.0).accuracy, o3::histogram_Acc_a);
}

TEST(Finish, UsualSearchWhereItCanBeFinished) {
  o3::testing::run_parameters_guard guard;
  for (const auto& [h, nd] : {std::pair{0.5, 104}, {50.0, 104}, {100.0, 600}, {300.0, 14}}) {
    SCOPED_TRACE(testing::Message() << "H " << h << ", Nd_poi " << nd);
    const histogram got = finish(h, nd);
    EXPECT_FALSE(got.how.narrowed);
    // The same points and area, bit for bit, as the search and corrections
    // on their own.
    std::vector<double> x(got.x.size()), f1(got.f1.size());
    o3::Xlimit = 1.0 + 0.01 / nd;
    x[0] = -1.0;
    double a = o3::find_a(got.m, x.data(), nd, o3::usual_end(nd));
    ASSERT_EQ(o3::try_corrections(x.data(), f1.data(), &a, nd, 0.01 / nd).result,
              o3::correction::done);
    EXPECT_EQ(x, got.x);
    EXPECT_EQ(a, got.a);
  }
}

TEST(Finish, LargeCouplingsTakeTheNarrowEndWithinTheLosses) {
  o3::testing::run_parameters_guard guard;
  // Pieces and the losses that give them: 50 % -> 14, 20 % -> 38,
  // 10 % -> 104, 1 % -> 600. 600 equal boxes cannot reach 1 % at these
  // couplings: the first piece, from -1, holds almost nothing, and 1.08 %
  // bounds what they reach up to 10^4. (Between 108 and 10^4 some 600-piece
  // histograms, H = 500 among them, are finished by the usual search.)
  const struct {
    int nd;
    double losses;
    std::vector<double> H;
  } rows[] = {{14, 50, {500, 3000, 10000}},
              {38, 20, {500, 3000, 10000}},
              {104, 10, {500, 3000, 10000}},
              {600, 1.08, {110, 1000, 10000}}};
  for (const auto& r : rows) {
    for (const double h : r.H) {
      SCOPED_TRACE(testing::Message() << "H " << h << ", Nd_poi " << r.nd);
      const histogram got = finish(h, r.nd);
      EXPECT_TRUE(got.how.narrowed);
      EXPECT_LE((got.a / got.m - 1.0) * 100.0, r.losses);
      EXPECT_EQ(got.x.front(), -1.0);
      EXPECT_NEAR(got.x.back(), 1.0, 1e-15);
      for (int i = 0; i < r.nd; ++i) {
        const auto k = static_cast<std::size_t>(i);
        ASSERT_LT(got.x[k], got.x[k + 1]) << "point " << i;
        ASSERT_GE(got.f1[k], o3::g1(got.x[k + 1])) << "piece " << i;
        ASSERT_EQ(got.f1[k], got.a / (got.x[k + 1] - got.x[k])) << "piece " << i;
      }
    }
  }
}

// Asked to keep the losses, a histogram above them is searched again: at
// H = 9.95 with 600 pieces the usual search leaves 10.7 % (its last point
// pinned far from where the search ended), the narrow end 0.91 %; at
// H = 3000, where 600 pieces reach no lower than 1.04 %, the least loss of
// the ends tried is kept; a histogram of 104 pieces at H = 300 goes from
// 10.1 % to 4.7 %. Each passes the envelope check.
TEST(Finish, KeepingTheLossesSearchesAgainToATighterEnd) {
  o3::testing::run_parameters_guard guard;
  const struct {
    double h;
    int nd;
    double losses, least, most;  // asked; the kept loss lies in [least, most]
  } rows[] = {
      {9.95, 600, 1.0, 0.85, 1.0}, {3000.0, 600, 1.0, 1.0, 1.05}, {300.0, 104, 10.0, 4.5, 5.0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "H " << r.h << ", Nd_poi " << r.nd);
    histogram got = finish(r.h, r.nd);
    const double given = (got.a / got.m - 1.0) * 100.0;
    ASSERT_GT(given, r.losses);
    double factor = 0.0;
    EXPECT_TRUE(
        o3::keep_losses(got.m, got.x.data(), got.f1.data(), &got.a, r.nd, r.losses, &factor));
    const double kept = (got.a / got.m - 1.0) * 100.0;
    EXPECT_GE(kept, r.least);
    EXPECT_LE(kept, r.most);
    EXPECT_GE(factor, 1.001);
    EXPECT_EQ(got.x.front(), -1.0);
    EXPECT_EQ(got.x.back(), 1.0);
    for (int i = 0; i < r.nd; ++i) {
      const auto k = static_cast<std::size_t>(i);
      ASSERT_LT(got.x[k], got.x[k + 1]) << "point " << i;
      // The boxes of the points kept, not of the last partition tried.
      ASSERT_GE(got.a / (got.x[k + 1] - got.x[k]), o3::g1(got.x[k + 1])) << "piece " << i;
    }
  }
}

// A mass per piece so large that the narrow strip is the usual one: the
// second search fails as the first did, and the run ends saying what helps.
TEST(FinishDeathTest, NamesTheCouplingThatCannotBeFinished) {
  o3::testing::run_parameters_guard guard;
  o3::H = 1000.0;
  o3::use_histogram_accuracies();
  std::vector<double> x(105), f1(104);
  double a = 0.0;
  EXPECT_EXIT(o3::finish_partition(1.0, x.data(), f1.data(), &a, 104), ::testing::ExitedWithCode(1),
              "^the histogram for H=1000\\.000000 cannot be finished: its pieces next to 1 are "
              "too narrow; choose a smaller H_max\n");
}

}  // namespace
