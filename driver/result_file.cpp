// O3.res's lines, in the formats the sampler reads back.
#include "driver/result_file.h"

#include <cerrno>

#include "driver/files.h"
#include "sampler/o3_format.h"

namespace o3 {

void write_result_head(std::FILE* out, double H0, double H_max, double losses, int Nd_poi,
                       int N_histogram, int N_H_max) {
  std::fprintf(out, O3_TITLE, H0, H_max, losses);
  std::fputs(O3_RULE, out);
  std::fputs(O3_COPY_HEAD, out);
  std::fputs(O3_HEAD_IN_C, out);
  std::fprintf(out, O3_DEFINE_ND_POI, Nd_poi);
  std::fprintf(out, O3_DEFINE_N_HISTOGRAM, N_histogram);
  std::fprintf(out, O3_DEFINE_N_H_MAX, N_H_max);
  std::fputs(O3_DASH, out);
  std::fputs(O3_HEAD_IN_FORTRAN, out);
  std::fprintf(out, O3_PARAMETER, Nd_poi, N_histogram, N_H_max);
  std::fputs(O3_DASH, out);
}

void write_histogram_count(std::FILE* out, int N_histogram) {
  std::fprintf(out, O3_COUNT, N_histogram);
}

void write_histogram(std::FILE* out, int i, double H, int Nd_poi, double loss, double a,
                     const double* x) {
  // check_written takes the reason of a failed write from errno.
  errno = 0;
  std::fprintf(out, O3_RECORD, i, H, Nd_poi, loss, a);
  for (int k = 0; k <= Nd_poi; ++k) std::fprintf(out, O3_POINT, x[k]);
  check_written(out, result_file_name);
}

}  // namespace o3
