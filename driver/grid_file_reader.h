// Reading temp2.tmp back, and temp1.tmp's map against it, line by line:
// each is refused at its first bad line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/line_reader.h"

namespace o3 {

// Largest number of histograms stage 2 accepts.
inline constexpr int N_histogram_MAX = 100000;
// Longest line of temp2.tmp or temp1.tmp; stage 1's lines are far shorter,
// so a longer one is damage, and the reader's memory stays bounded.
inline constexpr std::size_t temp_line_cap = 4096;

// What temp2.tmp holds.
struct grid_file {
  double H0 = 0.0;
  double H_max = 0.0;
  int count = 0;        // number of histograms
  double f = 0.0;       // the losses as 1 + p/200
  std::vector<double> H;  // coupling of histogram i, in file order
  int n = 0;            // number of histogram-map entries
};

enum class grid_file_status { ok, too_many_histograms, malformed };

// Parses the lines of temp2.tmp into *out. On malformed, *message says
// where and what was expected (a line longer than temp_line_cap, a NUL
// byte or a read error included). too_many_histograms is reported as soon
// as the count is read (out->count is set), before any coupling is stored.
// The index on each coupling line is not used: lines are taken in order.
grid_file_status parse_grid_file(line_reader& lines, grid_file* out,
                                 std::string* message);
// The same on the whole text.
grid_file_status parse_grid_file(std::string_view text, grid_file* out,
                                 std::string* message);

// Copies the lines of temp1.tmp to `out` (nullptr: none) as they are read,
// and tells whether it ends, after its end-copy line, with the count line n
// and n entries "j g", as stage 1 wrote them; stage 2 writes n + 5 into
// O3.res as the map's size. On false, *message names the line, and `out`
// has the lines before it.
bool copy_snippet(line_reader& lines, std::FILE* out, int n,
                  std::string* message);
// Only the check, on the whole text.
bool check_snippet_map(std::string_view snippet, int n, std::string* message);

}  // namespace o3
