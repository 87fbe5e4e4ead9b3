// Stage 1 of the built tool: temp2.tmp, temp1.tmp and the console lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

using entry = std::pair<int, int>;  // (map index j, grid index)

// A run declined at the prompt, with temp2.tmp's grid and temp1.tmp's map.
struct stage1_run {
  tool_run t;
  std::vector<std::string> grid_lines;
  std::vector<double> grid;
  std::vector<entry> map;

  explicit stage1_run(const std::string& answers) {
    t.run(answers + "0\n");
    grid_lines = lines_of(t.file("temp2.tmp"));
    for (std::size_t i = 2; i + 1 < grid_lines.size(); ++i) {
      int index = -1;
      grid.push_back(0.0);
      EXPECT_EQ(std::sscanf(grid_lines[i].c_str(), "%d %lf", &index, &grid.back()), 2);
      EXPECT_EQ(index + 1u, grid.size());
    }
    const std::string snippet = t.file("temp1.tmp"), end = "end copy ------------------------\n";
    const auto lines =
        lines_of(snippet.substr(std::min(snippet.find(end) + end.size(), snippet.size())));
    for (std::size_t e = 1; e < lines.size(); ++e) {
      map.emplace_back();
      EXPECT_EQ(std::sscanf(lines[e].c_str(), "%d %d", &map.back().first, &map.back().second), 2);
    }
    EXPECT_EQ(lines.at(0), std::to_string(map.size()));  // both count lines
    EXPECT_EQ(grid_lines.back(), std::to_string(map.size()));
    // "count=%d, H_result=%f" for c = 10, 20, ...: the value found, which the
    // rounding pass moved down onto grid[c] by less than a step (<= 50 here).
    std::size_t c = 0;
    for (const std::string& line : lines_of(t.out)) {
      if (line.rfind("count=", 0) != 0) continue;
      const std::string head = "count=" + std::to_string(c += 10) + ", H_result=";
      if (!line.starts_with(head)) {
        ADD_FAILURE() << line;
        break;
      }
      const double v = std::stod(line.substr(head.size()));
      EXPECT_TRUE(v >= grid.at(c) - 1e-6 && v < grid[c] + 50.0) << line;
    }
    EXPECT_EQ(c, (grid.size() - 1) / 10 * 10);
  }
};

TEST(Stage1E2e, WorkedExampleH0At0To3000Losses10) {
  stage1_run r("0\n3000\n10\n");
  // Steps 0.04, 5, 50; cst[1] = -trunc(1e-8/0.04) = 0,
  // cst[2] = 0 + trunc((100-1e-9)/0.04) - trunc((100+1e-8)/5) + 1 = 2499 - 20 + 1,
  // cst[3] = 2480 + trunc((1000-1e-9)/5) - trunc((1000+1e-8)/50) + 1 = 2480 + 199 - 20 + 1.
  const std::string snippet =
      "----> 2. copy these lines at the beginning of the subroutine FA_O3 --\n--> a. In C \n"
      "if(h<100.000000 ) j=0+(int)(h/0.040000);\n"
      "else if(h<1000.000000 ) j=2480+(int)(h/5.000000);\n"
      "else if(h<3000.000000 ) j=2660+(int)(h/50.000000);\n"
      "else {printf(\"H must be < 3000.000000\\n\"); exit(-1);}\n-\n--> b. In FORTRAN \n"
      "IF(h.LT.100.000000 ) THEN \n\t j=0+int(h/0.040000)\n"
      "ELSE IF(h.LT.1000.000000 ) THEN \n\t j=2480+int(h/5.000000)\n"
      "ELSE IF(h.LT.3000.000000 ) THEN \n\t j=2660+int(h/50.000000)\n"
      "ELSE \n\tWRITE(6,*) \"H must be < 3000.000000\"\n\tSTOP\nENDIF\n"
      "$------------------- end copy ------------------------\n2720\n";
  EXPECT_EQ(r.t.file("temp1.tmp").substr(0, snippet.size()), snippet);
  // 2500 walk points in [0, 100), 180 in [100, 1000), 40 in [1000, 3000).
  ASSERT_EQ(r.map.size(), 2720u);
  for (int j = 0; j < 2720; ++j) EXPECT_EQ(r.map[static_cast<std::size_t>(j)].first, j);
  EXPECT_EQ(std::vector(r.map.begin(), r.map.begin() + 5),
            (std::vector<entry>{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 3}}));
  // 0, 0.05, 0.1003, 0.1511, 0.2034 rounded down to steps of 0.04.
  ASSERT_GE(r.grid_lines.size(), 7u);
  EXPECT_EQ(std::vector(r.grid_lines.begin(), r.grid_lines.begin() + 7),
            (std::vector<std::string>{"0.000000 3000.000000",
                                      std::to_string(r.grid.size()) + " 1.050000", "0 0.000000",
                                      "1 0.040000", "2 0.080000", "3 0.120000", "4 0.200000"}));
  // N = count - 1 histograms after the first, Nd_poi = 104, 28 bytes a point.
  char size[80];
  std::snprintf(size, sizeof size, "will be of %4.3f Mo\n",
                static_cast<double>(r.grid.size() - 1) * 28 * 104 / 1e6);
  EXPECT_TRUE(r.t.out.ends_with(
      dash_line + "The size of the file \"O3.res\" " + size +
      "if the size of the file is too important, increase the losses or decrease H_max\n\n" +
      ask_continue + banner + ask_H0));
  EXPECT_EQ(r.t.out.find("sorry"), std::string::npos);
}

TEST(Stage1E2e, LastGridValueRoundedBelowHmaxServesTheLastWalkPoint) {
  stage1_run r("0\n127\n10\n");
  EXPECT_EQ(r.grid_lines.at(1), "115 1.050000");
  EXPECT_EQ(r.grid_lines.at(116), "114 125.000000");
  EXPECT_EQ(r.map.size(), 2506u);
  EXPECT_EQ(r.map.back(), entry(2505, 114));
}

TEST(Stage1E2e, ScanStopsAtTheFirstGreaterValueAndTheLastCellIsSkipped) {
  stage1_run r("0.37\n300\n3\n");
  // cst[1] = -trunc(0.37000001/0.012) = -30,
  // cst[2] = -30 + trunc((100-1e-9)/0.012) - trunc((100+1e-8)/1.5) + 1 = -30 + 8333 - 66 + 1.
  EXPECT_NE(r.t.file("temp1.tmp")
                .find("\nif(h<100.000000 ) j=-30+(int)(h/0.012000);\n"
                      "else if(h<300.000000 ) j=8238+(int)(h/1.500000);\n"),
            std::string::npos);
  EXPECT_EQ(r.grid_lines.at(342), "340 99.024000");
  EXPECT_EQ(r.grid_lines.at(343), "341 99.000000");
  // Walk point 0.37 + 0.012 j: 99.010 and 99.022 stop at 99.024, 99.034 does
  // not; 99.994 + 0.012 passes 100 and is lowered to it: index 8238 + 66.
  const std::map<int, int> by_j(r.map.begin(), r.map.end());
  EXPECT_EQ(r.map.at(0), entry(0, 0));
  EXPECT_EQ(by_j.at(8220), 339);
  EXPECT_EQ(by_j.at(8221), 339);
  EXPECT_EQ(by_j.at(8222), 341);
  EXPECT_EQ(by_j.count(8303), 0u);
  EXPECT_EQ(by_j.count(8304), 1u);
}

TEST(Stage1E2e, LastValueBeyondThePiecesStaysUnrounded) {
  stage1_run r("0\n1000\n10\n");
  ASSERT_FALSE(r.grid.empty());
  EXPECT_GE(r.grid.back(), 1000.0);
  EXPECT_GT(std::fabs(r.grid.back() - 5.0 * std::round(r.grid.back() / 5.0)), 1e-3);
}

// A range that six decimals cannot tell from empty would make an O3.res of
// H0 = H_max, which no reader accepts: it is asked again.
TEST(Stage1E2e, ARangeEmptyInSixDecimalsIsAskedAgain) {
  stage1_run r("0\n5e-8\n5\n10\n");
  EXPECT_NE(r.t.out.find(ask_H_max +
                         "!!! H_max must exceed H0 in six decimals: O3.res gives "
                         "both so, and a table needs a range\n" +
                         ask_H_max),
            std::string::npos)
      << r.t.out;
  EXPECT_NE(r.t.file("temp2.tmp").find("0.000000 5.000000\n"), std::string::npos);
}

TEST(Stage1E2e, OnePercentLossesAnnounceTheCapOf600Points) {
  stage1_run r("0\n0.2\n1\n");
  EXPECT_NE(r.t.out.find("\nsorry, the number of pts for each histogram must be less than 600 "
                         "=> nd=600 =>losses min=1% \n" +
                         dash_line),
            std::string::npos);
}

TEST(Stage1E2e, ProgressLinesOnlyFromTheTenthValueOn) {
  for (const auto& [input, values] : {entry(45, 10), entry(50, 11)}) {
    SCOPED_TRACE(input);
    stage1_run r("0\n0." + std::to_string(input) + "\n10\n");  // counts progress lines
    EXPECT_EQ(r.grid.size(), static_cast<std::size_t>(values));
  }
}

}  // namespace
}  // namespace o3test
