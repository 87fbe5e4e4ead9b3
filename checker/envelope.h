// The exact check of the rejection envelopes against the density.
#pragma once

#include <optional>

#include "checker/finding.h"
#include "sampler/table.h"

namespace o3::checker {

struct envelope_result {
  std::optional<finding> violation;  // the first box below the density
  // The smallest relative surplus of a box over the density's maximum on
  // its piece, and where it is.
  double least_surplus = 0.0;
  int histogram = -1;
  int piece = -1;
};

envelope_result check_envelope(const sampler::table& t);

}  // namespace o3::checker
