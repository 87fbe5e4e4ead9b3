// Preparing a table for drawing: the dense map and the squeezes.
#include "sampler/sampler.h"

#include <algorithm>

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
      lookup_(t.pieces),
      first_cell_(t.map_j.empty() ? 0 : t.map_j.front()) {
  if (t.map_j.empty()) throw table_error(t.map_line, "the map is empty");
  // Dense map: a cell without an entry takes the histogram of the entry
  // before it.
  const std::int32_t last = t.map_j.back();
  if (last < first_cell_) {
    throw table_error(t.map_line, "the map indices must increase");
  }
  cell_histogram_.assign(static_cast<std::size_t>(last - first_cell_) + 1, -1);
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
    cell_histogram_[static_cast<std::size_t>(t.map_j[e] - first_cell_)] =
        t.map_g[e];
  }
  for (std::size_t c = 1; c < cell_histogram_.size(); ++c) {
    if (cell_histogram_[c] < 0) cell_histogram_[c] = cell_histogram_[c - 1];
  }

  // The largest coupling of each histogram: the lower end of the cell of the
  // next entry that names another histogram, or H_max for the last.
  const std::size_t count = t.histograms.size();
  upper_.assign(count, -1.0);
  for (std::size_t e = 0; e < t.map_j.size(); ++e) {
    const double end = e + 1 < t.map_j.size()
                           ? cell_lower_end(t.map_j[e + 1])
                           : H_max_;
    double& u = upper_[static_cast<std::size_t>(t.map_g[e])];
    u = std::max(u, end);
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
    const double top = upper_[g] >= 0.0 ? upper_[g] : hist.H;
    for (int k = 0; k < Nd_poi_; ++k) {
      const auto i = static_cast<std::size_t>(k);
      const double width = hist.x[i + 1] - hist.x[i];
      // The density's least value on the piece, over every coupling the
      // histogram serves, as a fraction of the box height.
      const double least = std::exp(top * (hist.x[i] - 1.0));
      double squeeze = least * width / hist.area * (1.0 - squeeze_margin);
      squeeze = std::min(squeeze, 1.0);
      pieces_.push_back({hist.x[i], squeeze,
                         squeeze > 0.0 ? width / squeeze : 0.0, width});
    }
  }
}

int sampler::cell_of(double h) const {
  // The generated C lines: the first piece whose bound is above h.
  std::size_t k = 0;
  while (k + 1 < lookup_.size() && !(h < lookup_[k].bound)) ++k;
  return lookup_[k].base + static_cast<int>(h / lookup_[k].step);
}

double sampler::cell_lower_end(std::int32_t j) const {
  for (std::size_t k = lookup_.size(); k-- > 0;) {
    const mapping_piece& p = lookup_[k];
    const double low = k == 0 ? H0_ : lookup_[k - 1].bound;
    if (!(low < p.bound)) continue;  // a piece below H0 holds no cell
    const std::int64_t first = static_cast<std::int64_t>(p.base) +
                               static_cast<std::int64_t>(low / p.step);
    if (j >= first) {
      return std::max(low, static_cast<double>(j - p.base) * p.step);
    }
  }
  return H0_;
}

int sampler::histogram_of(double h) const {
  const std::int64_t c = static_cast<std::int64_t>(cell_of(h)) - first_cell_;
  const std::int64_t last = static_cast<std::int64_t>(cell_histogram_.size()) - 1;
  return cell_histogram_[static_cast<std::size_t>(std::clamp<std::int64_t>(c, 0, last))];
}

}  // namespace o3::sampler
