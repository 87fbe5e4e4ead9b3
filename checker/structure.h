// The checks of an O3.res table's shape beyond what the reader verifies:
// lookup lines, map and partition points.
#pragma once

#include <vector>

#include "checker/finding.h"
#include "sampler/table.h"

namespace o3::checker {

// Every failure and note, in the order of the file.
std::vector<finding> check_structure(const sampler::table& t);

}  // namespace o3::checker
