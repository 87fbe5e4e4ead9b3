#include "checker/envelope.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "sampler/lookup.h"
#include "checker/text.h"

namespace o3::checker {

// For y <= 1 the density exp(h (y - 1)) falls as h grows, so a box that
// covers it at the smallest coupling its histogram is used for covers it at
// every larger one. That smallest coupling is the least of the histogram's
// own coupling and of the couplings its map entries serve: below its own
// coupling only when the map is wrong, and then the boxes must still hold
// for what the sampler will really do with them. Taking the histogram's own
// coupling alone would miss exactly that case.
envelope_result check_envelope(const sampler::table& t) {
  envelope_result r;
  r.least_surplus = std::numeric_limits<double>::infinity();
  const std::vector<double> least = smallest_served(t);
  for (std::size_t g = 0; g < t.histograms.size(); ++g) {
    const sampler::histogram& hist = t.histograms[g];
    const double h = least[g];
    for (std::size_t k = 0; k + 1 < hist.x.size(); ++k) {
      const double width = hist.x[k + 1] - hist.x[k];
      if (!(width > 0.0)) continue;  // a point fault, reported by the structure
      // The density is monotonic in y, so its maximum on the piece is at an
      // end: the right one for h >= 0.
      const double top = std::max(std::exp(h * (hist.x[k] - 1.0)),
                                  std::exp(h * (hist.x[k + 1] - 1.0)));
      // In the sampler's own arithmetic: it accepts when
      // v * area < width * density, which is certain when area < width * top.
      if (!(hist.area >= width * top)) {
        r.violation = finding{true, t.record_lines[g], text(
            "histogram %zu, piece %zu [%s, %s]: the box height %.17g (area %.17g / "
            "width) is below %.17g, the density's maximum on the piece at h = %s",
            g, k, exact(hist.x[k]).c_str(), exact(hist.x[k + 1]).c_str(),
            hist.area / width, hist.area, top, exact(h).c_str())};
        return r;
      }
      const double surplus = hist.area / (width * top) - 1.0;
      if (surplus < r.least_surplus) {
        r.least_surplus = surplus;
        r.histogram = static_cast<int>(g);
        r.piece = static_cast<int>(k);
      }
    }
  }
  return r;
}

}  // namespace o3::checker
