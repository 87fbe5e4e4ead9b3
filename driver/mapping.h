// The H-mapping: the pieces of the coupling axis, each with its own step.
#pragma once

#include "driver/run_parameters.h"

namespace o3 {

// Shifts that keep a coupling on a step boundary inside its own cell.
inline constexpr double step_round_up = 1e-8;
inline constexpr double step_round_down = 1e-9;

// Builds N_DH, Hn[0..N_DH] and D_Hn[0..N_DH] from H0, H_max and the losses p
// in percent: piece 1 ends at 100, piece k >= 2 at 1000 * 10^(k-2). Needs
// H_max <= 10^100, where the 99 pieces are full.
void build_mapping(double p);

// The first piece k with Hn[k-1] <= h < Hn[k], or 0 when none holds h.
int piece_of(double h);

// Where piece k ends as the lookup lines show it: Hn[k], or H_max for the last.
double shown_upper_end(int k);

// The rows "\tif(lo<H<hi ) j=cst+(int)(H/step);" of the pieces that begin
// below H_max, on standard output.
void print_mapping_table();

}  // namespace o3
