// The formats of temp2.tmp and temp1.tmp, byte for byte.
#include "driver/temp_files.h"

#include "driver/run_parameters.h"
#include "sampler/o3_format.h"

namespace o3 {
namespace {

// Piece k ends at Hn[k], the last one shown as H_max.
double upper_bound(int k) {
  return o3::H_max > o3::Hn[k] ? o3::Hn[k] : o3::H_max;
}

}  // namespace

void write_grid_head(std::FILE* out, const double* grid, int N) {
  std::fprintf(out, "%f %f\n", o3::H0, o3::H_max);
  std::fprintf(out, "%d %f\n", N + 1, o3::factor);
  for (int i = 0; i <= N; ++i) std::fprintf(out, "%d %f\n", i, grid[i]);
}

void write_snippet(std::FILE* out, const int* cst) {
  std::fputs(O3_COPY_SNIPPET, out);
  std::fputs(O3_SNIPPET_IN_C, out);
  for (int k = 1; k <= o3::N_DH; ++k) {
    if (k >= 2) std::fputs(O3_C_ELSE, out);
    std::fprintf(out, O3_C_LOOKUP, upper_bound(k), cst[k], o3::D_Hn[k]);
  }
  std::fprintf(out, O3_C_CLOSE, o3::H_max);
  std::fputs(O3_DASH, out);
  std::fputs(O3_SNIPPET_IN_FORTRAN, out);
  for (int k = 1; k <= o3::N_DH; ++k) {
    if (k >= 2) std::fputs(O3_FORTRAN_ELSE, out);
    std::fprintf(out, O3_FORTRAN_LOOKUP, upper_bound(k), cst[k], o3::D_Hn[k]);
  }
  std::fprintf(out, O3_FORTRAN_CLOSE, o3::H_max);
  std::fputs(O3_END_COPY, out);
}

void write_map(std::FILE* out, const map_entry* map, int n) {
  std::fprintf(out, O3_COUNT, n);
  for (int e = 0; e < n; ++e) std::fprintf(out, O3_MAP_ENTRY, map[e].j, map[e].g);
}

}  // namespace o3
