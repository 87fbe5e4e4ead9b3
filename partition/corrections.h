// Finishing a found partition: last point pinned, envelope raised, checked.
#pragma once

namespace o3 {

// Margin by which every envelope covers the density at least.
inline constexpr double envelope_margin = 1.001;

// Lowers Xlimit by 0.01/Nd_poi and pins x[Nd_poi] to it, pulls x[Nd_poi - 1]
// back three fifths of the way from x[Nd_poi - 2] when it is not below,
// multiplies *a by the returned envelope factor (at least 1.001) so that the
// last piece is covered, and fills f1[0..Nd_poi-1] with the envelope heights.
// Fatal "change the % of losses" when x[Nd_poi - 2] is not below the lowered
// Xlimit, "f1 must be > max of the function g1" (after a report on stderr)
// for the first piece whose height is below g1 at its right end. Needs
// Nd_poi >= 2.
double corrections(double* x, double* f1, double* a, int Nd_poi);

}  // namespace o3
