// An O3.res result file read back into memory, every line checked.
#pragma once

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace o3::sampler {

// A line of the file that is malformed or disagrees with another line.
class table_error : public std::runtime_error {
 public:
  table_error(int line, const std::string& what);
  int line() const { return line_; }

 private:
  int line_;
};

// One lookup line of the file: couplings h below `bound` (and not below the
// previous piece's bound) get the map index base + (int)(h / step).
struct mapping_piece {
  double bound;
  int base;
  double step;
};

// One histogram: its coupling, box area and Nd_poi + 1 points.
struct histogram {
  double H;
  double loss;  // percent, as written
  double area;
  std::vector<double> x;
};

// Everything the file says, as it says it.
struct table {
  double H0 = 0.0;
  double H_max = 0.0;
  double losses = 0.0;  // percent, from the first line
  int Nd_poi = 0;
  int N_H_max = 0;
  std::vector<mapping_piece> pieces;
  // The map in file order: cell index j, histogram index g.
  std::vector<std::int32_t> map_j;
  std::vector<std::int32_t> map_g;
  std::vector<histogram> histograms;
  // Line of the file where the map's entries and each record begin, for
  // messages about them.
  int map_line = 0;
  std::vector<int> record_lines;
};

// Reads an O3.res text; throws table_error naming the line and what was
// expected there. Syntax and the counts are checked here; whether the
// numbers make a valid table is the business of the checker.
table read_table(std::istream& in);

// Opens and reads the file at `path`; throws table_error (line 0) when it
// cannot be opened.
table load_table(const std::string& path);

}  // namespace o3::sampler
