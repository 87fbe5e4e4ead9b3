// temp1.tmp, the lookup lines and the histogram map stage 1 leaves: writer and reader.
#pragma once

#include <cstdio>
#include <string>

#include "common/line_reader.h"
#include "driver/histogram_map.h"

namespace o3 {

inline constexpr const char* temp1_name = "temp1.tmp";

// The C and FORTRAN lookup lines of the base indices cst[1..N_DH], up to the
// end-copy line, then the map: its count n and an entry "j g" per line.
void write_temp1(std::FILE* out, const int* cst, const map_entry* map, int n);

// Copies temp1.tmp's lines to `out` (nullptr: none) as they are read, and
// tells whether its map after the end-copy line has exactly n entries; on
// false *message names the line, and `out` has the lines before it.
bool copy_temp1(line_reader& lines, std::FILE* out, int n, std::string* message);

// temp1.tmp from the current directory into `out`; fatal where copy_temp1 fails.
void copy_temp1_file(std::FILE* out, int n);

}  // namespace o3
