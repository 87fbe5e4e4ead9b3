// Reading temp2.tmp back: the values, and a message naming each fault.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "driver/temp2_file.h"
#include "driver/temp_lines.h"
#include "run_parameters_guard.h"

namespace {

using status = o3::temp2_status;

status parse(const std::string& text, o3::temp2_contents* g, std::string* message) {
  o3::line_reader lines(text, o3::temp_line_cap);
  return o3::parse_temp2(lines, g, message);
}

// Three histograms; the indices 7, 8, 9 are not used.
const char* const lines[] = {"0.000000 5000.000000\n", "3 1.050000\n", "7 0.000000\n",
                             "8 0.040000\n",           "9 0.080000\n", "2760\n"};
std::string file_with(int line, const char* replacement) {  // line 1..6, 0: none
  std::string text;
  for (int i = 0; i < 6; ++i) text += i + 1 == line ? replacement : lines[i];
  return text;
}

TEST(Temp2File, WrittenAsTheReaderExpectsIt) {
  o3::testing::run_parameters_guard guard;
  o3::H0 = 0.0;
  o3::H_max = 5000.0;
  o3::factor = 1.05;
  const double grid[] = {0.0, 0.04, 0.08};
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  o3::write_temp2(out, grid, 2, 2760);
  std::fclose(out);
  // The indices are 0, 1, 2 where the lines below have 7, 8, 9.
  EXPECT_EQ(std::string(text, size),
            "0.000000 5000.000000\n3 1.050000\n0 0.000000\n"
            "1 0.040000\n2 0.080000\n2760\n");
  std::free(text);
}

TEST(Temp2File, ValidTextsUpToTheCountLimit) {
  o3::temp2_contents g;
  std::string message;
  ASSERT_EQ(parse(file_with(0, "") + "\n \n", &g, &message), status::ok);
  EXPECT_EQ(std::tie(g.H0, g.H_max, g.count, g.f, g.n),
            std::make_tuple(0.0, 5000.0, 3, 1.05, 2760));
  EXPECT_EQ(g.H, (std::vector<double>{0.0, 0.04, 0.08}));
  // 100001 histograms are refused as soon as the count is read; 100000 pass.
  EXPECT_EQ(parse("0 1\n100001 1.05\n", &g, &message), status::too_many_histograms);
  EXPECT_EQ(g.count, 100001);
  std::string text = "0.000000 1.000000\n100000 1.050000\n";
  for (int i = 0; i < 100000; ++i) text += std::to_string(i) + " 0.500000\n";
  ASSERT_EQ(parse(text + "0\n", &g, &message), status::ok) << message;
  EXPECT_EQ(g.H.size(), 100000u);
}

TEST(Temp2File, EachMalformedTextIsNamedWithItsLine) {
  const std::string H = "a histogram index and its coupling H";
  struct row {
    std::string what, text, message;
  };
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
  const std::string wanted[] = {
      "H0 and H_max, two numbers", "the number of histograms and the factor", H, H, H,
      "the number of map entries"};
  std::string prefix;
  for (int i = 0; i < 6; prefix += lines[i++]) {
    const std::string line = std::to_string(i + 1);
    rows.push_back({"cut before line " + line, prefix,
                    "ends early: line " + line + " should hold " + wanted[i]});
  }
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    o3::temp2_contents g;
    std::string message;
    EXPECT_EQ(parse(r.text, &g, &message), status::malformed);
    EXPECT_EQ(message, "temp2.tmp " + r.message);
  }
}

}  // namespace
