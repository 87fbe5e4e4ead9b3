// Stage 1 of a run: the histogram grid, the two temp files, the estimate.
#pragma once

#include "driver/grid_search.h"
#include "driver/run_parameters.h"

namespace o3 {

// The tables stage 1 fills; every pass of the run loop reuses them.
struct stage1_tables {
  double grid[grid_capacity];
  int cst[mapping_capacity];
  map_entry map[map_capacity];
};

// The dash line and empty line that close stage 1's report and the run loop.
void print_dash_line();

// Steps A to H after the dialogue: factor, grid, rounding, temp2.tmp and
// temp1.tmp, the points notice, the size estimate and the continue prompt.
// Returns the answer: 1 to go on to stage 2, anything else to ask again.
long long stage1(stage1_tables& tables);

}  // namespace o3
