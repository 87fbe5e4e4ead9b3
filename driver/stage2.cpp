// Stage 2: the histograms, from the couplings of temp2.tmp into O3.res.
#include "driver/stage2.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/staged_file.h"
#include "driver/files.h"
#include "driver/grid.h"
#include "driver/progress.h"
#include "driver/result_file.h"
#include "driver/sound_table.h"
#include "driver/temp1_file.h"
#include "driver/temp2_file.h"
#include "numeric/fatal.h"
#include "numeric/romberg.h"
#include "parameters/density.h"
#include "parameters/run_parameters.h"
#include "partition/corrections.h"
#include "partition/finish.h"

namespace o3 {
namespace {

// Capacity of each of stage 2's work arrays: the Nd_poi + 1 points of a
// histogram, and its Nd_poi box heights.
constexpr int work_capacity = max_pieces + 1;

// The histograms searched again to keep the asked losses, and those still
// above them: the least loss that Nd_poi pieces reach there.
struct kept_losses {
  int searched = 0;
  int above = 0;
  double first_above = 0.0;  // the least coupling of those
  double worst = 0.0;        // their largest loss
};

// One histogram at the current H, its points left in x: the mean mass per
// piece, the box area and the envelope factor.
struct histogram {
  double m = 0.0;
  double a = 0.0;
  double c = 0.0;  // the envelope factor, for a searched histogram
};

void stop_unless_every_H_is_zero(const temp2_contents& grid) {
  for (const double h : grid.H) {
    // A histogram of one piece cannot be corrected; for H = 0 none is needed.
    if (h != 0.0) {
      nrerror(
          "temp2.tmp: its losses give one piece per histogram, too few "
          "for H > 0; losses of at most 604 % give two or more");
    }
  }
}

[[noreturn]] void stop_at_too_large_coupling(int i) {
  // With points placed to 1e-8 the partition search fails for every number
  // of pieces from about H = 2e4 on, where the density's width 1/H is too
  // narrow; a damaged temp2.tmp must not hang the run beyond.
  char message[160];
  std::snprintf(message, sizeof message,
                "temp2.tmp: histogram %d has H=%g, above %g, where no histogram "
                "can be finished",
                i, o3::H, largest_H_computed);
  nrerror(message);
}

histogram compute(int Nd_poi, bool keep, double losses, double* x, double* f1, kept_losses* kept) {
  histogram h;
  if (o3::H == 0.0) {
    // The density is 1: evenly spaced points and boxes of height 1.001.
    for (int k = 0; k <= Nd_poi; ++k) {
      x[k] = static_cast<double>(k * 2) / static_cast<double>(Nd_poi) - 1.0;
    }
    h.m = 2.0 / static_cast<double>(Nd_poi);
    h.a = envelope_margin * h.m;
    return h;
  }
  const double I = qromb(g1, -1.0, 1.0);
  h.m = I / static_cast<double>(Nd_poi);
  h.c = finish_partition(h.m, x, f1, &h.a, Nd_poi).factor;
  if (keep && loss_percent(h.a, h.m) > losses) {
    ++kept->searched;
    keep_losses(h.m, x, f1, &h.a, Nd_poi, losses, &h.c);
    const double loss = loss_percent(h.a, h.m);
    if (loss > losses) {
      if (kept->above++ == 0) kept->first_above = o3::H;
      kept->worst = std::max(kept->worst, loss);
    }
  }
  return h;
}

void print_kept(const kept_losses& k, double losses, int Nd_poi) {
  std::printf("\nlosses kept at or below %f%%: %d histograms searched again", losses, k.searched);
  if (k.above == 0) {
    std::printf(", none left above\n");
  } else {
    std::printf(
        ", %d left above, from H=%f, at most %f%%: the least that %d pieces "
        "reach there\n",
        k.above, k.first_above, k.worst, Nd_poi);
  }
}

void print_closing_advice() {
  std::printf("\n     ---------------------------------------------------\n");
  std::printf("You must COPY THE FILE \"O3.res\" IN YOUR WORKING DIRECTORY\n");
  std::printf("You must COPY THE FIRST LINES of O3.res in your program\n");
  std::printf("You can remove the files temp1.tmp and temp2.tmp\n");
  std::printf("     ---------------------------------------------------\n\n");
}

}  // namespace

int main_2(const stage2_settings& settings) {
  precision();
  use_histogram_accuracies();
  const temp2_contents grid = read_temp2();
  const int Nd_poi = pieces_per_histogram(grid.f);
  if (Nd_poi < 2) stop_unless_every_H_is_zero(grid);
  // The losses asked, as the first line of O3.res gives them.
  const double losses = losses_percent_of_ratio(grid.f);
  const int N_histogram = grid.count - 1;

  // Written beside O3.res and renamed over it only when complete: a failed
  // or interrupted run leaves the previous O3.res as it was.
  staged_file result;
  open_staged(result, result_file_name);
  std::FILE* out = result.stream();
  write_result_head(out, grid.H0, grid.H_max, losses, Nd_poi, N_histogram, grid.n + 5);
  copy_temp1_file(out, grid.n);
  write_histogram_count(out, N_histogram);

  std::vector<double> x(work_capacity);
  std::vector<double> f1(work_capacity);
  progress_line progress(grid.count);
  kept_losses kept;
  for (int i = 0; i <= N_histogram; ++i) {
    o3::H = grid.H[static_cast<std::size_t>(i)];
    if (o3::H > largest_H_computed) stop_at_too_large_coupling(i);
    const histogram h = compute(Nd_poi, settings.keep_losses, losses, x.data(), f1.data(), &kept);
    progress.before_output();
    if (o3::H != 0.0) std::printf("factor=%f\n", h.c);
    const double loss = loss_percent(h.a, h.m);
    std::printf("Histogram=%d, H=%f, number of pts=%d, loss=%f%%\n", i, o3::H, Nd_poi, loss);
    write_histogram(out, i, grid.H[static_cast<std::size_t>(i)], Nd_poi, loss, h.a, x.data());
    progress.update(i + 1);
  }
  progress.finish();
  if (settings.keep_losses) print_kept(kept, losses, Nd_poi);
  // A log that cannot be written fails the run before O3.res is replaced.
  check_standard_output();
  finish_staged(result, result_file_name);
  if (!result.temporary().empty()) check_sound_table(result.temporary());
  // The rename is the run's last act, so that the status says what became
  // of O3.res: everything that can fail comes before it, the log's end too.
  print_closing_advice();
  check_standard_output();
  commit_last(result, result_file_name);
  return 0;
}

}  // namespace o3
