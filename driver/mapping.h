// The H-mapping: the pieces of the coupling axis, each with its own step.
#pragma once

#include "parameters/run_parameters.h"

namespace o3 {

// Shifts that keep a coupling on a step boundary inside its own cell.
inline constexpr double step_round_up = 1e-8;
inline constexpr double step_round_down = 1e-9;

// v as the files give it: printf's "%f", six decimals, read back. The
// lookup lines state each step so, and a simulation routes its couplings by
// that value, so the grid and the map are built on it too: with losses of
// more than three decimals the product has more digits (0.004 * 12.3456 =
// 0.0493824, written 0.049382), and a map built on it would send couplings
// to histograms made for larger ones.
double as_written(double v);

// Builds N_DH, Hn[0..N_DH] and D_Hn[0..N_DH] from H0, H_max and the losses p
// in percent: piece 1 ends at 100, piece k >= 2 at 1000 * 10^(k-2). Needs
// H_max <= 10^100, where the 99 pieces are full.
void build_mapping(double p);

// Where piece k >= 1 ends: 100 for the first, 1000 * 10^(k-2) beyond.
double piece_bound(int k);

// The first piece bound below h_max that h_max does not exceed once both
// are written with six decimals, or 0 when there is none. The lookup lines
// would then end two pieces at one bound, which the reader refuses: 100
// for h_max in (100, 100.0000005].
double bound_not_exceeded(double h_max);

// The first piece k with Hn[k-1] <= h < Hn[k], or 0 when none holds h.
int piece_of(double h);

// Where piece k ends as the lookup lines show it: Hn[k], or H_max for the last.
double shown_upper_end(int k);

// The rows "\tif(lo<H<hi ) j=cst+(int)(H/step);" of the pieces that begin
// below H_max, on standard output.
void print_mapping_table();

}  // namespace o3
