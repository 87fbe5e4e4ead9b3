// The picture of a table: at one coupling the density, its envelope boxes
// and the histogram of drawn values; and the loss of every histogram.
#pragma once

#include <cstdio>
#include <vector>

#include "sampler/sampler.h"

namespace o3::checker {

// Left end of the y range shown at coupling h: where the density has fallen
// to e^-8 of its maximum, or -1.
double window_left(double h);

// Whether the loss panel's coupling axis is logarithmic: only when the
// largest coupling exceeds 100 times the larger of 1 and the least coupling
// above 0 (infinite when there is none). A linear axis would then squeeze
// the couplings most simulations use into a sliver; below 1 the densities
// are nearly flat and their losses small, not worth decades of the axis.
bool logarithmic_couplings(double least_positive, double largest);

// Writes a standalone SVG document: panel 1 for coupling h served by
// histogram g, with the values drawn there; panel 2 their deviation from
// the exact law per bin and their chi-square; panel 3 for the whole table.
void write_svg(std::FILE* out, const sampler::sampler& t, double h, int g,
               const std::vector<double>& drawn);

}  // namespace o3::checker
