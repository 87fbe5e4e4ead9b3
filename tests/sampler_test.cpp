// The sampler: which tables it accepts, how it routes couplings, and that
// its draws follow the density for every coupling.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sampler/o3_format.h"
#include "sampler/o3_internal.h"
#include "sampler/inspect.h"
#include "sampler/sampler.h"
#include "tests/made_tables.h"

namespace {

using o3::sampler::detail::c_table;
using o3::sampler::detail::draw_counted;
using o3::sampler::detail::first_try;

using o3::sampler::sampler;
using o3::sampler::table_error;
using o3test::line_at;
using o3test::made_table;
using o3test::with_line;

// H0 = 0, H_max = 20, losses 10 %: 104 pieces, one lookup line of step
// 0.04, 500 map entries from line 26, and the record of histogram g at line
// 527 + 106 g (its line, then 105 points).
const std::string& small() { return made_table("0 20 10"); }
int record(int g) { return 527 + 106 * g; }

// The fields of a record line "g H Nd_poi loss area".
struct record_line {
  int g, nd;
  double H, loss, area;
};
record_line fields(const std::string& line) {
  record_line r{};
  std::istringstream(line) >> r.g >> r.H >> r.nd >> r.loss >> r.area;
  return r;
}
std::string text_of(const record_line& r) {
  char out[120];
  std::snprintf(out, sizeof out, "%d %f %d %f %20.16e", r.g, r.H, r.nd, r.loss, r.area);
  return out;
}
// The record of histogram g with its boxes scaled by `by` and its loss
// changed to agree, so that only the boxes themselves can be at fault.
std::string boxes_scaled(const std::string& text, int g, double by) {
  record_line r = fields(line_at(text, record(g)));
  r.area *= by;
  r.loss = ((1.0 + r.loss / 100.0) * by - 1.0) * 100.0;
  return with_line(text, record(g), text_of(r));
}

// Histogram g's point k or k + 1 moved, its area and loss kept, so that the
// box of piece k stands `by` times the density at the piece's right (or
// left) end, at the smallest coupling the histogram serves (the reader's,
// read from the sound table).
enum class piece_end { left, right };
std::string box_against_density(const std::string& text, int g, int k, piece_end at, double by) {
  const sampler s(small());
  const double h = std::min(s.coupling(g), s.smallest_served(g));
  const auto x = s.points(g);
  const auto height = [&](double y) { return by * std::exp(h * (y - 1.0)); };
  const std::size_t right = static_cast<std::size_t>(k) + 1;
  const bool left_moves = at == piece_end::right;
  const double moved = left_moves ? x[right] - s.area(g) / height(x[right])
                                  : x[right - 1] + s.area(g) / height(x[right - 1]);
  char point[32];
  std::snprintf(point, sizeof point, "%20.16e", moved);
  return with_line(text, record(g) + 1 + k + (left_moves ? 0 : 1), point);
}

// Where line `line` (from 1) of text begins.
std::size_t start_of(const std::string& text, int line) {
  std::size_t at = 0;
  for (int n = 1; n < line; ++n) at = text.find('\n', at) + 1;
  return at;
}

// The small table without `count` map entries from entry `first` on, the
// counts that name them lowered to agree.
std::string map_without(const std::string& text, int first, int count) {
  std::string cut = text;
  const std::size_t from = start_of(text, 26 + first);
  cut.erase(from, start_of(text, 26 + first + count) - from);
  const int entries = 500 - count;
  char define[120], parameter[60];
  std::snprintf(define, sizeof define, O3_DEFINE_N_H_MAX, entries + 5);
  std::snprintf(parameter, sizeof parameter, O3_PARAMETER, 104, 76, entries + 5);
  cut = with_line(cut, 7, std::string(define, std::strlen(define) - 1));
  cut = with_line(cut, 10, std::string(parameter, std::strlen(parameter) - 1));
  return with_line(cut, 25, std::to_string(entries));
}

// The small table written so that it ends exactly where a read of the
// reader's buffer does: its map's cell numbers are given up to 60 leading
// zeros, which read as the same numbers.
std::string at_read_buffer_end(const std::string& text) {
  std::size_t missing = (O3_READ_BUFFER - text.size() % O3_READ_BUFFER) % O3_READ_BUFFER;
  std::string padded = text;
  for (int line = 26; missing > 0; ++line) {
    const std::size_t zeros = std::min<std::size_t>(missing, 60);
    padded.insert(start_of(padded, line), zeros, '0');
    missing -= zeros;
  }
  return padded;
}

std::string huge_area(const std::string& text, int g) {
  record_line r = fields(line_at(text, record(g)));
  r.area = 1e308;
  return with_line(text, record(g), text_of(r));
}

// What opening the text as a file throws: "line N: what".
std::string refusal(const std::string& text) {
  const std::string path = o3test::scratch_path("damaged.res");
  o3test::write_text(path, text);
  try {
    sampler s(path);
  } catch (const table_error& e) {
    EXPECT_EQ(e.status(), O3_REFUSED);
    const std::string what = e.what();
    return what.substr(what.find(": ") + 2);
  }
  return "accepted";
}

TEST(Reader, AcceptsTheToolsTables) {
  const struct {
    const char* answers;
    int histograms, pieces, entries, lookups;
  } tables[] = {
      {"0 20 10", 77, 104, 500, 1},
      // A map that skips the cell just below the bound 100 (cell 53).
      {"99.37 101 3", 3, 384, 54, 2},
      // H0 above 100: the first lookup line receives no coupling.
      {"150 160 10", 3, 104, 2, 2},
      // 600 pieces, and histograms of large couplings searched again.
      {"0 2 1", 0, 600, 0, 1},
      {"0 1000 50", 36, 14, 536, 2},
  };
  for (const auto& t : tables) {
    SCOPED_TRACE(t.answers);
    const sampler s(made_table(t.answers));
    if (t.histograms > 0) {
      EXPECT_EQ(s.histogram_count(), t.histograms);
    }
    EXPECT_EQ(s.pieces_per_histogram(), t.pieces);
    if (t.entries > 0) {
      EXPECT_EQ(s.map_entry_count(), t.entries);
    }
    EXPECT_EQ(s.lookup_line_count(), t.lookups);
    // Every box is raised by at least the envelope factor 1.001.
    EXPECT_GE(s.least_surplus().value, 0.001 - 1e-12);
  }
}

TEST(Reader, RefusesDamagedTablesNamingTheLine) {
  const std::string good = o3test::read_text(small());
  // Lookup lines below 100 (line 14) and from 100 to H_max = 101 (line 15).
  const std::string two = o3test::read_text(made_table("99.37 101 3"));
  const struct {
    const char* name;
    std::string text;
    const char* refusal;
  } cases[] = {
      {"empty", "", "line 1: the file ends; expected \"-> O(3) with H0=<real>"},
      {"a letter in a number",
       with_line(good, 1, "-> O(3) with H0=0.0x0000 -> H_max=20.000000 and loss=10.000000%"),
       "line 1: expected \"-> O(3) with H0=<real> -> H_max=<real> and loss=<real>%\""},
      {"H0 below 0",
       with_line(good, 1, "-> O(3) with H0=-0.000001 -> H_max=20.000000 and loss=10.000000%"),
       "line 1: H0 must be at least 0"},
      {"H_max not above H0",
       with_line(good, 1, "-> O(3) with H0=20.000000 -> H_max=20.000000 and loss=10.000000%"),
       "line 1: H_max must be above H0"},
      {"losses 0",
       with_line(good, 1, "-> O(3) with H0=0.000000 -> H_max=20.000000 and loss=0.000000%"),
       "line 1: the losses must be above 0"},
      {"PARAMETER disagrees", with_line(good, 10, "PARAMETER(Nd_poi=105,N_hist=76,N_O_m=505)"),
       "line 10: the PARAMETER line differs"},
      {"PARAMETER's N_hist disagrees",
       with_line(good, 10, "PARAMETER(Nd_poi=104,N_hist=75,N_O_m=505)"),
       "line 10: the PARAMETER line differs"},
      {"PARAMETER's N_O_m disagrees",
       with_line(good, 10, "PARAMETER(Nd_poi=104,N_hist=76,N_O_m=504)"),
       "line 10: the PARAMETER line differs"},
      {"601 pieces",
       with_line(with_line(good, 5,
                           "#define Nd_poi                   601    // nb of "
                           "points of each histogram"),
                 10, "PARAMETER(Nd_poi=601,N_hist=76,N_O_m=505)"),
       "line 5: Nd_poi must be from 1 to 600"},
      {"100001 histograms",
       with_line(with_line(good, 6,
                           "#define N_histogram              100000    // nb of "
                           "histograms"),
                 10, "PARAMETER(Nd_poi=104,N_hist=100000,N_O_m=505)"),
       "line 6: N_histogram must be from 0 to 99999"},
      {"no map entry",
       with_line(with_line(good, 7,
                           "#define N_H_max                 5    // real H -> (int) "
                           "-> value of H of histogram "),
                 10, "PARAMETER(Nd_poi=104,N_hist=76,N_O_m=5)"),
       "line 7: N_H_max must be from 6 to 100005"},
      {"a billion pieces in a small file",
       with_line(with_line(good, 5,
                           "#define Nd_poi                   1000000000    // nb of "
                           "points of each histogram"),
                 10, "PARAMETER(Nd_poi=1000000000,N_hist=76,N_O_m=505)"),
       "line 5: Nd_poi must be from 1 to 600"},
      {"the step 0", with_line(good, 14, "if(h<20.000000 ) j=0+(int)(h/0.000000);"),
       "line 14: the step must be above 0"},
      {"the last C bound not H_max",
       with_line(with_line(good, 14, "if(h<19.000000 ) j=0+(int)(h/0.040000);"), 18,
                 "IF(h.LT.19.000000 ) THEN "),
       "line 15: the last lookup bound must be H_max of line 1"},
      {"the C close not at H_max",
       with_line(good, 15, "else {printf(\"H must be < 21.000000\\n\"); exit(-1);}"),
       "line 15: the last lookup bound must be H_max of line 1"},
      {"the FORTRAN close not at H_max",
       with_line(good, 21, "\tWRITE(6,*) \"H must be < 21.000000\""),
       "line 21: the last lookup bound must be H_max of line 1"},
      {"lookup bounds not increasing",
       with_line(two, 14, "if(h<101.000000 ) j=-8280+(int)(h/0.012000);"),
       "line 15: the lookup bounds must increase"},
      {"a lookup bound above H_max",
       with_line(two, 14, "if(h<102.000000 ) j=-8280+(int)(h/0.012000);"),
       "line 14: a lookup bound above H_max"},
      {"cells falling across a bound",
       with_line(with_line(two, 15, "else if(h<101.000000 ) j=-20+(int)(h/1.500000);"), 22,
                 "\t j=-20+int(h/1.500000)"),
       "line 15: the cells must increase across the bound 100: cell 53 below it, 46 at it"},
      {"cells beyond an int",
       with_line(with_line(good, 14, "if(h<20.000000 ) j=2147483600+(int)(h/0.040000);"), 19,
                 "\t j=2147483600+int(h/0.040000)"),
       "line 14: the cells of this lookup line do not fit an int"},
      {"FORTRAN differs from C", with_line(good, 19, "\t j=0+int(h/0.050000)"),
       "line 19: the FORTRAN lookup differs"},
      {"FORTRAN base differs from C", with_line(good, 19, "\t j=1+int(h/0.040000)"),
       "line 19: the FORTRAN lookup differs"},
      {"FORTRAN bound differs from C", with_line(good, 18, "IF(h.LT.19.000000 ) THEN "),
       "line 19: the FORTRAN lookup differs"},
      {"map count", with_line(good, 25, "501"),
       "line 25: the number of map entries must be N_H_max - 5"},
      {"map order", with_line(with_line(good, 30, "5 5"), 31, "4 4"),
       "line 31: the map indices must increase"},
      {"map index beyond an int", with_line(good, 525, "3000000000 75"),
       "line 525: the map index does not fit an int"},
      {"map span", with_line(good, 525, "2000000000 75"),
       "line 525: cells 499 to 1999999999 have no map entry"},
      // The walk over the couplings may step past a cell or two below
      // H_max, nowhere else.
      {"the map's last two cells cut", map_without(good, 498, 2), "accepted"},
      {"the map's last three cells cut", map_without(good, 497, 3),
       "line 523: the map ends at cell 496, but the lookup lines reach cell 499"},
      {"the map's first cell cut", map_without(good, 0, 1),
       "line 26: the map starts at cell 1, after cell 0 of H0 = 0"},
      {"a cell inside the map cut", map_without(good, 10, 1),
       "line 36: cells 10 to 10 have no map entry"},
      // Read whole, it would be cell 1; its first 63 characters are 0.
      {"a number too long to read whole", with_line(good, 27, std::string(63, '0') + "1 1"),
       "line 27: expected \"<integer> <integer>\""},
      {"a missing map line", with_line(good, 100, ""),
       "line 100: expected \"<integer> <integer>\""},
      {"a histogram the file does not hold", with_line(good, 36, "10 77"),
       "line 36: the map names a histogram the file does not hold"},
      {"a histogram below 0", with_line(good, 36, "10 -1"),
       "line 36: the map names a histogram the file does not hold"},
      {"histograms miscounted", with_line(good, 526, "75"),
       "line 526: the number here must be N_histogram"},
      // Cell 10 starts at 0.4; histogram 12 is at 0.64, its boxes too low.
      {"map entry to a higher histogram", with_line(good, 36, "10 12"),
       "line 36: map entry 10 -> histogram 12: the histogram's coupling 0.64000000000000001 "
       "is above 0.40000000000000002"},
      {"pieces not Nd_poi",
       with_line(good, record(3),
                 "3 0.120000 103 0.256406 "
                 "1.7140964618063349e-02"),
       "line 845: the number of pieces must be Nd_poi"},
      {"records out of order",
       with_line(good, record(1),
                 "2 0.040000 104 0.178203 "
                 "1.8514582376614755e-02"),
       "line 633: the histograms must be numbered in order from 0"},
      {"a box area not in the tool's form",
       with_line(good, record(5),
                 "5 0.200000 104 "
                 "1.000000 1e+308"),
       "line 1057: expected \"<integer> <real> <integer> <real> <real>\""},
      {"a negative coupling",
       with_line(good, record(5),
                 "5 -0.240000 104 0.412813 "
                 "1.5336150561080104e-02"),
       "line 1057: the coupling must be finite and at least 0"},
      {"a box area of 0",
       with_line(good, record(5),
                 "5 0.240000 104 0.412813 "
                 "0.0000000000000000e+00"),
       "line 1057: the box area must be finite and above 0"},
      {"a huge box area", huge_area(good, 5),
       "line 1057: the box area 1e+308 does not agree with the loss"},
      {"boxes below the density", boxes_scaled(good, 5, 0.9), "line 1057: histogram 5, piece"},
      // A box may stand above the density at its piece's left end and at
      // the largest coupling served, and still below it where it is largest.
      {"a box 2 % below the density at its piece's right end",
       box_against_density(good, 40, 1, piece_end::right, 0.98),
       "line 4767: histogram 40, piece 1 ["},
      {"the last box 0.1 % below at its right end",
       box_against_density(good, 40, 103, piece_end::right, 0.999),
       "line 4767: histogram 40, piece 103 ["},
      {"the first box 2 % below at its left end",
       box_against_density(good, 5, 0, piece_end::left, 0.98), "line 1057: histogram 5, piece 0 ["},
      {"the first box 0.1 % below at its left end",
       box_against_density(good, 5, 0, piece_end::left, 0.999),
       "line 1057: histogram 5, piece 0 ["},
      {"a box a millionth above the density",
       box_against_density(good, 40, 1, piece_end::right, 1.000001), "accepted"},
      {"boxes that would keep a draw going", boxes_scaled(good, 5, 2000.0),
       "line 1057: histogram 5: its boxes hold"},
      // Histogram 5 serves [0.24, 0.28): 1.0041 (its loss) * 900 * 1.0372
      // (the integral at 0.24 over that at 0.28) = 937 tries a draw.
      {"boxes that need 937 tries a draw", boxes_scaled(good, 5, 900.0), "accepted"},
      {"first point", with_line(good, 528, "-9.9999999999999989e-01"),
       "line 528: the first point must be -1"},
      {"points out of order", with_line(good, 540, line_at(good, 541)),
       "line 541: point 13 (-0.75) must be above point 12 (-0.75)"},
      {"last point 2", with_line(good, 632, "2.0000000000000000e+00"),
       "line 632: the last point must be 1"},
      {"last point one ulp below 1", with_line(good, 632, "9.9999999999999989e-01"), "accepted"},
      {"last point two ulps below 1", with_line(good, 632, "9.9999999999999978e-01"),
       "line 632: the last point must be 1"},
      {"a point cut short", with_line(good, 630, "9.61538461538"), "line 630: expected \"<real>\""},
      {"the last line cut", good.substr(0, good.size() - 12),
       "line 8688: the file ends inside this line, which has no line end"},
      {"no line end at the end", good.substr(0, good.size() - 1),
       "line 8688: the file ends inside this line"},
      {"a line after the last record", good + "0\n",
       "line 8689: the file goes on after the last histogram"},
      {"the table ending where a read does", at_read_buffer_end(good), "accepted"},
      {"a line after it", at_read_buffer_end(good) + "0\n",
       "line 8689: the file goes on after the last histogram"},
      {"cut between records", good.substr(0, good.find("\n1 0.040000 ") + 1),
       "line 633: the file ends; expected \"<integer> <real> <integer> <real> <real>\""},
      {"a NUL byte", with_line(good, 2, std::string(54, '-') + '\0'),
       "line 2: a NUL byte: this is not a text file"},
      {"a line too long", with_line(good, 2, std::string(300, '-')),
       "line 2: longer than 255 bytes"},
      {"a line of 256 bytes", with_line(good, 2, std::string(256, '-')),
       "line 2: longer than 255 bytes"},
      {"a line of 255 bytes", with_line(good, 2, std::string(255, '-')),
       "line 2: expected \"-----"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(refusal(c.text).rfind(c.refusal, 0), 0u) << refusal(c.text);
  }
}

TEST(Reader, RefusesWhatIsNotARegularFileSayingWhatItIs) {
  const std::string fifo = o3test::scratch_path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    const char* said;
  } cases[] = {
      {"/tmp", "/tmp: is a directory, not a table"},
      {fifo, ": is a FIFO, not a table"},
      {"/dev/zero", "/dev/zero: is a device, not a table"},
      {"/nonexistent/O3.res", "/nonexistent/O3.res: No such file or directory"},
      // A name is data: its control bytes are shown escaped.
      {"bad\n\x1b[2Jname", "bad\\n\\x1b[2Jname: No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      sampler s(c.path);
      ADD_FAILURE() << "opened";
    } catch (const table_error& e) {
      EXPECT_EQ(e.status(), O3_CANNOT_READ);
      EXPECT_NE(std::string(e.what()).find(c.said), std::string::npos) << e.what();
    }
  }
}

// The histogram that the file's own C lines route h to: the lookup line
// whose bound is above h, j = base + (int)(h / step), then the map entry of
// j or, for a cell without one, of the cell before it.
int routed_by_the_file(const std::string& text, double h) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  int j = 0;
  for (std::size_t i = 13;; ++i) {
    double bound = 0.0, step = 0.0;
    int base = 0;
    const std::string line = i == 13 ? "else " + lines[i] : lines[i];
    if (std::sscanf(line.c_str(), "else if(h<%lf ) j=%d+(int)(h/%lf);", &bound, &base, &step) !=
        3) {
      break;
    }
    j = base + static_cast<int>(h / step);
    if (h < bound) break;
  }
  std::size_t at = 0;
  while (lines[at][0] != '$') ++at;
  const int n = std::stoi(lines[at + 1]);
  int g = -1;
  for (int e = 0; e < n; ++e) {
    int cell = 0, histogram = 0;
    std::sscanf(lines[at + 2 + static_cast<std::size_t>(e)].c_str(), "%d %d", &cell, &histogram);
    if (cell <= j || g < 0) g = histogram;
  }
  return g;
}

TEST(Routing, FollowsTheLookupLinesAndTheMapExactly) {
  // H0 = -0 is written "-0.000000" and must route as 0.
  for (const char* answers : {"0 20 10", "99.37 101 3", "-0 20 10"}) {
    SCOPED_TRACE(answers);
    const std::string& path = made_table(answers);
    const std::string text = o3test::read_text(path);
    const sampler s(path);
    std::vector<double> h;
    // Both sides of every cell start, where the division decides, and the
    // cell the walk skipped below the bound 100.
    for (int g = 0; g < s.histogram_count(); ++g) {
      const double start = s.smallest_served(g);
      h.insert(h.end(), {start, std::nextafter(start, 0.0), std::nextafter(start, 1e9)});
    }
    for (const double v : {99.99, std::nextafter(100.0, 0.0), 100.0, 0.2, 0.19999999999999998}) {
      h.push_back(v);
    }
    for (const double v : h) {
      if (!(v >= s.H0() && v < s.H_max())) continue;
      SCOPED_TRACE(v);
      EXPECT_EQ(s.histogram_of(v), routed_by_the_file(text, v));
    }
    EXPECT_EQ(s.histogram_of(s.H_max()), -1);
    EXPECT_EQ(s.histogram_of(std::nextafter(s.H0(), -1.0)), -1);
  }
}

// The density over the box height at offset t into piece k of histogram g.
double density(const o3_table* t, int g, int k, double h, double at) {
  const o3_piece& q = t->rest->pieces[static_cast<std::size_t>(g * static_cast<int>(t->nd) + k)];
  return q.width * std::exp(h * (q.left + at - 1.0)) / t->rest->file.area[g];
}

TEST(Bounds, BracketTheDensityWhereverTheHistogramServes) {
  // Large couplings, where the left ends' densities underflow and the falls
  // along the chords pass 10^4, as well as small ones.
  for (const char* answers : {"0 20 10", "0 1000 50"}) {
    SCOPED_TRACE(answers);
    sampler s(made_table(answers));
    const o3_table* t = c_table(s);
    double gaps = 0.0;
    int tested = 0;
    for (int g = 0; g < s.histogram_count(); ++g) {
      const double lo = s.smallest_served(g);
      const double up = s.largest_served(g);
      for (int k = 0; k < s.pieces_per_histogram(); ++k) {
        const o3_piece& q =
            t->rest->pieces[static_cast<std::size_t>(g * s.pieces_per_histogram() + k)];
        for (const double h : {lo, 0.7 * lo + 0.3 * up, std::nextafter(up, lo)}) {
          for (const double f : {0.0, 0.3, 0.5, 0.9, 1.0}) {
            const double at = f * q.width;
            const double d = density(t, g, k, h, at);
            const double below = o3_bound_below(&q, h, up - h, at);
            const double above = o3_bound_above(&q, h - lo, at);
            ASSERT_LE(below, d) << "histogram " << g << " piece " << k << " h " << h;
            ASSERT_FALSE(above < d) << "histogram " << g << " piece " << k << " h " << h;
            if (std::isfinite(above)) {
              gaps += above - below;
              ++tested;
            }
          }
        }
      }
    }
    // Close enough to decide nearly every try without the exponential where
    // the couplings are moderate.
    if (answers == std::string("0 20 10")) {
      EXPECT_LT(gaps / tested, 0.01);
    }
  }
}

// The first try takes the heights under its piece's squeeze and no other:
// the first height above it lands at the next record's left or beyond, even
// for the narrow pieces next to 1 at large couplings, and heights well under
// it land inside the piece.
TEST(Bounds, TheFirstTryStopsAtTheSqueeze) {
  for (const char* answers : {"0 20 10", "0 3200 10", "3000 3200 1"}) {
    SCOPED_TRACE(answers);
    sampler s(made_table(answers));
    const o3_table* t = c_table(s);
    const std::size_t nd = t->nd;
    int tested = 0;
    for (int g = 0; g < s.histogram_count(); ++g) {
      for (std::size_t k = 0; k < nd; ++k) {
        const o3_fast* f = &t->fast[static_cast<std::size_t>(g) * (nd + 1) + k];
        const double squeeze = t->rest->pieces[static_cast<std::size_t>(g) * nd + k].squeeze;
        if (!(squeeze > 1e-6)) continue;
        const auto above = static_cast<std::uint64_t>(std::ceil(squeeze * 0x1p53));
        const auto under = static_cast<std::uint64_t>(squeeze * (1.0 - 1e-6) * 0x1p53);
        ASSERT_GE(f->left + static_cast<double>(above) * f->scale, f[1].left)
            << "histogram " << g << " piece " << k;
        ASSERT_LT(f->left + static_cast<double>(under) * f->scale, f[1].left)
            << "histogram " << g << " piece " << k;
        ++tested;
      }
    }
    EXPECT_GT(tested, 0);
  }
}

// The table of a draw test: each opens its table here, so that they can be
// pointed at one draw engine in one place.
sampler open_tables_only(const std::string& path) {
  return sampler(path, o3::sampler::engine::tables);
}

// The draw for h in [H0, H_max) as the density alone decides it: each first
// try as the tables make it and, where it misses, its height against the
// density at a point drawn evenly in its piece, then a first try again. The
// bounds that decide most of these tries must decide them alike.
double by_the_density(o3_table* t, double h, o3_rng* rng) {
  const int g = o3_histogram_of(t, h);
  const double* x = o3_histogram_points(t, g);
  const double area = o3_histogram_area(t, g);
  for (;;) {
    const std::uint64_t p = (o3_rng_next(rng) >> 11) * t->nd;
    const std::size_t k = p >> 53;
    const std::uint64_t m = p & O3_LOW53;
    const o3_fast* f = &t->fast[t->cells[o3_cell_of(t, h)].first_record + k];
    const double y = f->left + static_cast<double>(m) * f->scale;
    const bool hit = y < f[1].left;
    const double width = x[k + 1] - x[k];
    const double v = static_cast<double>(m) * 0x1p-53;
    if (hit) {
      // Under the squeeze: under the density all over its piece.
      EXPECT_LT(v * area, width * std::exp(h * (x[k] - 1.0))) << "h = " << h;
      return y;
    }
    const double at = x[k] + static_cast<double>(o3_rng_next(rng) >> 11) * 0x1p-53 * width;
    if (v * area < width * std::exp(h * (at - 1.0))) return at;
  }
}

// At the smallest coupling a histogram serves, in the middle of its range
// and just below the next one, where the bounds' chords are longest, and at
// large couplings, where they fall by 10^4 and more.
TEST(Draws, DecideEveryTryAsTheDensityWould) {
  for (const char* answers : {"0 20 10", "0 1000 50"}) {
    SCOPED_TRACE(answers);
    sampler s = open_tables_only(made_table(answers));
    o3_rng a, b;
    o3_rng_seed(&a, 4);
    o3_rng_seed(&b, 4);
    for (int i = 0; i < 300000; ++i) {
      const int g = (i / 3) % s.histogram_count();
      const double lo = s.smallest_served(g), up = s.largest_served(g);
      if (!(lo < up)) continue;  // a histogram the map sends no coupling to
      const double h = i % 3 == 0 ? lo : i % 3 == 1 ? 0.5 * (lo + up) : std::nextafter(up, lo);
      ASSERT_EQ(o3_draw(c_table(s), h, &a), by_the_density(c_table(s), h, &b))
          << "draw " << i << ", h = " << h;
    }
  }
}

// The mean of y for coupling h, coth h - 1/h, and its standard deviation,
// from the variance 1/h^2 - 1/sinh^2 h (1/3 at h = 0).
double mean_of(double h) { return h == 0.0 ? 0.0 : 1.0 / std::tanh(h) - 1.0 / h; }
double spread_of(double h) {
  if (h == 0.0) return std::sqrt(1.0 / 3.0);
  const double s = std::sinh(h);
  return std::sqrt(1.0 / (h * h) - 1.0 / (s * s));
}

TEST(Draws, FollowTheDensityInsideAndOutsideTheTable) {
  // The table serves [1, 12); the rest is drawn by inversion or mirrored.
  sampler s = open_tables_only(made_table("1 12 10"));
  o3::sampler::generator rng(11);
  const struct {
    double h;
    bool outside;
  } cases[] = {{1.0, false}, {5.3, false}, {std::nextafter(12.0, 0.0), false},
               {0.0, true},  {0.4, true},  {12.0, true},
               {60.0, true}, {1e10, true}, {-5.3, false},
               {-0.4, true}};
  constexpr int n = 200000;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.h);
    const std::uint64_t outside = s.outside_count();
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
      const double y = s.draw(c.h, rng);
      ASSERT_TRUE(y >= -1.0 && y <= 1.0) << y;
      sum += y;
    }
    EXPECT_NEAR(sum / n, mean_of(c.h), 5.0 * spread_of(c.h) / std::sqrt(n) + 1e-15);
    EXPECT_EQ(s.outside_count() - outside, c.outside ? std::uint64_t{n} : 0u);
  }
  EXPECT_EQ(s.error_count(), 0u);
}

// Outside its range the table inverts the distribution function; near
// y = -1 at large couplings the form must keep its digits, and near y = 1 at
// small ones. The reference is the form that keeps them, in long double.
TEST(Draws, InvertOutsideTheTableToTheLastDigits) {
  sampler s = open_tables_only(made_table("1 12 10"));
  const struct {
    double h;
    std::uint64_t top53;  // the word's top 53 bits: u = top53 * 2^-53
  } cases[] = {{20.0, 9},
               {20.0, std::uint64_t{1} << 52},
               {35.0, 1},
               {1e4, 3},
               // u = 0 where exp(-2h) underflows: log(0) is -inf, y is -1.
               {400.0, 0},
               {-1e-3, 5},
               {-1e-3, (std::uint64_t{1} << 53) - 7},
               {-0.49, 12345},
               // Subnormal couplings, whose products would keep a few bits.
               {5e-324, 2702159776422297},
               {-3e-320, 6305039478318694},
               // Tiny couplings, where y differs from the uniform 2u - 1 by
               // about 2u(1 - u)h, and the hand-over between the forms.
               {1e-11, 1},
               {1e-11, std::uint64_t{1} << 52},
               {1e-11, (std::uint64_t{1} << 53) - 1},
               {1e-11, 3141592653589793},
               {-1e-12, 5},
               {-1e-12, std::uint64_t{1} << 51},
               {-1e-12, (std::uint64_t{1} << 53) - 3},
               {0.5, 77777},
               {std::nextafter(0.5, 0.0), 77777}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "h = " << c.h << ", u = " << c.top53 << " * 2^-53");
    std::uint64_t word = c.top53 << 11;
    const double y = o3_draw_words(
        c_table(s), c.h, [](void* w) { return *static_cast<std::uint64_t*>(w); }, &word);
    const long double h = std::fabs(c.h);
    const long double u = std::ldexp(static_cast<long double>(c.top53), -53);
    const long double exact = h < 0.5L ? 1.0L + std::log1p((1.0L - u) * std::expm1(-2.0L * h)) / h
                                       : 1.0L + std::log(u + (1.0L - u) * std::exp(-2.0L * h)) / h;
    // Within 6e-16, under 3 ulps of 1 (the largest error seen is 4e-16): a
    // form that loses digits errs by 1e-13 at h = 1e-3 and 1e-5 at 1e-11.
    EXPECT_NEAR(y, static_cast<double>(c.h < 0 ? -exact : exact), 6e-16);
  }
}

TEST(Draws, RefuseACouplingThatIsNotANumber) {
  sampler s(small());
  o3::sampler::generator rng(1);
  for (const double h : {std::nan(""), std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity()}) {
    EXPECT_THROW(s.draw(h, rng), o3::sampler::coupling_error);
  }
  EXPECT_EQ(s.error_count(), 3u);
  // In C the draw reports it as NaN, also for a table that is not open.
  o3_rng r;
  o3_rng_seed(&r, 1);
  EXPECT_TRUE(std::isnan(o3_draw(c_table(s), std::nan(""), &r)));
  EXPECT_TRUE(std::isnan(o3_draw(nullptr, 3.0, &r)));
  EXPECT_EQ(s.error_count(), 4u);
}

TEST(Draws, UniformsOutsideTheUnitIntervalOrStuckNeitherLeaveTheTableNorHang) {
  sampler s = open_tables_only(small());
  // rand() / (double)RAND_MAX gives 1.0; a broken source worse. A constant
  // gives the same try over and over: accepted at once, or never.
  for (double u : {1.0, std::nextafter(1.0, 0.0), 2.0, -0.5, 0.0, std::nan("")}) {
    SCOPED_TRACE(u);
    const auto uniform = [](void* state) { return *static_cast<double*>(state); };
    for (const double h : {0.0, 3.0, 19.99, 40.0}) {
      const std::uint64_t errors = s.error_count();
      const double y = o3_draw_uniform(c_table(s), h, uniform, &u);
      EXPECT_TRUE(y >= -1.0 && y <= 1.0 ? s.error_count() == errors
                                        : std::isnan(y) && s.error_count() == errors + 1)
          << y;
      if (std::isnan(u)) {
        EXPECT_TRUE(std::isnan(y)) << y;  // no end is nearest
      }
    }
  }
  // A source that gives 1.0 once draws as one that gives the largest double
  // below 1 there, one that gives less than 0 as one that gives 0, its other
  // uniforms alike: inside the table, outside it and mirrored.
  struct source {
    double first;
    o3_rng rest;
    bool started;
  };
  const auto starting = [](void* state) {
    source* from = static_cast<source*>(state);
    if (from->started) return o3_rng_uniform(&from->rest);
    from->started = true;
    return from->first;
  };
  const double below_1 = std::nextafter(1.0, 0.0), inf = std::numeric_limits<double>::infinity();
  const struct {
    double u, as;
  } ends[] = {{1.0, below_1}, {2.0, below_1}, {inf, below_1}, {-0.5, 0.0}, {-inf, 0.0}};
  for (const auto& e : ends) {
    for (const double h : {0.0, 3.0, 19.99, 40.0, -3.0}) {
      SCOPED_TRACE(testing::Message() << "u = " << e.u << ", h = " << h);
      source a{e.u, {}, false}, b{e.as, {}, false};
      o3_rng_seed(&a.rest, 8);
      o3_rng_seed(&b.rest, 8);
      EXPECT_EQ(o3_draw_uniform(c_table(s), h, starting, &a),
                o3_draw_uniform(c_table(s), h, starting, &b));
    }
  }
  // A generator never seeded gives zeros for ever, every try at -1 and
  // accepted: refused and counted instead.
  o3_rng zeros{};
  const std::uint64_t errors = s.error_count();
  EXPECT_TRUE(std::isnan(o3_draw(c_table(s), 3.0, &zeros)));
  std::vector<double> many(O3_BATCH + 3, 3.0);
  o3_draw_many(c_table(s), many.size(), many.data(), many.data(), &zeros);
  EXPECT_TRUE(std::all_of(many.begin(), many.end(), [](double y) { return std::isnan(y); }));
  EXPECT_EQ(s.error_count(), errors + 1 + many.size());
  // A generator stuck on one word throws in C++: its tries are the last
  // piece's top corner, above the density.
  struct stuck {
    using result_type = std::uint64_t;
    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return ~result_type{0}; }
    result_type operator()() { return ~result_type{0}; }
  } ones;
  EXPECT_THROW(s.draw(19.99, ones), o3::sampler::generator_error);
}

// A sampler moved from has no table; its draws must not follow the null
// pointer into the C code.
TEST(Draws, FromASamplerMovedFromAreRefused) {
  sampler s(small());
  sampler t(std::move(s));
  o3::sampler::generator rng(1);
  std::uint64_t tries = 0;
  std::vector<double> h{3.0}, y(1);
  const std::vector<std::function<void()>> calls{
      [&] { s.draw(3.0, rng); }, [&] { draw_counted(s, 3.0, rng, &tries); },
      [&] { first_try(s, 3.0, rng); }, [&] { s.draw_many(h, y, rng); }};
  for (const auto& call : calls) {
    try {
      call();
      ADD_FAILURE() << "drew from a sampler moved from";
    } catch (const std::logic_error& e) {
      EXPECT_STREQ(e.what(), "o3::sampler: no table to draw from: the sampler was moved from");
    }
  }
  EXPECT_TRUE(s.points(0).empty());
  EXPECT_TRUE(t.points(-1).empty());
  EXPECT_EQ(t.points(0).size(), 105u);
  const double drawn = t.draw(3.0, rng);
  EXPECT_TRUE(drawn >= -1.0 && drawn <= 1.0);
}

// A mirrored draw comes from the tables, as the draw for -h does, word for
// word: its tries count alike.
TEST(Draws, CountTheTriesOfMirroredDraws) {
  sampler s = open_tables_only(small());
  o3::sampler::generator a(3), b(3);
  std::uint64_t plus = 0, minus = 0;
  for (int i = 1; i < 5000; ++i) {
    const double h = 0.004 * i;
    const double y = draw_counted(s, h, a, &plus);
    ASSERT_EQ(draw_counted(s, -h, b, &minus), -y) << i;
    ASSERT_EQ(minus, plus) << i;
  }
  EXPECT_GT(plus, 5000u);
}

TEST(Draws, AreTheSameFromWordsUniformsAndTheGenerator) {
  sampler s = open_tables_only(small());
  o3::sampler::generator a(5);
  o3_rng b;
  o3_rng_seed(&b, 5);
  o3_rng c;
  o3_rng_seed(&c, 5);
  const auto uniform = [](void* r) { return o3_rng_uniform(static_cast<o3_rng*>(r)); };
  for (int i = 0; i < 20000; ++i) {
    const double h = 0.01 * (i % 3000) - 5.0;  // across H0 and the mirror
    const double y = s.draw(h, a);
    ASSERT_EQ(y, o3_draw(c_table(s), h, &b)) << i;
    ASSERT_EQ(y, o3_draw_uniform(c_table(s), h, uniform, &c)) << i;
  }
}

// With the tables, a batch's first tries take the generator's words in
// order, then its misses are finished in order, as o3tables 0.1 drew; the
// other engines draw one after the other.
TEST(Draws, ManyAtOnceAreTheBatchesOrTheDrawsOneByOne) {
  using o3::sampler::engine;
  std::vector<double> h(3 * O3_BATCH + 7);
  for (std::size_t i = 0; i < h.size(); ++i) h[i] = 0.137 * static_cast<double>(i) - 3.0;
  for (const engine how : {engine::tables, engine::automatic, engine::exponential}) {
    SCOPED_TRACE(static_cast<int>(how));
    sampler s = how == engine::exponential ? sampler(how) : sampler(small(), how);
    std::vector<double> expected(h.size());
    o3_rng r;
    o3_rng_seed(&r, 9);
    for (std::size_t from = 0; from < h.size(); from += O3_BATCH) {
      const std::size_t b = std::min<std::size_t>(O3_BATCH, h.size() - from);
      if (how != engine::tables) {
        for (std::size_t i = 0; i < b; ++i)
          expected[from + i] = o3_draw(c_table(s), h[from + i], &r);
        continue;
      }
      std::vector<std::uint64_t> word(b);
      for (std::size_t i = 0; i < b; ++i) word[i] = o3_rng_next(&r);
      for (std::size_t i = 0; i < b; ++i) {
        expected[from + i] =
            o3_draw_rest(c_table(s), h[from + i], word[i], o3_rng_word, &r, nullptr, nullptr);
      }
    }
    std::vector<double> y(h.size());
    o3::sampler::generator g(9);
    s.draw_many(h, y, g);
    EXPECT_EQ(y, expected);
    // In place, the couplings replaced by their draws.
    std::vector<double> in_place = h;
    o3::sampler::generator again(9);
    s.draw_many(in_place, in_place, again);
    EXPECT_EQ(in_place, expected);
    std::vector<double> bad = h;
    bad[100] = std::nan("");
    EXPECT_THROW(s.draw_many(bad, y, g), o3::sampler::coupling_error);
  }
}

}  // namespace
