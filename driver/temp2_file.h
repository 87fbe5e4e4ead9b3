// temp2.tmp, the histogram grid that stage 1 leaves for stage 2: its writer and reader.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/line_reader.h"
#include "sampler/o3_format.h"

namespace o3 {

inline constexpr const char* temp2_name = "temp2.tmp";
// Largest number of histograms stage 2 accepts, as many as a table may hold.
inline constexpr int N_histogram_MAX = O3_MAX_HISTOGRAMS;

// What temp2.tmp holds.
struct temp2_contents {
  double H0 = 0.0;
  double H_max = 0.0;
  int count = 0;          // number of histograms
  double f = 0.0;         // the losses as 1 + p/200
  std::vector<double> H;  // coupling of histogram i, in file order
  int n = 0;              // number of histogram-map entries in temp1.tmp
};

enum class temp2_status { ok, too_many_histograms, malformed };

// The whole of temp2.tmp: the range, the number of histograms and factor,
// the coupling of each of grid[0..N], and n, the map's size.
void write_temp2(std::FILE* out, const double* grid, int N, int n);

// Parses temp2.tmp's lines into *out; on malformed *message names the line.
// too_many_histograms comes as soon as the count is read (out->count set).
temp2_status parse_temp2(line_reader& lines, temp2_contents* out, std::string* message);

// temp2.tmp from the current directory; fatal when it cannot be read or used.
temp2_contents read_temp2();

}  // namespace o3
