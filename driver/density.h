// The unnormalised target density of a heat-bath draw, y = cos(theta).
#pragma once

#include <cstdint>

namespace o3 {

// exp((x - 1) * H) at the current run parameter H; non-decreasing on [-1, 1]
// for H >= 0, and 1 at x = 1 for every H.
double g1(double x);

// Number of evaluations of g1 since the start of the process, for the
// benchmarks' cost counts.
std::uint64_t g1_evaluations();

// Set-up hook called at the start of a run and of stage 2; it has no effect.
void precision();

}  // namespace o3
