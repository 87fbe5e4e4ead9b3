// The formats of temp2.tmp and temp1.tmp, byte for byte.
#include "driver/temp_files.h"

#include "driver/run_parameters.h"

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
  std::fputs("----> 2. copy these lines at the beginning of the subroutine "
             "FA_O3 --\n", out);
  std::fputs("--> a. In C \n", out);
  for (int k = 1; k <= o3::N_DH; ++k) {
    if (k >= 2) std::fputs("else ", out);
    std::fprintf(out, "if(h<%f ) j=%d+(int)(h/%f);\n", upper_bound(k), cst[k],
                 o3::D_Hn[k]);
  }
  std::fprintf(out, "else {printf(\"H must be < %f\\n\"); exit(-1);}\n",
               o3::H_max);
  std::fputs("-\n", out);
  std::fputs("--> b. In FORTRAN \n", out);
  for (int k = 1; k <= o3::N_DH; ++k) {
    if (k >= 2) std::fputs("ELSE ", out);
    std::fprintf(out, "IF(h.LT.%f ) THEN \n\t j=%d+int(h/%f)\n",
                 upper_bound(k), cst[k], o3::D_Hn[k]);
  }
  std::fprintf(out, "ELSE \n\tWRITE(6,*) \"H must be < %f\"\n\tSTOP\nENDIF\n",
               o3::H_max);
  std::fputs(end_copy_line, out);
}

void write_map(std::FILE* out, const map_entry* map, int n) {
  std::fprintf(out, "%d\n", n);
  for (int e = 0; e < n; ++e) std::fprintf(out, "%d %d\n", map[e].j, map[e].g);
}

}  // namespace o3
