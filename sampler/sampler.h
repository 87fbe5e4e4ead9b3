// Drawing y in [-1, 1] with density proportional to exp(h*y - h) from the
// tables of an O3.res file, for any coupling h the file's map serves.
#pragma once

#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <type_traits>
#include <vector>

#include "sampler/table.h"

namespace o3::sampler {

// A piece of one histogram as the tries after the first need it. Heights are
// fractions of the box; t is the offset y - left of a point in the piece; the
// coupling h lies between the smallest coupling lo and the largest up that
// the histogram serves. The density is convex and rising in y and convex and
// falling in h, so its tangents lie below it and its chords above, in each
// variable: below() and above() bound it without evaluating it.
struct piece {
  double left;          // x[k]
  double width;         // x[k+1] - x[k]
  double squeeze;       // the density at left for the coupling up
  double depth;         // 1 - left
  double chord;         // the density at left for the coupling lo
  double chord_change;  // per unit of h - lo, along its chord to up
  double rise;          // (exp(lo * width) - 1) / width: the chord in t
  double rise_change;   // per unit of h - lo, along its chord to up

  // Below the density for h, up - h = to_top: the tangent in h at up of its
  // value at left, times exp(h t) >= 1 + h t + (h t)^2 / 2.
  double below(double h, double to_top, double t) const {
    const double ht = h * t;
    return squeeze * (1.0 + to_top * depth) * (1.0 + ht * (1.0 + 0.5 * ht));
  }
  // Above the density for h - lo = from_bottom: the chord in h of its value at
  // left, times the chord in t of exp(h t) with its slope's chord in h. Not a
  // number where a bound would overflow: then nothing is decided by it.
  double above(double from_bottom, double t) const {
    return (chord + from_bottom * chord_change) *
           (1.0 + t * (rise + from_bottom * rise_change));
  }
};

class sampler {
 public:
  // Prepares a loaded table: the dense map from cell index to histogram and
  // the squeeze of every piece, valid for every coupling its histogram
  // serves. The table is not kept.
  explicit sampler(const table& t);

  double H0() const { return H0_; }
  double H_max() const { return H_max_; }
  int pieces_per_histogram() const { return Nd_poi_; }
  int histogram_count() const { return static_cast<int>(area_.size()); }

  // Index of the histogram that serves h, routed exactly as the file's C
  // lookup lines and map do; a cell without an entry of its own is served by
  // the entry before it. Needs H0 <= h < H_max.
  int histogram_of(double h) const { return cells_[cell_index(h)].histogram; }

  // Largest coupling routed to histogram g (its squeezes hold up to it).
  double largest_coupling(int g) const { return upper_[static_cast<std::size_t>(g)]; }
  // Smallest coupling routed to histogram g (its chords hold down to it).
  double smallest_coupling(int g) const { return lower_[static_cast<std::size_t>(g)]; }

  // The prepared pieces of histogram g.
  std::span<const piece> pieces_of(int g) const {
    return {&pieces_[static_cast<std::size_t>(g) * nd_], nd_};
  }

  // The lookup pieces as the draw walks them: couplings below `bound` go to
  // the cell offset + (int)(h / step) of the dense map.
  struct route {
    double bound;         // NaN for the last piece
    double step;
    std::int64_t offset;  // base - first_cell()
  };
  // For code generated from this table, which must route as the draw does:
  // the routes, the map index of the dense map's first cell and its size
  // (continued past the last entry, see the constructor).
  std::span<const route> routes() const { return routes_; }
  std::int32_t first_cell() const { return first_cell_; }
  std::size_t cell_count() const { return cells_.size(); }

  // One draw for coupling h in [H0, H_max), from a uniform random bit
  // generator.
  template <class URBG>
  double draw(double h, URBG& rng) const {
    return draw_impl<true>(h, rng);
  }

  // The same draw without the squeeze: every point is tested against the
  // density. For comparisons of speed and of distributions.
  template <class URBG>
  double draw_unsqueezed(double h, URBG& rng) const {
    return draw_impl<false>(h, rng);
  }

  // Not a draw: the squeezed first try alone, its point or NaN where it
  // misses the squeeze. For measuring what the misses cost.
  template <class URBG>
  double first_try(double h, URBG& rng) const {
    return draw_impl<true, true>(h, rng);
  }

  // Numbers of box points tried and accepted, for measuring the acceptance
  // rate; draw_counted adds to them.
  struct counts {
    std::uint64_t tried = 0;
    std::uint64_t accepted = 0;
  };
  template <class URBG>
  double draw_counted(double h, URBG& rng, counts* c) const {
    return draw_impl<true>(h, rng, c);
  }

 private:
  // The dense map, indexed by j - first_cell_: the histogram serving cell j
  // and the index of its first piece. Past the last map entry it is
  // continued with that entry up to the cell of the last bound.
  struct cell {
    std::int32_t histogram;
    std::uint32_t first_piece;  // histogram * Nd_poi
  };
  // The squeezed first try's view of each piece, in the order of pieces_:
  // v < squeeze exactly when m < threshold (m the top 53 bits of v's word),
  // and v * width / squeeze = m * scale, both exact rescalings by 2^53.
  struct fast_piece {
    double left;
    double scale;             // width / squeeze * 2^-53
    std::uint64_t threshold;  // ceil(squeeze * 2^53)
  };

  template <class URBG>
  static std::uint64_t word(URBG& rng) {
    using result = typename URBG::result_type;
    if constexpr (URBG::min() == 0 &&
                  URBG::max() == std::numeric_limits<std::uint64_t>::max()) {
      return static_cast<std::uint64_t>(rng());
    } else if constexpr (URBG::min() == 0 &&
                         URBG::max() == std::numeric_limits<std::uint32_t>::max()) {
      const std::uint64_t hi = static_cast<std::uint32_t>(rng());
      return hi << 32 | static_cast<std::uint32_t>(rng());
    } else {
      static_assert(std::is_unsigned_v<result>);
      std::uniform_int_distribution<std::uint64_t> full;
      return full(rng);
    }
  }

  // The upper 53 bits of a word as a real in [0, 1).
  static double unit(std::uint64_t w) {
    return static_cast<double>(w >> 11) * 0x1.0p-53;
  }

  __extension__ using u128 = unsigned __int128;

  template <bool use_squeeze, bool first_only = false, class URBG>
  double draw_impl(double h, URBG& rng, counts* c = nullptr) const {
    assert(h >= H0_ && h < H_max_ && "coupling outside the table's range");
    const cell& routed = cells_[cell_index(h)];
    const std::size_t first = routed.first_piece;
    if constexpr (use_squeeze) {
      // The first try, inline: one word gives the piece (its high part
      // times Nd_poi) and a uniform fraction v (the top 53 bits m of the low
      // part). Below the squeeze the box lies under the density everywhere
      // on the piece: v / squeeze is then a fresh uniform for the position.
      const u128 product = static_cast<u128>(word(rng)) * nd_;
      const std::size_t k = static_cast<std::size_t>(product >> 64);
      const fast_piece& f = fast_[first + k];
      const std::uint64_t m = static_cast<std::uint64_t>(product) >> 11;
      if (c != nullptr) ++c->tried;
      if (m < f.threshold) [[likely]] {
        if (c != nullptr) ++c->accepted;
        return f.left + static_cast<double>(m) * f.scale;
      }
      if constexpr (first_only) return std::numeric_limits<double>::quiet_NaN();
      return draw_rest(h, routed, k, m, rng, c);
    } else {
      const piece* pieces = &pieces_[first];
      const double area = area_[static_cast<std::size_t>(routed.histogram)];
      for (;;) {
        const u128 product = static_cast<u128>(word(rng)) * nd_;
        const piece& p = pieces[static_cast<std::size_t>(product >> 64)];
        const double v = unit(static_cast<std::uint64_t>(product));
        if (c != nullptr) ++c->tried;
        const double y = p.left + unit(word(rng)) * p.width;
        if (v * area < p.width * std::exp(h * (y - 1.0))) {
          if (c != nullptr) ++c->accepted;
          return y;
        }
      }
    }
  }

  // The rest of a squeezed draw whose first try, piece k and fraction
  // m * 2^-53, missed the squeeze: that try tested against the density,
  // then further tries as in the first. The bounds of the piece at h decide
  // most of these tries without evaluating the density.
  template <class URBG>
  double draw_rest(double h, const cell& routed, std::size_t k, std::uint64_t m,
                   URBG& rng, counts* c) const {
    const piece* pieces = &pieces_[routed.first_piece];
    const fast_piece* fast = &fast_[routed.first_piece];
    const auto g = static_cast<std::size_t>(routed.histogram);
    const double area = area_[g];
    const double to_top = upper_[g] - h;
    const double from_bottom = h - lower_[g];
    for (;;) {
      const piece& p = pieces[k];
      const double v = static_cast<double>(m) * 0x1.0p-53;
      const double t = unit(word(rng)) * p.width;
      const double y = p.left + t;
      if (v < p.below(h, to_top, t) ||
          (!(v >= p.above(from_bottom, t)) &&
           v * area < p.width * std::exp(h * (y - 1.0)))) {
        if (c != nullptr) ++c->accepted;
        return y;
      }
      const u128 product = static_cast<u128>(word(rng)) * nd_;
      k = static_cast<std::size_t>(product >> 64);
      m = static_cast<std::uint64_t>(product) >> 11;
      if (c != nullptr) ++c->tried;
      const fast_piece& f = fast[k];
      if (m < f.threshold) {
        if (c != nullptr) ++c->accepted;
        return f.left + static_cast<double>(m) * f.scale;
      }
    }
  }

  // Index in cells_ of the cell that serves h: the generated C lines'
  // j = base + (int)(h / step) of the first piece whose bound is above h,
  // less the first map index, taken to the nearest end of the map when
  // outside it.
  std::size_t cell_index(double h) const {
    const route* r = routes_.data();
    while (h >= r->bound) ++r;  // the last bound is NaN
    const std::int64_t j = r->offset + static_cast<int>(h / r->step);
    if (static_cast<std::uint64_t>(j) < cells_.size()) [[likely]] {
      return static_cast<std::size_t>(j);
    }
    return j < 0 ? 0 : cells_.size() - 1;
  }

  double H0_;
  double H_max_;
  int Nd_poi_;
  std::uint64_t nd_;
  std::vector<route> routes_;
  std::int32_t first_cell_;
  std::vector<cell> cells_;
  std::vector<double> area_;
  std::vector<double> lower_;
  std::vector<double> upper_;
  std::vector<piece> pieces_;
  std::vector<fast_piece> fast_;
};

}  // namespace o3::sampler
