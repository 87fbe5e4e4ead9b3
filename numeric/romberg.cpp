// Romberg integration with a process-wide trapezoid refinement.
#include "numeric/romberg.h"

#include <cmath>
#include <cstdint>

#include "numeric/fatal.h"
#include "numeric/vectors.h"

namespace o3 {
namespace {

// The trapezoid value of the latest level, which the next level refines.
double s = 0.0;

// Doubling a 64-bit count stays exact up to 2^62 new points (level 64); the
// points of a higher level are taken as 2^(n-64) runs of 2^62 each, so the
// count never overflows at any level qromb can ask for.
constexpr int max_run_doublings = 62;

}  // namespace

double trapzd(integrand f, double a, double b, int n) {
  if (n == 1) {
    const double fa = f(a);
    const double fb = f(b);
    s = 0.5 * (b - a) * (fa + fb);
    return s;
  }
  std::uint64_t run = 1;
  std::uint64_t runs = 1;
  double tnm = 1.0;  // the number of new points, 2^(n-2), exact in double
  for (int j = 1; j < n - 1; ++j) {
    if (j <= max_run_doublings) {
      run += run;
    } else {
      runs += runs;
    }
    tnm += tnm;
  }
  const double del = (b - a) / tnm;
  double x = a + 0.5 * del;
  double sum = 0.0;
  for (std::uint64_t r = 0; r < runs; ++r) {
    for (std::uint64_t j = 0; j < run; ++j) {
      sum += f(x);
      x += del;
    }
  }
  s = 0.5 * (s + (b - a) * sum / tnm);
  return s;
}

void polint(const double* X, const double* Y, int n, double x, double* y, double* dy) {
  dvector P = vector(1, n);
  dvector R = vector(1, n);
  int k = 1;
  double d = std::fabs(x - X[1]);
  for (int i = 1; i <= n; ++i) {
    const double di = std::fabs(x - X[i]);
    if (di < d) {
      k = i;
      d = di;
    }
    P[i] = Y[i];
    R[i] = Y[i];
  }
  *y = Y[k];
  --k;
  for (int m = 1; m < n; ++m) {
    for (int i = 1; i <= n - m; ++i) {
      const double u = X[i] - x;
      const double w = X[i + m] - x;
      const double g = u - w;
      if (g == 0.0) nrerror("Error in routine polint");
      const double t = (P[i + 1] - R[i]) / g;
      R[i] = w * t;
      P[i] = u * t;
    }
    if (2 * k < n - m) {
      *dy = P[k + 1];
    } else {
      *dy = R[k];
      --k;
    }
    *y += *dy;
  }
  free_vector(R, 1, n);
  free_vector(P, 1, n);
}

double qromb(integrand f, double a, double b) {
  // Slot 0 is unused so that level j sits at index j; q has one slot more
  // for the factor that follows the last level.
  double T[romberg_max_levels + 1];
  double q[romberg_max_levels + 2];
  q[1] = 1.0;
  for (int j = 1; j <= romberg_max_levels; ++j) {
    T[j] = trapzd(f, a, b, j);
    if (j >= romberg_points) {
      double v = 0.0;
      double e = 0.0;
      // The five latest levels, addressed 1..5 as polint expects.
      polint(&q[j - romberg_points], &T[j - romberg_points], romberg_points, 0.0, &v, &e);
      if (std::fabs(e) < romberg_eps * std::fabs(v)) return v;
    }
    q[j + 1] = 0.25 * q[j];
  }
  nrerror("Too many steps in routine qromb");
}

}  // namespace o3
