// The number of pieces of every histogram of a run, from the losses.
#pragma once

namespace o3 {

// Most pieces a histogram may have; the rule's larger values are lowered.
inline constexpr int max_histogram_points = 600;

// Nd_poi for the losses in the form f = 1 + p/200: trunc(3/(f - 1.02) + 1)
// when f > 1.07, trunc(5/(f - 1.002)) otherwise; at least 1, at most 600.
// *capped (if given) tells whether the rule's value was above 600.
int points_per_histogram(double f, bool* capped = nullptr);

}  // namespace o3
