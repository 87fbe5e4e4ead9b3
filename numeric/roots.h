// Root bracketing by forward steps, and Ridders' method on a bracket.
#pragma once

namespace o3 {

// fn(p, y, c): p and c are handed through unchanged, only y varies.
using root_function = double (*)(double p, double y, double c);

// Iterations of Ridders' method before zriddr gives up.
inline constexpr int ridders_max_iterations = 600;
// The estimate zriddr holds before its first update.
inline constexpr double ridders_no_estimate = -1.11e30;

// Steps y = p + step, p + 2 step, ... (by repeated addition) and returns the
// first y where fn(p, y, c) > 0; 1.01 * y where it is exactly 0; Xlimit + 1
// once a y beyond the run parameter Xlimit (read after every step) is still
// negative. Fatal when step is not positive or too small to advance y.
double root1(root_function fn, double p, double step, double c);

// Ridders' method on the bracket [x1, x2] (either order) to accuracy xacc;
// an end where fn is exactly 0 is returned when the ends have no sign change.
// Fatal "root must be bracketed in zriddr.", "zriddr exceed maximum
// iterations at H=<the run parameter H>: ...; choose a smaller H_max" or
// "never get here." (values that are not numbers).
double zriddr(root_function fn, double p, double x1, double x2, double xacc, double c);

}  // namespace o3
