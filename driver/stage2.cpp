// Stage 2: the histograms and the result file O3.res.
#include "driver/stage2.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "common/line_reader.h"
#include "common/staged_file.h"
#include "driver/density.h"
#include "driver/files.h"
#include "driver/grid_file_reader.h"
#include "driver/histogram_points.h"
#include "driver/progress.h"
#include "driver/run_parameters.h"
#include "driver/temp_files.h"
#include "numeric/fatal.h"
#include "numeric/romberg.h"
#include "partition/corrections.h"
#include "partition/finish.h"
#include "sampler/o3_format.h"

namespace o3 {
namespace {

grid_file read_grid_file() {
  std::FILE* file = open_input(grid_file_name);
  line_reader lines(file, temp_line_cap);
  grid_file grid;
  std::string message;
  const grid_file_status status = parse_grid_file(lines, &grid, &message);
  std::fclose(file);
  switch (status) {
    case grid_file_status::ok:
      return grid;
    case grid_file_status::too_many_histograms:
      std::printf("N_histogram=%d >= N_histogram_MAX=%d\n", grid.count - 1,
                  N_histogram_MAX);
      nrerror("N_histogram must be < N_histogram_MAX\n");
    case grid_file_status::malformed:
      break;
  }
  nrerror(message.c_str());
}

// temp1.tmp into O3.res as it is read, refused at its first bad line.
void copy_snippet_file(std::FILE* out, int n) {
  std::FILE* file = open_input(snippet_file_name);
  line_reader lines(file, temp_line_cap);
  std::string message;
  const bool ok = copy_snippet(lines, out, n, &message);
  std::fclose(file);
  if (!ok) nrerror(message.c_str());
}

void write_header(std::FILE* out, const grid_file& grid, int Nd_poi) {
  const int N_histogram = grid.count - 1;
  const int N_H_max = grid.n + 5;
  std::fprintf(out, O3_TITLE, grid.H0, grid.H_max, (grid.f - 1.0) * 200.0);
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

[[noreturn]] void too_large_coupling(int i) {
  char message[160];
  std::snprintf(message, sizeof message,
                "temp2.tmp: histogram %d has H=%g, above %g, where no histogram "
                "can be finished", i, o3::H, largest_coupling);
  nrerror(message);
}

void print_closing_advice() {
  std::printf("\n     ---------------------------------------------------\n");
  std::printf("You must COPY THE FILE \"O3.res\" IN YOUR WORKING DIRECTORY\n");
  std::printf("You must COPY THE FIRST LINES of O3.res in your program\n");
  std::printf("You can remove the files temp1.tmp and temp2.tmp\n");
  std::printf("     ---------------------------------------------------\n\n");
}

}  // namespace

// The histograms searched again to keep the asked losses, and those still
// above them: the least loss that Nd_poi pieces reach there.
struct kept_losses {
  int searched = 0;
  int above = 0;
  double first_above = 0.0;  // the least coupling of those
  double worst = 0.0;        // their largest loss
};

void print_kept(const kept_losses& k, double losses, int Nd_poi) {
  std::printf("\nlosses kept at or below %f%%: %d histograms searched again", losses,
              k.searched);
  if (k.above == 0) {
    std::printf(", none left above\n");
  } else {
    std::printf(", %d left above, from H=%f, at most %f%%: the least that %d pieces "
                "reach there\n", k.above, k.first_above, k.worst, Nd_poi);
  }
}

int main_2(const stage2_settings& settings) {
  precision();
  o3::Acc_interval = 0.1;
  o3::Acc_ridders = 1e-8;
  o3::Acc_a = 1e-7;

  const grid_file grid = read_grid_file();
  const int Nd_poi = points_per_histogram(grid.f);
  if (Nd_poi < 2) {
    for (const double h : grid.H) {
      // A histogram of one piece cannot be corrected; for H = 0 none is
      // needed.
      if (h != 0.0) {
        nrerror("temp2.tmp: its losses give one piece per histogram, too few "
                "for H > 0; losses of at most 604 % give two or more");
      }
    }
  }
  // Written beside O3.res and renamed over it only when complete: a failed
  // or interrupted run leaves the previous O3.res as it was.
  staged_file result;
  open_staged(result, result_file_name);
  std::FILE* out = result.stream();
  write_header(out, grid, Nd_poi);
  copy_snippet_file(out, grid.n);
  const int N_histogram = grid.count - 1;
  std::fprintf(out, O3_COUNT, N_histogram);

  std::vector<double> x(work_capacity);
  std::vector<double> f1(work_capacity);
  progress_line progress(grid.count);
  // The losses asked, as the first line of O3.res gives them.
  const double losses = (grid.f - 1.0) * 200.0;
  kept_losses kept;
  for (int i = 0; i <= N_histogram; ++i) {
    o3::H = grid.H[static_cast<std::size_t>(i)];
    if (o3::H > largest_coupling) too_large_coupling(i);
    double m = 0.0;
    double a = 0.0;
    double c = 0.0;  // the envelope factor, for a searched histogram
    if (o3::H == 0.0) {
      // The density is 1: evenly spaced points and boxes of height 1.001.
      for (int k = 0; k <= Nd_poi; ++k) {
        x[static_cast<std::size_t>(k)] =
            static_cast<double>(k * 2) / static_cast<double>(Nd_poi) - 1.0;
      }
      m = 2.0 / static_cast<double>(Nd_poi);
      a = envelope_margin * m;
    } else {
      const double I = qromb(g1, -1.0, 1.0);
      m = I / static_cast<double>(Nd_poi);
      c = finish_partition(m, x.data(), f1.data(), &a, Nd_poi).factor;
      if (settings.keep_losses && (a / m - 1.0) * 100.0 > losses) {
        ++kept.searched;
        keep_losses(m, x.data(), f1.data(), &a, Nd_poi, losses, &c);
        const double loss = (a / m - 1.0) * 100.0;
        if (loss > losses) {
          if (kept.above++ == 0) kept.first_above = o3::H;
          kept.worst = std::max(kept.worst, loss);
        }
      }
    }
    progress.before_output();
    if (o3::H != 0.0) std::printf("factor=%f\n", c);
    const double loss = (a / m - 1.0) * 100.0;
    std::printf("Histogram=%d, H=%f, number of pts=%d, loss=%f%%\n", i, o3::H,
                Nd_poi, loss);
    errno = 0;
    std::fprintf(out, O3_RECORD, i,
                 grid.H[static_cast<std::size_t>(i)], Nd_poi, loss, a);
    for (int k = 0; k <= Nd_poi; ++k) {
      std::fprintf(out, O3_POINT, x[static_cast<std::size_t>(k)]);
    }
    check_written(out, result_file_name);
    progress.update(i + 1);
  }
  progress.finish();
  if (settings.keep_losses) print_kept(kept, losses, Nd_poi);
  // A log that cannot be written fails the run before O3.res is replaced.
  check_standard_output();
  commit_staged(result, result_file_name);

  print_closing_advice();
  return 0;
}

}  // namespace o3
