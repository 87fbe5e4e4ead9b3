// The density of y = cos(theta) at the coupling of the run parameters.
#pragma once

#include <cstdint>

namespace o3 {

// exp((x - 1) * H) at the current H: the unnormalised density of y = cos(theta),
// non-decreasing on [-1, 1] for H >= 0, and 1 at x = 1 for every H.
double g1(double x);

// Number of evaluations of g1 since the process started, for cost counts.
std::uint64_t g1_evaluations();

}  // namespace o3
