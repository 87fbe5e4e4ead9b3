// The console dialogue that asks for the range and the losses.
#pragma once

namespace o3 {

// Largest H_max the dialogue accepts: for every losses from 1 to 604 % the
// histograms of every coupling that a run up to it computes can be finished
// (measured: the root finder fails from H = 13049.25 on with 2 pieces, and
// the grid's last coupling reaches up to 4.02 * 1.0011 * H_max).
inline constexpr double H_max_bound = 3200.0;

// Largest H_max the mapping can hold: pieces 1..99, the last ending at
// 10^97 * 1000.
double largest_H_max();

// Builds N_DH, Hn[0..N_DH] and D_Hn[0..N_DH] from H0, H_max and the losses p
// in percent; needs H_max <= largest_H_max().
void build_mapping(double p);

// The rows "\tif(lo<H<hi ) j=cst+(int)(H/step);" of the mapping pieces that
// begin below H_max, the last upper end shown as H_max.
void print_mapping_table();

// The dialogue: banner, H0, H_max and the losses, each asked again until the
// answer is acceptable; builds the mapping, leaves factor = p/100 and prints
// the mapping twice around the echo of the range.
void in_out();

}  // namespace o3
