// Stage 1 of a run: the histogram grid and map into temp2.tmp and temp1.tmp.
#pragma once

#include "driver/grid.h"
#include "driver/histogram_map.h"
#include "parameters/run_parameters.h"

namespace o3 {

// The tables stage 1 fills; every pass of the run loop reuses them.
struct stage1_tables {
  double grid[grid_capacity];
  int cst[mapping_capacity];
  map_entry map[map_capacity];
};

// The dash line and empty line that close stage 1's report and the run loop.
void print_dash_line();

// After the dialogue: the grid, its rounding, the map, both temp files, the
// size estimate and the continue prompt. Returns the answer: 1 goes on.
long long stage1(stage1_tables& tables);

}  // namespace o3
