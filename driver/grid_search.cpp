// Stage 1's numerical work: the grid search, the rounding and the map walk.
#include "driver/grid_search.h"

#include <cmath>
#include <cstdio>

#include "driver/density.h"
#include "numeric/fatal.h"
#include "numeric/romberg.h"

namespace o3 {
namespace {

// Relative accuracy to which a grid value meets its target integral.
constexpr double grid_tolerance = 0.001;
// Shifts that keep a coupling on a step boundary inside its own cell.
constexpr double round_up = 1e-8;
constexpr double round_down = 1e-9;
constexpr double walk_offset = 1e-7;

// First piece k with Hn[k-1] <= h < Hn[k], or 0 when none holds h.
int piece_of(double h) {
  for (int k = 1; k <= o3::N_DH; ++k) {
    if (o3::Hn[k - 1] <= h && h < o3::Hn[k]) return k;
  }
  return 0;
}

// Stores v as grid[c], or stops the run before the table would overflow.
void store_grid_value(double* grid, int capacity, int c, double v) {
  if (c >= capacity) {
    nrerror("!!! The histogram grid would need more than 100001 values: "
            "increase the losses or decrease H_max");
  }
  grid[c] = v;
}

}  // namespace

void factor_to_ratio() {
  o3::factor = 1.0 + 0.5 * o3::factor;
  if (!(1.0 < o3::factor)) nrerror("The factor must be > 1. ");
}

double split_integral() {
  const double x1 = 0.935 > 1.0 - 7.0 / o3::H ? 0.935 : 1.0 - 7.0 / o3::H;
  const double x2 = 0.99 > 1.0 - 1.0 / o3::H ? 0.99 : 1.0 - 1.0 / o3::H;
  // Integrated and summed in this order.
  const double left = qromb(g1, -1.0, x1);
  const double middle = qromb(g1, x1, x2);
  const double right = qromb(g1, x2, 1.0);
  double sum = left + middle;
  sum = sum + right;
  return sum;
}

int search_grid(double* grid, int capacity) {
  o3::H = o3::H0;
  int c = 0;
  // Also the whole grid when the range is empty and no cycle runs.
  store_grid_value(grid, capacity, c, o3::H);
  while (o3::H < o3::H_max) {
    const double F = qromb(g1, -1.0, 1.0);
    store_grid_value(grid, capacity, c, o3::H);
    const double T = F / o3::factor;
    double H_lo = o3::H;
    double S = 0.0;
    do {
      o3::H = o3::H * 1.3 + 0.1;
      S = split_integral();
    } while (S - T > 0.0);
    double H_hi = o3::H;
    for (;;) {
      o3::H = (H_lo + H_hi) * 0.5;
      S = split_integral();
      const double d = S - T;
      if (std::fabs(d / T) < grid_tolerance) break;
      if (d < 0.0) {
        H_hi = o3::H;
      } else {
        H_lo = o3::H;
      }
    }
    ++c;
    store_grid_value(grid, capacity, c, o3::H);
    if (c % 10 == 0) std::printf("count=%d, H_result=%f\n", c, o3::H);
  }
  return c;
}

void round_grid(double* grid, int N) {
  o3::H = o3::H0 + walk_offset;
  for (int i = 0; i <= N; ++i) {
    for (int k = 1; k <= o3::N_DH; ++k) {
      if (o3::Hn[k - 1] <= grid[i] && grid[i] < o3::Hn[k]) {
        grid[i] = static_cast<int>((grid[i] + round_up) / o3::D_Hn[k]) *
                  o3::D_Hn[k];
      }
    }
  }
}

void base_indices(int* cst) {
  // Above 100 piece 1 is empty and H0 / D_Hn[1] need not fit an int; the
  // count then starts from 0 and is shifted afterwards, which gives the same
  // indices as shifting the count from H0.
  const bool shifted = o3::H0 >= o3::Hn[1];
  cst[1] = shifted ? 0
                   : -static_cast<int>((o3::Hn[0] + round_up) / o3::D_Hn[1]);
  for (int k = 2; k <= o3::N_DH; ++k) {
    cst[k] = cst[k - 1] +
             static_cast<int>((o3::Hn[k - 1] - round_down) / o3::D_Hn[k - 1]) -
             static_cast<int>((o3::Hn[k - 1] + round_up) / o3::D_Hn[k]) + 1;
  }
  if (!shifted) return;
  // Map indices must not fall below 0, where a user's map array begins.
  const double first = o3::H0 + walk_offset;
  const int k = piece_of(first);
  if (k == 0) return;
  const int shift =
      -(cst[k] + static_cast<int>((first + walk_offset) / o3::D_Hn[k]));
  for (int i = 1; i <= o3::N_DH; ++i) cst[i] += shift;
}

int walk_map(const double* grid, int N, const int* cst, map_entry* map,
             int capacity) {
  int n = 0;
  while (o3::H < o3::H_max) {
    const int k = piece_of(o3::H);
    const int j =
        cst[k] + static_cast<int>((o3::H + walk_offset) / o3::D_Hn[k]);
    // The histogram just before the first grid value above H; the scan stops
    // there even where the rounding left later values lower again.
    int g = 0;
    while (g <= N && !(grid[g] > o3::H)) ++g;
    g = g > 0 ? g - 1 : 0;
    if (n >= capacity) {
      nrerror("!!! You must reduce increase D_Hn, the total number of pt must "
              "be <100001");
    }
    map[n++] = {j, g};
    o3::H = o3::H + o3::D_Hn[k];
    if (o3::H > o3::Hn[k]) o3::H = o3::Hn[k];
  }
  return n;
}

}  // namespace o3
