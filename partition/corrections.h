// Finishing a found partition: last point pinned, envelope raised, checked.
#pragma once

namespace o3 {

// Margin by which every envelope covers the density at least.
inline constexpr double envelope_margin = 1.001;

// How an attempt to finish a partition ended.
struct correction {
  enum outcome {
    done,
    past_the_end,   // x[Nd_poi - 2] not below the lowered Xlimit
    below_density,  // the height of piece `piece` is below g1 on it
  };
  outcome result;
  double factor;  // the envelope factor, when done
  int piece;      // the failing piece, when below_density
};

// Lowers Xlimit by strip and pins x[Nd_poi] to it, pulls x[Nd_poi - 1] back
// three fifths of the way from x[Nd_poi - 2] when it is not below,
// multiplies *a by the envelope factor (at least 1.001) so that the last
// piece is covered, and fills f1[0..Nd_poi-1] with the envelope heights,
// stopping at the first piece whose height is below g1 at its right end.
// Nothing is moved when x[Nd_poi - 2] is not below the lowered Xlimit.
// Prints nothing; ends the run only for Nd_poi < 2, which it cannot
// correct.
correction try_corrections(double* x, double* f1, double* a, int Nd_poi, double strip);

// The report and fatal end of a below_density outcome: the piece on stderr,
// then "f1 must be > max of the function g1".
[[noreturn]] void envelope_failure(const double* x, const double* f1, int piece);

}  // namespace o3
