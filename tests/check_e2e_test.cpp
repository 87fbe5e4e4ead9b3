// "o3tables check" run as a user would: on a table the tool has just made
// (H0 = 0, H_max = 20, losses 10 %) and on damaged copies of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

class CheckTool : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    tool_ = std::make_unique<tool_run>();
    tool_->run("0\n20\n10\n1\n");
    ASSERT_EQ(tool_->status, 0);
    lines_ = lines_of(tool_->file("O3.res"));
  }
  static void TearDownTestSuite() { tool_.reset(); }

  // Runs the tool in the table's directory.
  static tool_run& run(const std::vector<std::string>& args) {
    tool_->run("", args);
    return *tool_;
  }

  // Index of the line whose whitespace-separated fields are `fields` long
  // and start with `first`: "g H Nd_poi loss a" records, "j g" map entries.
  static std::size_t line_of(const std::string& first, std::size_t fields) {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      std::istringstream s(lines_[i]);
      std::vector<std::string> f{std::istream_iterator<std::string>(s), {}};
      if (f.size() == fields && f[0] == first) return i;
    }
    ADD_FAILURE() << "no line " << first;
    return 0;
  }

  // A record "g H Nd_poi loss a" with its boxes scaled by `by` and its
  // loss changed to agree.
  static void boxes_scaled(std::string& record, double by) {
    int g = 0, nd = 0;
    char H[32];
    double loss = 0.0, area = 0.0;
    ASSERT_EQ(std::sscanf(record.c_str(), "%d %31s %d %lf %lf", &g, H, &nd, &loss, &area), 5);
    char scaled[120];
    std::snprintf(scaled, sizeof scaled, "%d %s %d %f %20.16e", g, H, nd,
                  ((1.0 + loss / 100.0) * by - 1.0) * 100.0, area * by);
    record = scaled;
  }

  // Writes the table with its lines changed by `damage` as bad.res.
  static void write_damaged(const std::function<void(std::vector<std::string>&)>& damage) {
    std::vector<std::string> l = lines_;
    damage(l);
    std::string text;
    for (const auto& s : l) text += s + '\n';
    tool_->put("bad.res", text);
  }

  static inline std::unique_ptr<tool_run> tool_;
  static inline std::vector<std::string> lines_;
};

TEST_F(CheckTool, PassesTheToolsOwnTableAndDrawsItsPicture) {
  const tool_run& r =
      run({"check", "--draws", "20000", "--seed", "5", "--svg", "p.svg", "--at", "3"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("seed 5"), std::string::npos);
  EXPECT_NE(r.out.find("O3.res: passes every check"), std::string::npos) << r.out;
  const std::string svg = r.file("p.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("Coupling h = 3: histogram"), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

// Losses of 10 % give one histogram of 10.123163 % (at H = 8.44): a warning
// beside a passing verdict; the data and the picture say the same.
// Each engine's draws from 0 to 1e4, on each side of every coupling where
// the draw changes method (0.2, r / 8 and r / 2 of the exponential's tail
// start r = 8.48, the table's H0 and H_max) and far past the table: the
// chi-square at every one, the acceptance only where the tables draw.
TEST_F(CheckTool, TestsEachEngineFromZeroToTenThousand) {
  const struct {
    const char* engine;
    const char* tables_row;  // a coupling drawn from the tables, or none
  } cases[] = {{"default", nullptr}, {"exponential", nullptr}, {"tables", "\n  2.5 "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.engine);
    const tool_run& r = run({"check", "--engine", c.engine, "--draws", "100000"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(std::string("statistics of the ") + c.engine + " engine, from 0 to 1e4"),
              std::string::npos)
        << r.out;
    for (const char* h : {"\n  1e-06 ", "\n  0.19999999999999998 ", "\n  0.2 ",
                          "\n  1.0602174954028412 ", "\n  4.2408699816113655 ", "\n  10000 "}) {
      EXPECT_NE(r.out.find(h), std::string::npos) << h << r.out;
    }
    EXPECT_NE(r.out.find(", 0 failed: ok\nO3.res: passes every check\n"), std::string::npos)
        << r.out;
    // Outside the tables the acceptance is not tested: its columns say so.
    EXPECT_NE(r.out.find("\n  30                       -  "), std::string::npos) << r.out;
    if (c.tables_row != nullptr) {
      const std::size_t at = r.out.find(c.tables_row);
      ASSERT_NE(at, std::string::npos) << r.out;
      // Histogram 33 serves 2.5: its acceptance is tested.
      EXPECT_EQ(r.out.substr(at + 24, 5), "   33") << r.out.substr(at, 80);
    }
  }
  EXPECT_EQ(run({"check", "--engine", "fastest"}).status, 2);
}

TEST_F(CheckTool, SaysHowTheLossesCameOutInItsReportDataAndPicture) {
  const tool_run& r = run({"check", "--draws", "20000", "--data", "d.dat", "--svg", "p.svg"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\nlosses: warning: 1 of 77 histograms above the 10 % asked; the "
                       "largest 10.123163 % (histogram 58 at H = 8.44), the mean 2.93 %\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("data: d.dat, 77 histograms and 20 test couplings"), std::string::npos);
  // Two blocks of twelve columns: the histograms, their statistics nan, and
  // the test couplings.
  std::istringstream data(r.file("d.dat"));
  std::vector<std::vector<std::string>> rows[2];
  int block = 0, empty = 0;
  for (std::string line; std::getline(data, line);) {
    if (line.empty()) {
      block += ++empty == 2 ? 1 : 0;
      continue;
    }
    empty = 0;
    if (line[0] == '#') continue;
    std::istringstream fields(line);
    rows[block].push_back({std::istream_iterator<std::string>(fields), {}});
    EXPECT_EQ(rows[block].back().size(), 12u) << line;
  }
  ASSERT_EQ(rows[0].size(), 77u);
  ASSERT_EQ(rows[1].size(), 20u);
  EXPECT_EQ(rows[0][58][1], "8.44");
  EXPECT_EQ(rows[0][58][3], "10.123163");
  EXPECT_EQ(rows[0][0][8], "nan");
  EXPECT_NE(rows[1][0][8], "nan");
  const std::string svg = r.file("p.svg");
  EXPECT_NE(svg.find("in standard errors"), std::string::npos);
  // Couplings from 0 to 20.48, a simulation's: on a linear axis.
  EXPECT_NE(svg.find(">coupling H of the histogram</text>"), std::string::npos);
  EXPECT_NE(svg.find("chi-square of these draws"), std::string::npos);
  EXPECT_NE(svg.find("1 above the losses asked"), std::string::npos);
}

// The losses line whole, its count, largest and mean from every histogram:
// the losses of the records sum to 225.257761 (a mean of 2.93 %).
TEST_F(CheckTool, SummarizesTheLossesOfEveryHistogram) {
  const struct {
    const char* name;
    std::function<void(std::vector<std::string>&)> damage;
    const char* line;
  } cases[] = {
      {"as made", [](auto&) {},
       "losses: warning: 1 of 77 histograms above the 10 % asked; the largest 10.123163 % "
       "(histogram 58 at H = 8.44), the mean 2.93 %"},
      // Its loss 0.1 % made 20.12 %: (1.001 * 1.2 - 1) * 100, the mean
      // (225.257761 + 20.02) / 77.
      {"histogram 0 the largest", [](auto& l) { boxes_scaled(l[line_of("0", 5)], 1.2); },
       "losses: warning: 2 of 77 histograms above the 10 % asked; the largest 20.12 % "
       "(histogram 0 at H = 0), the mean 3.19 %"},
      // Histogram 0 at 10.123163 % too: the first of the largest is named;
      // the mean (225.257761 - 0.1 + 10.123163) / 77.
      {"two largest", [](auto& l) { boxes_scaled(l[line_of("0", 5)], 1.10123163 / 1.001); },
       "losses: warning: 2 of 77 histograms above the 10 % asked; the largest 10.123163 % "
       "(histogram 0 at H = 0), the mean 3.06 %"},
      // Asked for exactly the loss of histogram 58.
      {"the largest loss the one asked",
       [](auto& l) { l[0] = "-> O(3) with H0=0.000000 -> H_max=20.000000 and loss=10.123163%"; },
       "losses: every histogram at or below the 10.123163 % asked; the largest 10.123163 % "
       "(histogram 58), the mean 2.93 %"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_damaged(c.damage);
    const tool_run& r = run({"check", "bad.res", "--draws", "2000"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(std::string("\n") + c.line + "\n"), std::string::npos) << r.out;
  }
}

TEST_F(CheckTool, RejectsDamagedTablesNamingTheFault) {
  const struct {
    const char* name;
    std::function<void(std::vector<std::string>&)> damage;
    const char* named;
  } cases[] = {
      // Histogram 5's area cut by 10 %, its loss left as it was.
      {"area lowered",
       [](auto& l) {
         std::string& r = l[line_of("5", 5)];
         const std::size_t at = r.rfind(' ') + 1;
         char area[32];
         std::snprintf(area, sizeof area, "%.16e", 0.9 * std::stod(r.substr(at)));
         r = r.substr(0, at) + area;
       },
       "does not agree with the loss"},
      {"points swapped",
       [](auto& l) { std::swap(l[line_of("3", 5) + 10], l[line_of("3", 5) + 11]); }, "point 10 ("},
      // Cell 10 starts at 0.4; histogram 12 is at 0.64.
      {"entry to a larger coupling", [](auto& l) { l[line_of("10", 2)] = "10 12"; },
       "map entry 10 -> histogram 12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_damaged(c.damage);
    const tool_run& r = run({"check", "bad.res", "--draws", "2000"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(c.named), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bad.res: FAILED"), std::string::npos) << r.out;
  }
}

TEST_F(CheckTool, ReportsACutFileByLineAndWhatIsNotAFile) {
  write_damaged([](auto& l) { l.resize(40); });
  EXPECT_EQ(run({"check", "bad.res"}).status, 1);
  EXPECT_NE(tool_->out.find("bad.res: line 41: the file ends"), std::string::npos) << tool_->out;
  EXPECT_EQ(run({"check", "."}).status, 1);
  EXPECT_EQ(tool_->err, "o3tables check: .: is a directory, not a table\n");
  EXPECT_EQ(run({"check", "--seed", "x"}).status, 2);
}

// The picture's coupling must be one the table serves: [H0, H_max).
TEST_F(CheckTool, DrawsThePictureOnlyInsideTheTable) {
  const struct {
    const char* at;
    int status;
    const char* said;  // on stderr, or the picture's line on stdout
  } cases[] = {
      {"0", 0, "picture: p.svg at h = 0 (histogram 0)\n"},
      {"19.999999", 0, "picture: p.svg at h = 19.999999 (histogram 75)\n"},
      {"20", 2, "o3tables check: --at '20' refused: outside [0, 20) of O3.res\n"},
      {"-1e-7", 2, "o3tables check: --at '-1e-07' refused: outside [0, 20) of O3.res\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at);
    const tool_run& r = run({"check", "--draws", "1000", "--svg", "p.svg", "--at", c.at});
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.said), std::string::npos) << r.out << r.err;
  }
}

// Couplings so large that the usual search cannot finish the histograms
// next to the top of the range: every run finishes, and its table passes.
TEST(LargeCouplings, RunsFinishAndTheirTablesPass) {
  tool_run t;
  const struct {
    const char* answers;
    const char* header;
  } runs[] = {
      {"0 3200 10 1", "-> O(3) with H0=0.000000 -> H_max=3200.000000 and loss=10.000000%"},
      {"0 3200 50 1", "-> O(3) with H0=0.000000 -> H_max=3200.000000 and loss=50.000000%"},
      {"0 3200 20 1", "-> O(3) with H0=0.000000 -> H_max=3200.000000 and loss=20.000000%"},
      {"3100 3200 1 1", "-> O(3) with H0=3100.000000 -> H_max=3200.000000 and loss=1.000000%"},
  };
  for (const auto& r : runs) {
    SCOPED_TRACE(r.answers);
    t.run(std::string(r.answers) + "\n");
    ASSERT_EQ(t.status, 0) << t.err;
    EXPECT_EQ(t.err, "");
    EXPECT_EQ(t.file("O3.res").rfind(std::string(r.header) + "\n", 0), 0u);
    t.run("", {"check", "O3.res", "--draws", "100000"});
    EXPECT_EQ(t.status, 0) << t.out;
    EXPECT_NE(t.out.find("O3.res: passes every check"), std::string::npos) << t.out;
  }
}

}  // namespace
}  // namespace o3test
