// The built tool end to end: dialogue, stage 1's files, stage 2's O3.res.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "run_tool.h"

namespace {

using o3::testing::run_tool;

const std::string banner =
    "\n   -----------------------------------------------------------\n"
    "   | O(3)  random number: P= sin(Pi.x) .exp(H.cos(PI.x)-H).dx|\n"
    "   |                       =            exp(H.y-H).dy        |\n"
    "   -----------------------------------------------------------\n"
    "                                  x,y -> [-1,1[ \n\n";
const std::string ask_H0 =
    "give Hinitial (H0);    example: 0.(normal)           -> H0=";
const std::string ask_H_max =
    "give Hmaximum (H_max); example: 100.                 -> H_max=";
const std::string ask_losses =
    "give the % of losses to accept (>=1%); example: 10 for 10%  -> %losses=";
const std::string ask_continue = "Do you want to continue (0=No, 1=yes)? (1) ->  ";
const std::string dash_line = "     -----------------------------------\n\n";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// H0 = 0, H_max = 0.1, losses 10: the search accepts 0.05 and 0.1003125,
// rounded down onto the step 0.04 to 0.04 and 0.08; the walk points 1e-7,
// 0.04 + 1e-7 and 0.08 + 1e-7 get histograms 0, 1 and 2. Size estimate
// 2 * 28 * 104 / 1e6 = 0.005824.
TEST(Dialogue, DeclinedRunThenEndOfInputByteForByte) {
  const auto r = run_tool("0\n0.1\n10\n0\n");
  const std::string table_row =
      "\tif(0.000000<H<0.100000 ) j=cst+(int)(H/0.040000);\n";
  const std::string expected =
      banner + ask_H0 + ask_H_max + ask_losses +
      "\nFor the moment H real is mapped to :\n" + table_row +
      "\nThe calculs will be done for H between\n"
      "\tH0=0.000000 -> H_max=0.100000 with losses=10.000000%\n"
      "The parametrization for H real is: \n" + table_row +
      "\n\nthis can take a while ...\n" + dash_line +
      "The size of the file \"O3.res\" will be of 0.006 Mo\n"
      "if the size of the file is too important, increase the losses or "
      "decrease H_max\n\n" + ask_continue + banner + ask_H0;
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, "!!! end of input: no answer for H0\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.files.at("temp2.tmp"),
            "0.000000 0.100000\n3 1.050000\n0 0.000000\n1 0.040000\n"
            "2 0.080000\n3\n");
  EXPECT_EQ(r.files.at("temp1.tmp"),
            "----> 2. copy these lines at the beginning of the subroutine "
            "FA_O3 --\n--> a. In C \nif(h<0.100000 ) j=0+(int)(h/0.040000);\n"
            "else {printf(\"H must be < 0.100000\\n\"); exit(-1);}\n-\n"
            "--> b. In FORTRAN \nIF(h.LT.0.100000 ) THEN \n\t j=0+int(h/0.040000)\n"
            "ELSE \n\tWRITE(6,*) \"H must be < 0.100000\"\n\tSTOP\nENDIF\n"
            "$------------------- end copy ------------------------\n"
            "3\n0 0\n1 1\n2 2\n");
  EXPECT_EQ(r.files.count("O3.res"), 0u);
}

// Each answer is refused with its message and the same question is asked
// again; the input then ends at the question named on standard error.
TEST(Dialogue, RefusesAnswersItCannotUseAndAsksAgain) {
  struct row {
    const char* what;
    const char* input;
    const char* refusal;
    const char* next_question;
  };
  const row rows[] = {
      {"letters", "abc\n0\n", "!!! H0 must be a finite number\n", "H_max"},
      {"not a number drops its line", "nan 5\n0\n",
       "!!! H0 must be a finite number\n", "H_max"},
      {"negative coupling", "-1\n0\n",
       "!!! H0 must be >= 0: the tables hold couplings H >= 0\n", "H_max"},
      {"empty range", "0\n0\n1\n", "!!! H_max must be > H0\n", "the % of losses"},
      {"beyond 99 pieces", "0\n1e101\n1\n",
       "!!! H_max must be <= 1e100: the mapping has at most 99 pieces\n",
       "the % of losses"},
      {"infinite H_max", "0\ninf\n1\n", "!!! H_max must be a finite number\n",
       "the % of losses"},
      {"losses below 1 %", "0\n1\n0.999\n", "!!! The loss must be >= 1 %\n",
       "the % of losses"},
      {"losses glued to letters", "0\n1\n10abc\n",
       "!!! The loss must be a finite number\n", "the % of losses"},
      {"one piece per histogram", "0\n1\n604.5\n",
       "!!! The loss must be <= 604 %: a histogram needs at least two pieces\n",
       "the % of losses"},
      {"continue prompt needs an integer", "0\n0.1\n10\n1.0\n",
       "!!! The answer must be an integer (0=No, 1=yes)\n", "the continue prompt"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    const auto result = run_tool(r.input);
    EXPECT_NE(result.out.find(r.refusal), std::string::npos) << result.out;
    EXPECT_EQ(result.err,
              std::string("!!! end of input: no answer for ") + r.next_question + "\n");
    EXPECT_EQ(result.status, 1);
  }
}

TEST(Dialogue, OnlyTheAnswerOneGoesOn) {
  // Several answers on one line; 2 asks again, like 0.
  const auto r = run_tool("0 0.1 10 2 0 0.1 1 1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(lines_of(r.files.at("O3.res"))[0],
            "-> O(3) with H0=0.000000 -> H_max=0.100000 and loss=1.000000%");
  // Losses 1 % give 1666 points by the rule, capped at 600.
  EXPECT_NE(r.out.find("sorry, the number of pts for each histogram must be "
                       "less than 600 => nd=600 =>losses min=1% \n"),
            std::string::npos);
}

// H0 = 0, H_max = 5000, losses 10: steps 0.04, 5 and 50 below 100, 1000 and
// 10000; base indices 0, 2480 (2499 - 20 + 1) and 2660 (2480 + 199 - 20 + 1).
TEST(Stage1, WorkedExampleLookupLinesMapAndGrid) {
  const auto r = run_tool("0\n5000\n10\n0\n");
  const std::string snippet =
      "----> 2. copy these lines at the beginning of the subroutine FA_O3 --\n"
      "--> a. In C \n"
      "if(h<100.000000 ) j=0+(int)(h/0.040000);\n"
      "else if(h<1000.000000 ) j=2480+(int)(h/5.000000);\n"
      "else if(h<5000.000000 ) j=2660+(int)(h/50.000000);\n"
      "else {printf(\"H must be < 5000.000000\\n\"); exit(-1);}\n"
      "-\n"
      "--> b. In FORTRAN \n"
      "IF(h.LT.100.000000 ) THEN \n\t j=0+int(h/0.040000)\n"
      "ELSE IF(h.LT.1000.000000 ) THEN \n\t j=2480+int(h/5.000000)\n"
      "ELSE IF(h.LT.5000.000000 ) THEN \n\t j=2660+int(h/50.000000)\n"
      "ELSE \n\tWRITE(6,*) \"H must be < 5000.000000\"\n\tSTOP\nENDIF\n"
      "$------------------- end copy ------------------------\n";
  const std::string& temp1 = r.files.at("temp1.tmp");
  ASSERT_EQ(temp1.substr(0, snippet.size()), snippet);
  const auto map = lines_of(temp1.substr(snippet.size()));
  // 2500 walk points below 100, 180 below 1000, 80 below 5000.
  ASSERT_EQ(map.size(), 2761u);
  EXPECT_EQ(map[0], "2760");
  for (int e = 0; e < 2760; ++e) {
    int j = -1;
    int g = -1;
    ASSERT_EQ(std::sscanf(map[static_cast<std::size_t>(e) + 1].c_str(), "%d %d", &j, &g), 2);
    ASSERT_EQ(j, e);
  }
  // The walk point 0.1600001 still has histogram 3: grid value 4 is 0.2.
  EXPECT_EQ(std::vector<std::string>(map.begin() + 1, map.begin() + 6),
            (std::vector<std::string>{"0 0", "1 1", "2 2", "3 3", "4 3"}));
  const auto grid = lines_of(r.files.at("temp2.tmp"));
  EXPECT_EQ(grid[0], "0.000000 5000.000000");
  EXPECT_EQ(grid[1].substr(grid[1].find(' ')), " 1.050000");
  EXPECT_EQ(std::vector<std::string>(grid.begin() + 2, grid.begin() + 7),
            (std::vector<std::string>{"0 0.000000", "1 0.040000", "2 0.080000",
                                      "3 0.120000", "4 0.200000"}));
  EXPECT_EQ(grid.back(), "2760");
  EXPECT_NE(r.out.find("count=10, H_result="), std::string::npos);
}

TEST(Stage1, RoundingAndMapWalkCornerCases) {
  struct row {
    const char* what;
    const char* input;
    std::vector<std::string> grid_lines;  // expected among temp2.tmp's lines
    std::vector<std::string> map_lines;   // expected among temp1.tmp's lines
    const char* absent_map_line;
  };
  const row rows[] = {
      // The last value, found near 129.09, is rounded down to 125, below
      // H_max: the last walk point 125 is served by it.
      {"H_max 127", "0\n127\n10\n0\n", {"114 125.000000", "2506"},
       {"2506", "2505 114"}, "2506 114"},
      // Grid value 341 is rounded to 99.0, below value 340 (99.024): the
      // scan stops at 99.024, so the cells 8220 and 8221 keep histogram
      // 339; cell 8303 below the bound 100 is skipped by the walk.
      {"H0 0.37, losses 3", "0.37\n300\n3\n0\n",
       {"340 99.024000", "341 99.000000"},
       {"8220 339", "8221 339", "8222 341", "8302 341"}, "8303 341"},
      // A range narrower than the walk's offset: no map entry.
      {"narrow range", "0\n5e-8\n10\n0\n", {"2 1.050000", "0"}, {"0"}, "0 0"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    const auto result = run_tool(r.input);
    const auto grid = lines_of(result.files.at("temp2.tmp"));
    const auto map = lines_of(result.files.at("temp1.tmp"));
    for (const auto& line : r.grid_lines) {
      EXPECT_NE(std::find(grid.begin(), grid.end(), line), grid.end()) << line;
    }
    for (const auto& line : r.map_lines) {
      EXPECT_NE(std::find(map.begin(), map.end(), line), map.end()) << line;
    }
    EXPECT_EQ(std::find(map.begin(), map.end(), r.absent_map_line), map.end());
  }
}

// What every finished histogram of O3.res must satisfy.
void check_result_file(const std::string& text, const std::string& temp1,
                       const std::string& out, int Nd_poi) {
  std::istringstream in(text);
  std::string line;
  for (int i = 0; i < 11; ++i) std::getline(in, line);
  EXPECT_EQ(line, "-");
  const std::string rest = text.substr(static_cast<std::size_t>(in.tellg()));
  ASSERT_EQ(rest.substr(0, temp1.size()), temp1);
  std::istringstream records(rest.substr(temp1.size()));
  int N_histogram = -1;
  records >> N_histogram;
  ASSERT_GE(N_histogram, 0);
  std::size_t console = 0;
  for (int i = 0; i <= N_histogram; ++i) {
    SCOPED_TRACE("histogram " + std::to_string(i));
    int index = -1;
    int nd = -1;
    double H = 0.0;
    double loss = 0.0;
    double a = 0.0;
    std::string loss_text;
    records >> index >> H >> nd >> loss_text >> a;
    loss = std::stod(loss_text);
    ASSERT_EQ(index, i);
    ASSERT_EQ(nd, Nd_poi);
    std::vector<double> x(static_cast<std::size_t>(Nd_poi) + 1);
    for (double& v : x) records >> v;
    EXPECT_EQ(x.front(), -1.0);
    EXPECT_NEAR(x.back(), 1.0, 2.3e-16);
    double widest = 0.0;
    for (std::size_t k = 0; k + 1 < x.size(); ++k) {
      ASSERT_LT(x[k], x[k + 1]);
      const double top = std::exp((x[k + 1] - 1.0) * H);
      // The envelope covers the density's maximum on the piece.
      ASSERT_GE(a / (x[k + 1] - x[k]), top) << "piece " << k;
      widest = std::max(widest, (x[k + 1] - x[k]) * top);
    }
    // No box exceeds the area: they are equal up to the 0.1 % margin, the
    // last piece's pinning aside.
    EXPECT_LE(widest, a * (1.0 + 1e-9));
    // The loss is the total box area over the integral, in percent.
    const double I = H == 0.0 ? 2.0 : (1.0 - std::exp(-2.0 * H)) / H;
    EXPECT_NEAR(loss, 100.0 * (Nd_poi * a / I - 1.0), 1e-4 * (1.0 + loss));
    const std::string shown = "Histogram=" + std::to_string(i) + ", H=";
    console = out.find(shown, console);
    ASSERT_NE(console, std::string::npos);
    EXPECT_NE(out.substr(console, out.find('\n', console) - console)
                  .find(", loss=" + loss_text + "%"),
              std::string::npos);
  }
}

TEST(Stage2, EveryHistogramIsFinishedAndCoversTheDensity) {
  struct row {
    const char* input;
    int Nd_poi;
  };
  // 104 pieces for 10 %, 38 for 20 %, 600 for 1 % (the cap).
  const row rows[] = {{"0\n20\n10\n1\n", 104},
                      {"3\n60\n20\n1\n", 38},
                      {"0\n2\n1\n1\n", 600},
                      {"0\n100\n10\n1\n", 104}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.input);
    const auto result = run_tool(r.input);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string nd = std::to_string(r.Nd_poi);
    EXPECT_NE(result.files.at("O3.res").find(
                  "#define Nd_poi                   " + nd +
                  "    // nb of points of each histogram\n"),
              std::string::npos);
    check_result_file(result.files.at("O3.res"), result.files.at("temp1.tmp"),
                      result.out, r.Nd_poi);
    const std::string advice =
        "\n     ---------------------------------------------------\n"
        "You must COPY THE FILE \"O3.res\" IN YOUR WORKING DIRECTORY\n"
        "You must COPY THE FIRST LINES of O3.res in your program\n"
        "You can remove the files temp1.tmp and temp2.tmp\n"
        "     ---------------------------------------------------\n\n";
    EXPECT_EQ(result.out.substr(result.out.size() - advice.size()), advice);
  }
}

TEST(Stage2, HeaderAndEvenSpacingAtZeroCoupling) {
  // Declined once; the files belong to the second range.
  const auto r = run_tool("0\n9\n10\n0\n0\n0.1\n10\n1\n");
  ASSERT_EQ(r.status, 0);
  // Three histograms (N_histogram 2), three map entries (N_H_max 8).
  const std::string head =
      "-> O(3) with H0=0.000000 -> H_max=0.100000 and loss=10.000000%\n"
      "------------------------------------------------------\n"
      "----> 1. copy these lines (do not remove!) -----------------\n"
      "--> a. in C: at the beginning of the main program \n"
      "#define Nd_poi                   104    // nb of points of each histogram\n"
      "#define N_histogram              2    // nb of histograms\n"
      "#define N_H_max                 8    // real H -> (int) -> value of H of histogram \n"
      "-\n"
      "--> b. in FORTRAN: replace everywhere  \n"
      "PARAMETER(Nd_poi=104,N_hist=2,N_O_m=8)\n"
      "-\n";
  const std::string& result = r.files.at("O3.res");
  EXPECT_EQ(result.substr(0, head.size()), head);
  // H = 0: box area 1.001 * 2 / 104, points (2k)/104 - 1, no factor line.
  char record[64];
  std::snprintf(record, sizeof record, "\n2\n0 0.000000 104 0.100000 %20.16e\n",
                1.001 * (2.0 / 104.0));
  const std::size_t at = result.find(record);
  ASSERT_NE(at, std::string::npos);
  const auto points = lines_of(result.substr(at + std::string(record).size()));
  for (int k = 0; k <= 104; ++k) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%20.16e", (k * 2) / 104.0 - 1.0);
    ASSERT_EQ(points[static_cast<std::size_t>(k)], expected);
  }
  EXPECT_NE(r.out.find(ask_continue + dash_line +
                       "Histogram=0, H=0.000000, number of pts=104, "
                       "loss=0.100000%\nfactor="),
            std::string::npos);
}

}  // namespace
