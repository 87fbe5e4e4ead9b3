// Drawing y in [-1, 1] with density proportional to exp(h*y - h) from the
// tables of an O3.res file, for any coupling h the file's map serves.
#pragma once

#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "sampler/table.h"

namespace o3::sampler {

// A piece of one histogram as the draw needs it.
struct piece {
  double left;     // x[k]
  double squeeze;  // below this fraction of the box, accept at once
  double span;     // width / squeeze: the fast path's position scale
  double width;    // x[k+1] - x[k]
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
  int histogram_of(double h) const;

  // Largest coupling routed to histogram g (its squeezes hold up to it).
  double largest_coupling(int g) const { return upper_[static_cast<std::size_t>(g)]; }

  // The prepared pieces of histogram g.
  std::span<const piece> pieces_of(int g) const {
    return {&pieces_[static_cast<std::size_t>(g) * nd_], nd_};
  }

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

  template <bool use_squeeze, class URBG>
  double draw_impl(double h, URBG& rng, counts* c = nullptr) const {
    assert(h >= H0_ && h < H_max_ && "coupling outside the table's range");
    const std::size_t g = static_cast<std::size_t>(histogram_of(h));
    const piece* pieces = &pieces_[g * static_cast<std::size_t>(Nd_poi_)];
    const double area = area_[g];
    for (;;) {
      // One word gives the piece (its high part times Nd_poi) and a uniform
      // fraction v (the low part of that product).
      __extension__ using u128 = unsigned __int128;
      const u128 product = static_cast<u128>(word(rng)) * nd_;
      const piece& p = pieces[static_cast<std::size_t>(product >> 64)];
      const double v = unit(static_cast<std::uint64_t>(product));
      if (c != nullptr) ++c->tried;
      if constexpr (use_squeeze) {
        // Below the squeeze the box lies under the density everywhere on the
        // piece: v / squeeze is then a fresh uniform for the position.
        if (v < p.squeeze) {
          if (c != nullptr) ++c->accepted;
          return p.left + v * p.span;
        }
      }
      const double y = p.left + unit(word(rng)) * p.width;
      if (v * area < p.width * std::exp(h * (y - 1.0))) {
        if (c != nullptr) ++c->accepted;
        return y;
      }
    }
  }

  int cell_of(double h) const;
  // Smallest coupling that the lookup lines send to cell j.
  double cell_lower_end(std::int32_t j) const;

  double H0_;
  double H_max_;
  int Nd_poi_;
  std::uint64_t nd_;
  std::vector<mapping_piece> lookup_;
  std::int32_t first_cell_;
  std::vector<std::int32_t> cell_histogram_;  // indexed by j - first_cell_
  std::vector<double> area_;
  std::vector<double> upper_;
  std::vector<piece> pieces_;
};

}  // namespace o3::sampler
