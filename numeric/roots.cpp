// Forward bracketing and Ridders' root refinement.
#include "numeric/roots.h"

#include <cmath>
#include <cstdio>

#include "numeric/fatal.h"
#include "parameters/run_parameters.h"

namespace o3 {
namespace {

// True when g < 0 while fr >= 0, or g > 0 while fr < 0: g compared with its
// own magnitude carrying the sign of fr. A zero g never differs.
bool differs_in_sign(double g, double fr) {
  return (fr >= 0.0 ? std::fabs(g) : -std::fabs(g)) != g;
}

}  // namespace

double root1(root_function fn, double p, double step, double c) {
  if (!(step > 0.0)) nrerror("root1: the step must be > 0");
  double y = p;
  for (;;) {
    const double next = y + step;
    // A step lost in the rounding of y would never reach Xlimit.
    if (next == y) nrerror("root1: the step is too small to advance");
    y = next;
    const double v = fn(p, y, c);
    if (v == 0.0) return 1.01 * y;
    if (v > 0.0) return y;
    if (y > o3::Xlimit) return o3::Xlimit + 1.0;
  }
}

double zriddr(root_function fn, double p, double x1, double x2, double xacc, double c) {
  double fl = fn(p, x1, c);
  double fh = fn(p, x2, c);
  if ((fl > 0.0 && fh < 0.0) || (fl < 0.0 && fh > 0.0)) {
    double xl = x1;
    double xh = x2;
    double ans = ridders_no_estimate;
    for (int j = 1; j <= ridders_max_iterations; ++j) {
      const double xm = 0.5 * (xl + xh);
      const double fm = fn(p, xm, c);
      const double w = std::sqrt(fm * fm - fl * fh);
      if (w == 0.0) return ans;
      const double sigma = fl >= fh ? 1.0 : -1.0;
      const double xnew = xm + (xm - xl) * (sigma * fm / w);
      // The previous estimate is returned and the new one dropped.
      if (std::fabs(xnew - ans) <= xacc) return ans;
      ans = xnew;
      const double fnew = fn(p, ans, c);
      if (fnew == 0.0) return ans;
      if (differs_in_sign(fm, fnew)) {
        xl = xm;
        fl = fm;
        xh = ans;
        fh = fnew;
      } else if (differs_in_sign(fl, fnew)) {
        xh = ans;
        fh = fnew;
      } else if (differs_in_sign(fh, fnew)) {
        xl = ans;
        fl = fnew;
      } else {
        nrerror("never get here.");
      }
      if (std::fabs(xh - xl) <= xacc) return ans;
    }
    // Only at couplings so large that the density's width 1/H is lost in
    // the rounding of the points: the user's remedy is a smaller range.
    char message[200];
    std::snprintf(message, sizeof message,
                  "zriddr exceed maximum iterations at H=%f: the density is "
                  "too narrow there for the root finder; choose a smaller "
                  "H_max",
                  o3::H);
    nrerror(message);
  }
  if (fl == 0.0) return x1;
  if (fh == 0.0) return x2;
  nrerror("root must be bracketed in zriddr.");
}

}  // namespace o3
