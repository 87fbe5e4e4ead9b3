// The histogram map: from a coupling's cell on the mapping to the histogram serving it.
#pragma once

#include "sampler/o3_format.h"

namespace o3 {

// Most entries the map may hold, as many as a table may hold.
inline constexpr int map_capacity = O3_MAX_MAP_ENTRIES;

// One map entry: map index j of a walk point, grid index g of its histogram.
struct map_entry {
  int j;
  int g;
};

// The first walk point, H0 + 1e-7, inside H0's own cell.
double first_walk_point();

// Base indices cst[1..N_DH], so that j = cst[k] + trunc(h / D_Hn[k]) runs on
// across the piece bounds and, when H0 >= 100, starts from 0.
void base_indices(int* cst);

// Walks h from `start` to H_max in the mapping steps, one entry per point;
// returns their number. Fatal once more than `capacity` are needed.
int walk_map(double start, const double* grid, int N, const int* cst, map_entry* map, int capacity);

}  // namespace o3
