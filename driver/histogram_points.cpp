// The rule shared by the dialogue, stage 1 and stage 2.
#include "driver/histogram_points.h"

namespace o3 {

int points_per_histogram(double f, bool* capped) {
  const double v = f > 1.07 ? 3.0 / (f - 1.02) + 1.0 : 5.0 / (f - 1.002);
  // Values beyond the cap, an infinity included, are decided before the
  // conversion, which is only defined for values an int can hold.
  const bool above = v >= max_histogram_points + 1;
  if (capped != nullptr) *capped = above;
  if (above) return max_histogram_points;
  if (!(v >= 1.0)) return 1;  // not above 0 after truncation, or not a number
  return static_cast<int>(v);
}

}  // namespace o3
