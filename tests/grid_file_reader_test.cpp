// Reading temp2.tmp back: the values, and a message naming each fault.
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "driver/grid_file_reader.h"

namespace {

using status = o3::grid_file_status;

// Three histograms; the indices 7, 8, 9 are not used.
const char* const lines[] = {"0.000000 5000.000000\n", "3 1.050000\n", "7 0.000000\n",
                             "8 0.040000\n", "9 0.080000\n", "2760\n"};
std::string file_with(int line, const char* replacement) {  // line 1..6, 0: none
  std::string text;
  for (int i = 0; i < 6; ++i) text += i + 1 == line ? replacement : lines[i];
  return text;
}

TEST(GridFileReader, ValidTextsUpToTheCountLimit) {
  o3::grid_file g;
  std::string message;
  ASSERT_EQ(o3::parse_grid_file(file_with(0, "") + "\n \n", &g, &message), status::ok);
  EXPECT_EQ(std::tie(g.H0, g.H_max, g.count, g.f, g.n), std::make_tuple(0.0, 5000.0, 3, 1.05, 2760));
  EXPECT_EQ(g.H, (std::vector<double>{0.0, 0.04, 0.08}));
  // 100001 histograms are refused as soon as the count is read; 100000 pass.
  EXPECT_EQ(o3::parse_grid_file("0 1\n100001 1.05\n", &g, &message),
            status::too_many_histograms);
  EXPECT_EQ(g.count, 100001);
  std::string text = "0.000000 1.000000\n100000 1.050000\n";
  for (int i = 0; i < 100000; ++i) text += std::to_string(i) + " 0.500000\n";
  ASSERT_EQ(o3::parse_grid_file(text + "0\n", &g, &message), status::ok) << message;
  EXPECT_EQ(g.H.size(), 100000u);
}

TEST(GridFileReader, EachMalformedTextIsNamedWithItsLine) {
  const std::string H = "a histogram index and its coupling H";
  struct row { std::string what, text, message; };
  std::vector<row> rows = {
      {"letter in a number", file_with(3, "7 0.0a0000\n"), "line 3: expected " + H},
      {"count too large", file_with(2, "4 1.050000\n"), "line 6: expected " + H},
      {"count too small", file_with(2, "2 1.050000\n"),
       "line 5: expected the number of map entries"},
      {"count 0", file_with(2, "0 1.050000\n"), "line 2: the number of histograms must be >= 1"},
      {"factor 1", file_with(2, "3 1.000000\n"), "line 2: the factor must be > 1"},
      {"negative coupling", file_with(4, "8 -0.040000\n"), "line 4: a coupling must be >= 0"},
      {"trailing garbage", file_with(0, "") + "x\n",
       "line 7: unexpected line after the number of map entries (the number of "
       "histograms on line 2 does not match the lines after it)"}};
  // Cut after each line, the empty text included: the first missing line.
  const std::string wanted[] = {"H0 and H_max, two numbers",
                                "the number of histograms and the factor", H, H, H,
                                "the number of map entries"};
  std::string prefix;
  for (int i = 0; i < 6; prefix += lines[i++]) {
    const std::string line = std::to_string(i + 1);
    rows.push_back({"cut before line " + line, prefix,
                    "ends early: line " + line + " should hold " + wanted[i]});
  }
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    o3::grid_file g;
    std::string message;
    EXPECT_EQ(o3::parse_grid_file(r.text, &g, &message), status::malformed);
    EXPECT_EQ(message, "temp2.tmp " + r.message);
  }
}

}  // namespace
