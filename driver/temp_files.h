// The two files stage 1 leaves for stage 2: temp2.tmp and temp1.tmp.
#pragma once

#include <cstdio>

#include "driver/grid_search.h"
#include "sampler/o3_format.h"

namespace o3 {

inline constexpr const char* grid_file_name = "temp2.tmp";
inline constexpr const char* snippet_file_name = "temp1.tmp";
// The last line of temp1.tmp's lookup snippet; the histogram map follows.
inline constexpr const char* end_copy_line = O3_END_COPY;

// temp2.tmp up to its last line: "H0 H_max", "N+1 factor", then "i grid[i]"
// for i = 0..N.
void write_grid_head(std::FILE* out, const double* grid, int N);

// temp1.tmp's lookup snippet: the C and FORTRAN lines that give the map index
// j of a coupling h, up to the end-copy line.
void write_snippet(std::FILE* out, const int* cst);

// temp1.tmp's histogram map: the count n, then "j g" per entry.
void write_map(std::FILE* out, const map_entry* map, int n);

}  // namespace o3
