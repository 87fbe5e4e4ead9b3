// Equal-box-area partition of [-1, Xlimit] for the density at the current H.
#pragma once

namespace o3 {

// Box-area ratio of one stepping move of find_a.
inline constexpr double area_step = 1.2;
// Bisection steps find_a takes at most beyond the first two.
inline constexpr int max_bisections = 200;

// Box height of the piece [x1, x2]: g1(x2), the maximum for H > 0.
double g1_Deltax_max(double x1, double x2);

// Box area of [x1, x2] minus a; rises from -a at x2 = x1 for H > 0.
double g1_Deltax(double x1, double x2, double a);

// The right end of the piece that starts at x and has box area a, found by
// root1 with step Acc_interval and zriddr to the given accuracy; the past-end
// mark Xlimit + 1 when x > Xlimit or no bracket starts at or below Xlimit.
double find_x(double x, double a, double accuracy);

// x[i] = find_x(x[i - 1], a, accuracy) for i = 1..Nd_poi in order; x[0] is
// the caller's.
void find_x_all(double a, double* x, int Nd_poi, double accuracy);

// Where the search ends and when it stops. The caller sets Xlimit to
// 1 + strip before find_a, and corrections lowers it by the same strip.
struct search_end {
  double strip;         // how far beyond 1 the search end lies
  double accuracy;      // bisect while x[Nd_poi] is farther from Xlimit
  double close_enough;  // after a step, stop once it is nearer than this
  double ridders;       // accuracy of each point
};

// The usual end: 0.01/Nd_poi beyond 1, Acc_a, 1/(50 Nd_poi) and
// Acc_ridders.
search_end usual_end(int Nd_poi);

// For couplings so large that the pieces next to 1 are narrower than the
// usual strip: a strip of min(0.01/Nd_poi, 0.05 m), m the mean mass per
// piece and about the width of those pieces, so that it stays a small part
// of the last piece; a tolerance of a tenth of the strip; and points placed
// to a tenth of that, so that shortening each piece by the accuracy does not
// add to the losses.
search_end narrow_end(int Nd_poi, double m);

// The box area for which the last of Nd_poi pieces ends on Xlimit: stepping
// by 1.2 to a bracket, then bisection until x[Nd_poi] is within
// end.accuracy, or within end.close_enough after a step, or 202 midpoints
// were built. Returns the upper end of the final bracket; x holds the
// partition of the last build, which may be the lower end's.
double find_a(double a, double* x, int Nd_poi, const search_end& end);

// Marker at fixed stages of the search and the corrections (stage codes 2 to
// 6); returns values[*counter] for stage code 1, else 0, and changes nothing.
double xo_xnd_change(int stage, double a, const int* counter, const double* values,
                     const double* scratch, const int* Nd_poi);

}  // namespace o3
