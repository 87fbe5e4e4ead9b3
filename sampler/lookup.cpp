#include "sampler/lookup.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace o3::sampler {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

std::int64_t cell_in(const mapping_piece& p, double h) {
  // A damaged step can make the quotient too large for an integer; such a
  // cell lies beyond every map entry either way.
  const double q = std::clamp(h / p.step, -0x1p62, 0x1p62);
  return p.base + static_cast<std::int64_t>(q);
}

}  // namespace

bool piece_range(const table& t, std::size_t k, double* low, double* high) {
  *low = k == 0 ? t.H0 : std::max(t.H0, t.pieces[k - 1].bound);
  *high = std::nextafter(t.pieces[k].bound, -infinity);
  return *low <= *high;
}

std::size_t piece_of(const table& t, double h) {
  std::size_t k = 0;
  while (k + 1 < t.pieces.size() && !(h < t.pieces[k].bound)) ++k;
  return k;
}

std::int64_t cell_of(const table& t, double h) {
  return cell_in(t.pieces[piece_of(t, h)], h);
}

double first_coupling_from(const table& t, std::int64_t j) {
  for (std::size_t k = 0; k < t.pieces.size(); ++k) {
    const mapping_piece& p = t.pieces[k];
    double low = 0.0;
    double high = 0.0;
    if (!piece_range(t, k, &low, &high) || cell_in(p, high) < j) continue;
    // (j - base) * step is the cell's start as a real number; the division
    // of the C line may round a coupling an ulp or two to either side of it,
    // so step to the first double that the division really puts in cell j.
    double h = std::clamp(static_cast<double>(j - p.base) * p.step, low, high);
    while (h > low && cell_in(p, std::nextafter(h, -infinity)) >= j) {
      h = std::nextafter(h, -infinity);
    }
    while (cell_in(p, h) < j) h = std::nextafter(h, infinity);
    return h;
  }
  return t.H_max;
}

std::vector<double> entry_couplings(const table& t) {
  std::vector<double> first(t.map_j.size(), t.H_max);
  for (std::size_t e = 0; e < t.map_j.size(); ++e) {
    // The first entry also serves couplings whose cells lie below it.
    const double h = e == 0 ? t.H0 : first_coupling_from(t, t.map_j[e]);
    const bool next_takes_it =
        e + 1 < t.map_j.size() && h < t.H_max && cell_of(t, h) >= t.map_j[e + 1];
    if (!next_takes_it) first[e] = h;
  }
  return first;
}

std::vector<double> smallest_served(const table& t) {
  std::vector<double> least(t.histograms.size());
  for (std::size_t g = 0; g < least.size(); ++g) least[g] = t.histograms[g].H;
  const std::vector<double> first = entry_couplings(t);
  for (std::size_t e = 0; e < first.size(); ++e) {
    const auto g = static_cast<std::size_t>(t.map_g[e]);
    if (g < least.size() && first[e] < t.H_max) {
      least[g] = std::min(least[g], first[e]);
    }
  }
  return least;
}

}  // namespace o3::sampler
