// Romberg integration: trapezoid levels extrapolated to zero step.
#pragma once

namespace o3 {

using integrand = double (*)(double);

// Highest level qromb tries before it gives up.
inline constexpr int romberg_max_levels = 100;
// Levels extrapolated together, and the relative accuracy asked of the result.
inline constexpr int romberg_points = 5;
inline constexpr double romberg_eps = 1.0e-6;

// Integral of f from a to b: after each level from the fifth, the last five
// level values are extrapolated to zero step; returns once the estimate of
// the error is strictly below 1e-6 of the value. Fatal "Too many steps in
// routine qromb" after 100 levels. Not reentrant (see trapzd).
double qromb(integrand f, double a, double b);

// Trapezoid value of level n (1, 2, ...) of f on [a, b]. Level 1 starts a new
// integration; level n >= 2 refines the value left by the previous call with
// the 2^(n-2) new midpoints, so levels must be called in order 1, 2, 3, ...
double trapzd(integrand f, double a, double b, int n);

// Neville interpolation of the n points (X[1..n], Y[1..n]) at x: value in *y,
// last correction added in *dy (not written for n = 1). Fatal "Error in
// routine polint" when two abscissae are equal.
void polint(const double* X, const double* Y, int n, double x, double* y, double* dy);

}  // namespace o3
