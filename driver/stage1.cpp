// Stage 1: from the dialogue's answers to temp2.tmp, temp1.tmp and the go-ahead.
#include "driver/stage1.h"

#include <cstdio>

#include "driver/answers.h"
#include "driver/files.h"
#include "driver/temp1_file.h"
#include "driver/temp2_file.h"

namespace o3 {
namespace {

void print_size_estimate(int N) {
  bool capped = false;
  const int Nd_poi = pieces_per_histogram(o3::factor, &capped);
  if (capped) {
    static_assert(max_pieces == 600, "the message states it");
    std::printf(
        "sorry, the number of pts for each histogram must be less "
        "than 600 => nd=600 =>losses min=1%% \n");
  }
  print_dash_line();
  std::printf("The size of the file \"O3.res\" will be of %4.3f Mo\n",
              static_cast<double>(N) * 28.0 * Nd_poi / 1000000.0);
  std::printf(
      "if the size of the file is too important, increase the losses "
      "or decrease H_max\n\n");
}

long long ask_to_continue() {
  for (;;) {
    std::printf("Do you want to continue (0=No, 1=yes)? (1) ->  ");
    long long answer = 0;
    if (console().read_integer_or_exit(question::go_on, &answer)) return answer;
    console().refuse_or_exit("!!! The answer must be an integer (0=No, 1=yes)\n");
  }
}

}  // namespace

void print_dash_line() { std::printf("     -----------------------------------\n\n"); }

long long stage1(stage1_tables& tables) {
  factor_to_ratio();
  const int N = search_grid(tables.grid, grid_capacity);
  round_grid(tables.grid, N);

  // Each written beside its name and renamed into place once both are
  // complete, together: the pair is the previous run's or this one's, never
  // a mix, whatever signal arrives between the renames.
  staged_file temp2;
  open_staged(temp2, temp2_name);
  base_indices(tables.cst);
  staged_file temp1;
  open_staged(temp1, temp1_name);
  const int n = walk_map(first_walk_point(), tables.grid, N, tables.cst, tables.map, map_capacity);
  write_temp1(temp1.stream(), tables.cst, tables.map, n);
  write_temp2(temp2.stream(), tables.grid, N, n);
  staged_file* const pair[] = {&temp1, &temp2};
  const char* const names[] = {temp1_name, temp2_name};
  commit_staged_together(pair, names, 2);

  print_size_estimate(N);
  return ask_to_continue();
}

}  // namespace o3
