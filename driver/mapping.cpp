// The H-mapping's pieces, from the range and the losses.
#include "driver/mapping.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace o3 {
namespace {

// The lookup lines state each step with six decimals, and a simulation
// routes its couplings by that value, so the grid and the map are built on
// it too. With losses of more than three decimals the product has more
// digits (0.004 * 12.3456 = 0.0493824, written 0.049382), and a map built
// on it would send couplings to histograms made for larger ones.
double as_written(double step) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", step);
  return std::strtod(text, nullptr);
}

}  // namespace

void build_mapping(double p) {
  o3::Hn[0] = o3::H0;
  o3::D_Hn[0] = 0.0;
  o3::Hn[1] = 100.0;
  o3::D_Hn[1] = as_written(0.004 * p);
  o3::N_DH = 1;
  if (o3::H_max > o3::Hn[1]) {
    int k = 0;
    do {
      k = ++o3::N_DH;
      const double scale = std::pow(10.0, k - 2);
      o3::Hn[k] = scale * 1000.0;
      o3::D_Hn[k] = as_written(scale * p * 0.5);
    } while (o3::H_max > o3::Hn[k]);
  }
}

int piece_of(double h) {
  for (int k = 1; k <= o3::N_DH; ++k) {
    if (o3::Hn[k - 1] <= h && h < o3::Hn[k]) return k;
  }
  return 0;
}

double shown_upper_end(int k) {
  return o3::H_max > o3::Hn[k] ? o3::Hn[k] : o3::H_max;
}

void print_mapping_table() {
  for (int k = 1; k <= o3::N_DH; ++k) {
    // A piece that begins at or above H_max holds no coupling of the range.
    if (!(o3::H_max > o3::Hn[k - 1])) continue;
    std::printf("\tif(%f<H<%f ) j=cst+(int)(H/%f);\n", o3::Hn[k - 1],
                shown_upper_end(k), o3::D_Hn[k]);
  }
}

}  // namespace o3
