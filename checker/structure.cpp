#include "checker/structure.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "sampler/lookup.h"
#include "checker/text.h"

namespace o3::checker {
namespace {

using sampler::first_lookup_line;
using sampler::table;

double below(double v) {
  return std::nextafter(v, -std::numeric_limits<double>::infinity());
}

// The simulation computes cells in C ints, and across a bound they must go
// on increasing or the map's order would not follow the couplings.
void check_lookup(const table& t, std::vector<finding>* found) {
  for (std::size_t k = 0; k < t.pieces.size(); ++k) {
    const sampler::mapping_piece& p = t.pieces[k];
    const int line = first_lookup_line + static_cast<int>(k);
    double low = 0.0;
    double high = 0.0;
    if (!piece_range(t, k, &low, &high)) continue;
    const double quotient = std::max(std::fabs(low), std::fabs(high)) / p.step;
    if (!(quotient + std::fabs(p.base) < 0x1p31)) {
      found->push_back({true, line, "the cells of this lookup line do not fit an int"});
      return;
    }
    if (k + 1 < t.pieces.size() && !(cell_of(t, p.bound) > cell_of(t, high))) {
      found->push_back({true, line + 1, text(
          "the cells must increase across the bound %s: cell %lld below it, %lld at it",
          exact(p.bound).c_str(), static_cast<long long>(cell_of(t, high)),
          static_cast<long long>(cell_of(t, p.bound)))});
    }
  }
}

// Whether every cell from `from` to `to` lies between the cells just below
// and at one bound between two lookup pieces.
bool at_piece_bound(const table& t, std::int64_t from, std::int64_t to) {
  for (std::size_t k = 0; k + 1 < t.pieces.size(); ++k) {
    const double b = t.pieces[k].bound;
    if (b > t.H0 && cell_of(t, below(b)) <= from && to <= cell_of(t, b)) return true;
  }
  return false;
}

void check_map_order(const table& t, std::vector<finding>* found) {
  if (t.map_j.empty()) {
    found->push_back({true, t.map_line - 1, "the map has no entries"});
    return;
  }
  if (t.map_j[0] != 0) {
    found->push_back({true, t.map_line, text("the map must start at cell 0, not %d", t.map_j[0])});
  }
  if (cell_of(t, t.H0) < t.map_j[0]) {
    found->push_back({true, first_lookup_line, text(
        "the lookup lines put H0 = %s in cell %lld, before the map's first entry",
        exact(t.H0).c_str(), static_cast<long long>(cell_of(t, t.H0)))});
  }
  for (std::size_t e = 1; e < t.map_j.size(); ++e) {
    const int line = t.map_line + static_cast<int>(e);
    const std::int64_t previous = t.map_j[e - 1];
    if (t.map_j[e] <= previous) {
      found->push_back({true, line, text("the map indices must increase: %d after %lld",
                                         t.map_j[e], static_cast<long long>(previous))});
    } else if (t.map_j[e] > previous + 1) {
      const std::int64_t from = previous + 1;
      const std::int64_t to = t.map_j[e] - 1;
      const bool bound = at_piece_bound(t, from, to);
      found->push_back({!bound, line, text(
          bound ? "cell %lld%s has no entry; it is at a mapping-piece bound and the "
                  "entry before it (histogram %d) serves it"
                : "cell %lld%s has no entry and is not at a mapping-piece bound "
                  "(histogram %d before it): a map line is missing",
          static_cast<long long>(from),
          from == to ? "" : text(" to %lld", static_cast<long long>(to)).c_str(),
          t.map_g[e - 1])});
    }
  }
}

// A histogram's envelope holds for couplings at or above its own, so an
// entry may only serve couplings at or above its histogram's coupling. A
// cell whose start is a grid coupling in decimals, 33 * 0.12 = 3.96 say,
// can begin a few units in the last place below it in floating point
// (3.9599999999999995): that is the rounding of the division that routes,
// not a fault of the file, and the envelope check covers such couplings.
void check_map_couplings(const table& t, std::vector<finding>* found) {
  constexpr double rounding = 1e-12;
  const std::vector<double> first = entry_couplings(t);
  for (std::size_t e = 0; e < first.size(); ++e) {
    const double H = t.histograms[static_cast<std::size_t>(t.map_g[e])].H;
    if (first[e] < t.H_max && H - first[e] > rounding * H) {
      found->push_back({true, t.map_line + static_cast<int>(e), text(
          "map entry %d -> histogram %d: the histogram's coupling %s is above %s, "
          "the smallest coupling the entry serves",
          t.map_j[e], t.map_g[e], exact(H).c_str(), exact(first[e]).c_str())});
    }
  }
}

void check_points(const table& t, std::vector<finding>* found) {
  for (std::size_t g = 0; g < t.histograms.size(); ++g) {
    const std::vector<double>& x = t.histograms[g].x;
    const int line = t.record_lines[g] + 1;  // of x[0]
    if (x.front() != -1.0) {
      found->push_back({true, line, text("histogram %zu: the first point is %s, not -1",
                                         g, exact(x.front()).c_str())});
      continue;
    }
    std::size_t i = 1;
    while (i < x.size() && x[i] > x[i - 1]) ++i;
    if (i < x.size()) {
      found->push_back({true, line + static_cast<int>(i), text(
          "histogram %zu: point %zu (%s) is not above point %zu (%s)", g, i,
          exact(x[i]).c_str(), i - 1, exact(x[i - 1]).c_str())});
    } else if (std::fabs(x.back() - 1.0) > 0x1p-52) {
      // The right end may be written one ulp below 1, 1 - 2^-53.
      found->push_back({true, line + static_cast<int>(x.size()) - 1, text(
          "histogram %zu: the last point is %s, not 1", g, exact(x.back()).c_str())});
    }
  }
}

}  // namespace

std::vector<finding> check_structure(const table& t) {
  std::vector<finding> found;
  check_lookup(t, &found);
  if (any_failure(found)) return found;  // cells of a broken lookup mean nothing
  check_map_order(t, &found);
  check_map_couplings(t, &found);
  check_points(t, &found);
  return found;
}

}  // namespace o3::checker
