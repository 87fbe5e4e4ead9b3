// The histogram grid: where the integral of the density falls by the losses' ratio.
#include "driver/grid.h"

#include <cmath>
#include <cstdio>

#include "driver/mapping.h"
#include "numeric/fatal.h"
#include "numeric/romberg.h"
#include "parameters/density.h"
#include "parameters/run_parameters.h"

namespace o3 {
namespace {

// Relative accuracy to which a grid value meets its target integral.
constexpr double grid_tolerance = 0.001;

// Stores v as grid[c], or stops the run before the table would overflow.
void store_grid_value(double* grid, int capacity, int c, double v) {
  if (c >= capacity) {
    static_assert(grid_capacity == 100001, "the message states it");
    nrerror(
        "!!! The histogram grid would need more than 100001 values: "
        "increase the losses or decrease H_max");
  }
  grid[c] = v;
}

// Integral of g1 over [-1, 1] at the current H, in three pieces split near 1
// where the density rises steeply.
double split_integral() {
  const double x1 = 0.935 > 1.0 - 7.0 / o3::H ? 0.935 : 1.0 - 7.0 / o3::H;
  const double x2 = 0.99 > 1.0 - 1.0 / o3::H ? 0.99 : 1.0 - 1.0 / o3::H;
  // Integrated and summed in this order.
  const double left = qromb(g1, -1.0, x1);
  const double middle = qromb(g1, x1, x2);
  const double right = qromb(g1, x2, 1.0);
  double sum = left + middle;
  sum = sum + right;
  return sum;
}

}  // namespace

double losses_ratio(double fraction) { return 1.0 + 0.5 * fraction; }

double losses_percent_of_ratio(double ratio) { return (ratio - 1.0) * 200.0; }

void factor_to_ratio() {
  o3::factor = losses_ratio(o3::factor);
  if (!(1.0 < o3::factor)) nrerror("The factor must be > 1. ");
}

int pieces_per_histogram(double f, bool* capped) {
  const double v = f > 1.07 ? 3.0 / (f - 1.02) + 1.0 : 5.0 / (f - 1.002);
  // Values beyond the cap, an infinity included, are decided before the
  // conversion, which is only defined for values an int can hold.
  const bool above = v >= max_pieces + 1;
  if (capped != nullptr) *capped = above;
  if (above) return max_pieces;
  if (!(v >= 1.0)) return 1;  // not above 0 after truncation, or not a number
  return static_cast<int>(v);
}

int search_grid(double* grid, int capacity) {
  o3::H = o3::H0;
  int c = 0;
  // Also the whole grid when the range is empty and no cycle runs.
  store_grid_value(grid, capacity, c, o3::H);
  while (o3::H < o3::H_max) {
    const double F = qromb(g1, -1.0, 1.0);
    store_grid_value(grid, capacity, c, o3::H);
    const double T = F / o3::factor;
    double H_lo = o3::H;
    double S = 0.0;
    do {
      o3::H = o3::H * 1.3 + 0.1;
      S = split_integral();
    } while (S - T > 0.0);
    double H_hi = o3::H;
    for (;;) {
      o3::H = (H_lo + H_hi) * 0.5;
      S = split_integral();
      const double d = S - T;
      if (std::fabs(d / T) < grid_tolerance) break;
      if (d < 0.0) {
        H_hi = o3::H;
      } else {
        H_lo = o3::H;
      }
    }
    ++c;
    store_grid_value(grid, capacity, c, o3::H);
    if (c % 10 == 0) std::printf("count=%d, H_result=%f\n", c, o3::H);
  }
  return c;
}

void round_grid(double* grid, int N) {
  for (int i = 0; i <= N; ++i) {
    // Not piece_of: a value rounded onto the next piece's lower bound is
    // rounded again with that piece's step.
    for (int k = 1; k <= o3::N_DH; ++k) {
      if (o3::Hn[k - 1] <= grid[i] && grid[i] < o3::Hn[k]) {
        grid[i] = static_cast<int>((grid[i] + step_round_up) / o3::D_Hn[k]) * o3::D_Hn[k];
      }
    }
  }
}

}  // namespace o3
