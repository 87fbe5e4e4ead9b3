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

// Writes a standalone SVG document: panel 1 for coupling h served by
// histogram g, with the values drawn there; panel 2 for the whole table.
void write_svg(std::FILE* out, const sampler::sampler& t, double h, int g,
               const std::vector<double>& drawn);

}  // namespace o3::checker
