// The console dialogue that asks for the range and the losses.
#pragma once

namespace o3 {

// Largest H_max the dialogue accepts: for every losses from 1 to 604 % the
// histograms of every coupling that a run up to it computes can be finished.
inline constexpr double H_max_bound = 3200.0;

// The banner, then H0, H_max and the losses, each asked again until usable;
// builds the mapping, leaves factor = p/100 (the losses p in percent as a
// fraction) and prints the mapping twice.
void in_out();

}  // namespace o3
