// The histogram grid: its couplings, their rounding onto the mapping, their pieces.
#pragma once

#include "parameters/run_parameters.h"
#include "sampler/o3_format.h"

namespace o3 {

// Most values the grid may hold: as many as a table may hold histograms and
// one more, which stage 2 refuses ("N_histogram must be < N_histogram_MAX").
inline constexpr int grid_capacity = O3_MAX_HISTOGRAMS + 1;

// The losses as the grid's ratio 1 + p/200, by which the integral of the
// density falls from one grid value to the next, from the fraction p/100
// that the dialogue leaves; and that ratio back in percent, p, as O3.res
// states the losses.
double losses_ratio(double fraction);
double losses_percent_of_ratio(double ratio);

// Turns factor from p/100 into the grid's ratio 1 + p/200; fatal "The factor
// must be > 1. " unless the result is above 1.
void factor_to_ratio();

// Nd_poi for the losses as f = 1 + p/200, between 1 and max_pieces; *capped
// (if given) tells whether the rule gave more than max_pieces.
int pieces_per_histogram(double f, bool* capped = nullptr);

// grid[0..N] from H0 up to the first value at or beyond H_max, the integral of
// g1 falling by factor from one to the next; prints "count=..." every tenth.
// Returns N. Moves H; fatal once more than `capacity` values are needed.
int search_grid(double* grid, int capacity);

// Rounds grid[0..N] down onto the steps of the mapping pieces that hold them.
void round_grid(double* grid, int N);

}  // namespace o3
