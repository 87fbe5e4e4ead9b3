// The text of stage 2's progress line.
#include <string>

#include <gtest/gtest.h>

#include "driver/progress.h"

namespace {

TEST(Progress, TextCountsTimesAndEstimatesTheRest) {
  const struct {
    int done, total;
    double elapsed;
    std::string text;
  } rows[] = {
      // No estimate yet.
      {0, 49, 0.7, "histogram 0 of 49, 0:00 elapsed"},
      // 3.9 s for 12: 37 more take 3.9 / 12 * 37 = 12.0 s; seconds truncated.
      {12, 49, 3.9, "histogram 12 of 49, 0:03 elapsed, about 0:12 left"},
      {1, 2, 3599.9, "histogram 1 of 2, 59:59 elapsed, about 59:59 left"},
      {1, 3, 3600.0, "histogram 1 of 3, 1:00:00 elapsed, about 2:00:00 left"},
      // 61 / 10 * 99990 = 609939 s = 169 h 25 min 39 s.
      {10, 100000, 61.0, "histogram 10 of 100000, 1:01 elapsed, about 169:25:39 left"},
      {5, 5, 9.0, "histogram 5 of 5, 0:09 elapsed, about 0:00 left"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(o3::progress_text(r.done, r.total, r.elapsed), "stage 2: " + r.text);
  }
}

}  // namespace
