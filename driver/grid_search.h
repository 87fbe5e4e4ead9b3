// The histogram grid of a run, its rounding onto the mapping steps, and the
// map from a discretised coupling to the histogram that serves it.
#pragma once

#include "driver/run_parameters.h"

namespace o3 {

// Capacities of the tables that stage 1 fills.
inline constexpr int grid_capacity = 100001;
inline constexpr int map_capacity = 100000;

// One histogram-map entry: map index j of a walk point, grid index g.
struct map_entry {
  int j;
  int g;
};

// Turns factor from p/100 into 1 + p/200; fatal "The factor must be > 1. "
// unless the result is above 1.
void factor_to_ratio();

// Integral of g1 over [-1, 1] at the current H, in three pieces split near 1
// where the density rises steeply.
double split_integral();

// Grid values from H0 up to the first at or beyond H_max, each where the
// integral of g1 is the previous one divided by factor (to 0.1 %); prints
// "count=..." every tenth value. Returns N, the last index (0, with grid[0] =
// H0, when the range is empty). Moves H. Fatal once more than `capacity` values are needed.
int search_grid(double* grid, int capacity);

// Sets H = H0 + 1e-7 and rounds grid[0..N] down onto the steps of the pieces
// that hold them; a value the rounding leaves on the next piece's lower bound
// is rounded again with that piece's step.
void round_grid(double* grid, int N);

// Base indices cst[1..N_DH], so that j = cst[k] + trunc(h / D_Hn[k]) runs on
// across the piece bounds; when H0 >= 100 all are shifted so that the first
// walk point has index 0.
void base_indices(int* cst);

// Walks H from its current value (H0 + 1e-7) to H_max in the mapping steps
// and stores one entry per walk point; returns their number. Fatal "!!! You
// must reduce increase D_Hn, ..." once more than `capacity` are needed.
int walk_map(const double* grid, int N, const int* cst, map_entry* map,
             int capacity);

}  // namespace o3
