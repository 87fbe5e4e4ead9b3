// Preparing a table for drawing: the dense map and the squeezes.
#include "sampler/sampler.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sampler/lookup.h"

namespace o3::sampler {
namespace {

// The squeeze is lowered by this relative margin so that the rounding of its
// own computation can never lift it above the density.
constexpr double squeeze_margin = 1e-9;

}  // namespace

sampler::sampler(const table& t)
    : H0_(t.H0),
      H_max_(t.H_max),
      Nd_poi_(t.Nd_poi),
      nd_(static_cast<std::uint64_t>(t.Nd_poi)),
      first_cell_(t.map_j.empty() ? 0 : t.map_j.front()) {
  if (t.map_j.empty()) throw table_error(t.map_line, "the map is empty");
  if (t.pieces.empty()) {
    throw table_error(t.map_line, "the table has no lookup lines");
  }
  for (const mapping_piece& p : t.pieces) {
    routes_.push_back({p.bound, p.step,
                       static_cast<std::int64_t>(p.base) - first_cell_});
  }
  routes_.back().bound = std::numeric_limits<double>::quiet_NaN();
  // Dense map: a cell without an entry takes the histogram of the entry
  // before it.
  const std::int32_t last = t.map_j.back();
  if (last < first_cell_) {
    throw table_error(t.map_line, "the map indices must increase");
  }
  std::vector<std::int32_t> cell_histogram(
      static_cast<std::size_t>(last - first_cell_) + 1, -1);
  for (std::size_t e = 0; e < t.map_j.size(); ++e) {
    if (e > 0 && t.map_j[e] <= t.map_j[e - 1]) {
      throw table_error(t.map_line + static_cast<int>(e),
                        "the map indices must increase");
    }
    if (t.map_g[e] < 0 ||
        static_cast<std::size_t>(t.map_g[e]) >= t.histograms.size()) {
      throw table_error(t.map_line + static_cast<int>(e),
                        "the map names a histogram the table does not hold");
    }
    cell_histogram[static_cast<std::size_t>(t.map_j[e] - first_cell_)] =
        t.map_g[e];
  }
  for (std::size_t c = 1; c < cell_histogram.size(); ++c) {
    if (cell_histogram[c] < 0) cell_histogram[c] = cell_histogram[c - 1];
  }
  // Cells past the last entry are served by it, as the clamp of cell_index
  // does; the map is continued with it up to the cell of the last bound (at
  // most 2^16 cells), so that couplings there need no clamp.
  std::size_t cells = cell_histogram.size();
  for (const route& r : routes_) {
    const double bound = std::isnan(r.bound) ? H_max_ : r.bound;
    const double q = bound / r.step;
    if (!(q >= 0.0 && q < 0x1.0p40)) continue;
    const std::int64_t j = r.offset + static_cast<std::int64_t>(q);
    if (j >= 0) cells = std::max(cells, static_cast<std::size_t>(j) + 1);
  }
  cells = std::min(cells, cell_histogram.size() + (std::size_t{1} << 16));
  const std::int32_t last_histogram = cell_histogram.back();
  cell_histogram.resize(cells, last_histogram);

  // The coupling range of each histogram: from the first coupling the lookup
  // lines route to the cell of its first entry or beyond (H0 for the first
  // entry, which also serves the couplings below its cell) to the first
  // coupling routed to the cell of the next entry or beyond, or H_max for
  // the last.
  const std::size_t count = t.histograms.size();
  lower_.assign(count, std::numeric_limits<double>::infinity());
  upper_.assign(count, -1.0);
  for (std::size_t e = 0; e < t.map_j.size(); ++e) {
    const auto g = static_cast<std::size_t>(t.map_g[e]);
    const double begin = e == 0 ? H0_ : first_coupling_from(t, t.map_j[e]);
    const double end = e + 1 < t.map_j.size()
                           ? first_coupling_from(t, t.map_j[e + 1])
                           : H_max_;
    lower_[g] = std::min(lower_[g], begin);
    upper_[g] = std::max(upper_[g], end);
  }
  // A histogram the map never names is never drawn from: its range is its
  // own coupling.
  for (std::size_t g = 0; g < count; ++g) {
    if (upper_[g] < 0.0) lower_[g] = upper_[g] = t.histograms[g].H;
  }

  area_.reserve(count);
  pieces_.reserve(count * static_cast<std::size_t>(Nd_poi_));
  for (std::size_t g = 0; g < count; ++g) {
    const histogram& hist = t.histograms[g];
    if (hist.x.size() != static_cast<std::size_t>(Nd_poi_) + 1) {
      throw table_error(g < t.record_lines.size() ? t.record_lines[g] : 0,
                        "a histogram must have Nd_poi + 1 points");
    }
    area_.push_back(hist.area);
    const double top = upper_[g];
    const double low = lower_[g];
    const double range = top - low;
    for (int k = 0; k < Nd_poi_; ++k) {
      const auto i = static_cast<std::size_t>(k);
      const double width = hist.x[i + 1] - hist.x[i];
      const double scale = width / hist.area;
      // The density's least value on the piece, over every coupling the
      // histogram serves, as a fraction of the box height.
      const double least = std::exp(top * (hist.x[i] - 1.0));
      double squeeze = least * width / hist.area * (1.0 - squeeze_margin);
      squeeze = std::min(squeeze, 1.0);
      // The bounds from above are raised by the margin at both ends of their
      // chords, so that the chords through them stay above the density.
      const double most =
          std::exp(low * (hist.x[i] - 1.0)) * scale * (1.0 + squeeze_margin);
      double chord = most;
      double chord_change = 0.0;
      if (!(most >= std::numeric_limits<double>::min())) {
        // Underflowed: rounding could put a bound this small under the
        // density, so the density decides every try here.
        chord = std::numeric_limits<double>::infinity();
      } else if (range > 0.0) {
        const double at_top = least * scale * (1.0 + squeeze_margin);
        // The falling chord subtracts; past a fall by 10^4 its rounding
        // could exceed the margin, and the level bound at low is kept.
        if (at_top * 1e4 >= most) chord_change = (at_top - most) / range;
      }
      double rise = 0.0;
      double rise_change = 0.0;
      if (width > 0.0) {
        rise = std::expm1(low * width) / width * (1.0 + squeeze_margin);
        if (range > 0.0) {
          const double to = std::expm1(top * width) / width * (1.0 + squeeze_margin);
          rise_change = (to - rise) / range;
        }
      }
      pieces_.push_back({hist.x[i], width, squeeze, 1.0 - hist.x[i], chord,
                         chord_change, rise, rise_change});
    }
  }
  if (pieces_.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw table_error(t.map_line, "the table holds too many pieces");
  }
  cells_.reserve(cell_histogram.size());
  for (const std::int32_t g : cell_histogram) {
    cells_.push_back({g, static_cast<std::uint32_t>(g) *
                             static_cast<std::uint32_t>(Nd_poi_)});
  }
  fast_.reserve(pieces_.size());
  for (const piece& p : pieces_) {
    const std::uint64_t threshold =
        p.squeeze > 0.0
            ? static_cast<std::uint64_t>(std::ceil(p.squeeze * 0x1.0p53))
            : 0;
    const double span = p.squeeze > 0.0 ? p.width / p.squeeze : 0.0;
    fast_.push_back({p.left, span * 0x1.0p-53, threshold});
  }
}

}  // namespace o3::sampler
