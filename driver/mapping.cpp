// The H-mapping's pieces, from the range and the losses.
#include "driver/mapping.h"

#include <cmath>
#include <cstdio>

namespace o3 {

void build_mapping(double p) {
  o3::Hn[0] = o3::H0;
  o3::D_Hn[0] = 0.0;
  o3::Hn[1] = 100.0;
  o3::D_Hn[1] = 0.004 * p;
  o3::N_DH = 1;
  if (o3::H_max > o3::Hn[1]) {
    int k = 0;
    do {
      k = ++o3::N_DH;
      const double scale = std::pow(10.0, k - 2);
      o3::Hn[k] = scale * 1000.0;
      o3::D_Hn[k] = scale * p * 0.5;
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
