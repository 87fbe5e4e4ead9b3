// The histogram map: the base indices of the lookup lines and the walk.
#include "driver/histogram_map.h"

#include "driver/mapping.h"
#include "numeric/fatal.h"
#include "parameters/run_parameters.h"

namespace o3 {
namespace {

// Keeps a walk point on a step boundary inside its own cell.
constexpr double walk_offset = 1e-7;

}  // namespace

double first_walk_point() { return o3::H0 + walk_offset; }

void base_indices(int* cst) {
  // Above 100 piece 1 is empty and H0 / D_Hn[1] need not fit an int; the
  // count then starts from 0 and is shifted afterwards, which gives the same
  // indices as shifting the count from H0.
  const bool shifted = o3::H0 >= o3::Hn[1];
  cst[1] = shifted ? 0 : -static_cast<int>((o3::Hn[0] + step_round_up) / o3::D_Hn[1]);
  for (int k = 2; k <= o3::N_DH; ++k) {
    cst[k] = cst[k - 1] + static_cast<int>((o3::Hn[k - 1] - step_round_down) / o3::D_Hn[k - 1]) -
             static_cast<int>((o3::Hn[k - 1] + step_round_up) / o3::D_Hn[k]) + 1;
  }
  if (!shifted) return;
  // Map indices must not fall below 0, where a user's map array begins.
  const double first = first_walk_point();
  const int k = piece_of(first);
  if (k == 0) return;
  const int shift = -(cst[k] + static_cast<int>((first + walk_offset) / o3::D_Hn[k]));
  for (int i = 1; i <= o3::N_DH; ++i) cst[i] += shift;
}

int walk_map(double start, const double* grid, int N, const int* cst, map_entry* map,
             int capacity) {
  int n = 0;
  double h = start;
  while (h < o3::H_max) {
    const int k = piece_of(h);
    const int j = cst[k] + static_cast<int>((h + walk_offset) / o3::D_Hn[k]);
    // The histogram just before the first grid value above h; the scan stops
    // there even where the rounding left later values lower again.
    int g = 0;
    while (g <= N && !(grid[g] > h)) ++g;
    g = g > 0 ? g - 1 : 0;
    if (n >= capacity) {
      static_assert(map_capacity == 100000, "the message states it");
      nrerror(
          "!!! You must reduce increase D_Hn, the total number of pt must "
          "be <100001");
    }
    map[n++] = {j, g};
    h = h + o3::D_Hn[k];
    // A point past the piece's end is lowered onto it, the next piece's start.
    if (h > o3::Hn[k]) h = o3::Hn[k];
  }
  return n;
}

}  // namespace o3
