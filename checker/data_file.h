// The numbers behind check's verdict and picture as plain columns, for
// gnuplot and NumPy.
#pragma once

#include <cstdio>
#include <vector>

#include "checker/statistics.h"
#include "sampler/sampler.h"

namespace o3::checker {

// Writes two blocks with the same twelve columns, each under '#' lines that
// name them, separated by two empty lines (gnuplot's "index 0" and "index
// 1"; numpy.loadtxt skips empty lines and would read both blocks as one, so
// the README splits the text at them first): one row per histogram, its
// last four columns nan; then one row per test coupling, the coupling in
// the second column and the numbers of the histogram that serves it beside
// its statistics.
void write_data(std::FILE* out, const sampler::sampler& s,
                const std::vector<coupling_result>& tested);

}  // namespace o3::checker
