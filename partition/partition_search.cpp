// The search for the partition points and the common box area.
#include "partition/partition_search.h"

#include <cmath>

#include "numeric/roots.h"
#include "parameters/density.h"
#include "parameters/run_parameters.h"

namespace o3 {
namespace {

// +1 when the last point reached or passed Xlimit, -1 otherwise (also when
// the difference is not a number).
int last_point_sign(const double* x, int Nd_poi) { return x[Nd_poi] - o3::Xlimit >= 0.0 ? 1 : -1; }

}  // namespace

double g1_Deltax_max(double /*x1*/, double x2) { return g1(x2); }

double g1_Deltax(double x1, double x2, double a) { return g1_Deltax_max(x1, x2) * (x2 - x1) - a; }

double find_x(double x, double a, double accuracy) {
  if (x > o3::Xlimit) return o3::Xlimit + 1.0;
  const double r = root1(g1_Deltax, x, o3::Acc_interval, a);
  if (r - o3::Acc_interval > o3::Xlimit) return o3::Xlimit + 1.0;
  // The bracket may reach above Xlimit, so a point can land up to one step
  // beyond it.
  const double z = zriddr(g1_Deltax, x, r - o3::Acc_interval, r, accuracy, a);
  const double d1 = g1_Deltax(x, z, a);
  const double d2 = g1_Deltax(x, z + accuracy, a);
  // No sign change within the accuracy above z: z may lie past the root.
  if (d1 * d2 > 0.0) return z - accuracy;
  return z;
}

void find_x_all(double a, double* x, int Nd_poi, double accuracy) {
  for (int i = 1; i <= Nd_poi; ++i) x[i] = find_x(x[i - 1], a, accuracy);
}

search_end usual_end(int Nd_poi) {
  const auto n = static_cast<double>(Nd_poi);
  return {0.01 / n, o3::Acc_a, 1.0 / (n * 50.0), o3::Acc_ridders};
}

search_end narrow_end(int Nd_poi, double m) {
  const double strip = std::fmin(0.01 / static_cast<double>(Nd_poi), 0.05 * m);
  const double tolerance = strip / 10.0;
  return {strip, std::fmin(o3::Acc_a, tolerance), tolerance,
          std::fmin(o3::Acc_ridders, tolerance / 10.0)};
}

double find_a(double a, double* x, int Nd_poi, const search_end& end) {
  int counter = 0;
  const double scratch[max_pieces + 1] = {};  // for the hook, never used
  xo_xnd_change(2, a, &counter, x, scratch, &Nd_poi);

  find_x_all(a, x, Nd_poi, end.ridders);
  const int s0 = last_point_sign(x, Nd_poi);
  double a_lo = 0.0;
  double a_hi = 0.0;
  for (;;) {
    a = s0 == 1 ? a / area_step : a * area_step;
    find_x_all(a, x, Nd_poi, end.ridders);
    const int s = last_point_sign(x, Nd_poi);
    if (s0 == 1 && s == -1) {
      a_lo = a;
      a_hi = a * area_step;
      break;
    }
    if (s0 == -1 && s == 1) {
      a_hi = a;
      a_lo = a / area_step;
      break;
    }
  }

  while (std::fabs(x[Nd_poi] - o3::Xlimit) > end.accuracy) {
    a_hi = (a_lo + a_hi) * 0.5;
    const double m = a_hi;
    find_x_all(a_hi, x, Nd_poi, end.ridders);
    if (o3::Xlimit > x[Nd_poi]) {
      // The midpoint fell short: it becomes the lower end, and the upper end
      // is recomputed from it rather than kept.
      a_hi = 2.0 * m - a_lo;
      a_lo = (a_hi + a_lo) * 0.5;
    }
    if (counter++ > max_bisections) break;
    if (end.close_enough > std::fabs(x[Nd_poi] - o3::Xlimit)) break;
  }
  xo_xnd_change(3, a_lo, &counter, x, scratch, &Nd_poi);
  return a_hi;
}

double xo_xnd_change(int stage, double /*a*/, const int* counter, const double* values,
                     const double* /*scratch*/, const int* /*Nd_poi*/) {
  return stage == 1 ? values[*counter] : 0.0;
}

}  // namespace o3
