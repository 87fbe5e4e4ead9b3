// The H-mapping's pieces, from the range and the losses.
#include "driver/mapping.h"

#include <cmath>
#include <cstdio>

#include "common/real_number.h"

namespace o3 {

double as_written(double v) {
  char text[400];  // "%f" of the largest double takes 316
  std::snprintf(text, sizeof text, "%f", v);
  double written = v;
  parse_real(text, &written);
  return written;
}

void build_mapping(double p) {
  o3::Hn[0] = o3::H0;
  o3::D_Hn[0] = 0.0;
  o3::Hn[1] = piece_bound(1);
  o3::D_Hn[1] = as_written(0.004 * p);
  o3::N_DH = 1;
  if (o3::H_max > o3::Hn[1]) {
    int k = 0;
    do {
      k = ++o3::N_DH;
      o3::Hn[k] = piece_bound(k);
      o3::D_Hn[k] = as_written(std::pow(10.0, k - 2) * p * 0.5);
    } while (o3::H_max > o3::Hn[k]);
  }
}

double piece_bound(int k) { return k == 1 ? 100.0 : std::pow(10.0, k - 2) * 1000.0; }

double bound_not_exceeded(double h_max) {
  const double written = as_written(h_max);
  for (int k = 1; k < mapping_capacity && piece_bound(k) < h_max; ++k) {
    if (!(written > as_written(piece_bound(k)))) return piece_bound(k);
  }
  return 0.0;
}

int piece_of(double h) {
  for (int k = 1; k <= o3::N_DH; ++k) {
    if (o3::Hn[k - 1] <= h && h < o3::Hn[k]) return k;
  }
  return 0;
}

double shown_upper_end(int k) { return o3::H_max > o3::Hn[k] ? o3::Hn[k] : o3::H_max; }

void print_mapping_table() {
  for (int k = 1; k <= o3::N_DH; ++k) {
    // A piece that begins at or above H_max holds no coupling of the range.
    if (!(o3::H_max > o3::Hn[k - 1])) continue;
    std::printf("\tif(%f<H<%f ) j=cst+(int)(H/%f);\n", o3::Hn[k - 1], shown_upper_end(k),
                o3::D_Hn[k]);
  }
}

}  // namespace o3
