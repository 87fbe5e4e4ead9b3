// Stage 2 of the built tool: full runs, O3.res and the per-histogram lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

std::string e16(double v) {  // as points and box areas are written
  char text[64];
  std::snprintf(text, sizeof text, "%20.16e", v);
  return text;
}

// A complete run whose last answers were [H0, H_max] and losses giving Nd.
void check_full_run(const tool_run& t, double H0, double H_max, double losses, int Nd) {
  ASSERT_EQ(t.status, 0);
  EXPECT_EQ(t.err, "");
  const auto grid = lines_of(t.file("temp2.tmp"));
  ASSERT_GE(grid.size(), 4u);
  EXPECT_EQ(grid[0], std::to_string(H0) + " " + std::to_string(H_max));  // "%f %f"
  const int count = std::stoi(grid[1]), N_H_max = std::stoi(grid.back()) + 5;
  ASSERT_EQ(grid.size(), count + 3u);
  char head[2048];
  std::snprintf(
      head, sizeof head,
      "-> O(3) with H0=%f -> H_max=%f and loss=%f%%\n%s\n"
      "----> 1. copy these lines (do not remove!) -----------------\n"
      "--> a. in C: at the beginning of the main program \n"
      "#define Nd_poi                   %d    // nb of points of each histogram\n"
      "#define N_histogram              %d    // nb of histograms\n"
      "#define N_H_max                 %d    // real H -> (int) -> value of H of histogram \n"
      "-\n--> b. in FORTRAN: replace everywhere  \nPARAMETER(Nd_poi=%d,N_hist=%d,N_O_m=%d)\n-\n",
      H0, H_max, losses, std::string(54, '-').c_str(), Nd, count - 1, N_H_max, Nd, count - 1,
      N_H_max);
  const std::string res = t.file("O3.res"),
                    front = head + t.file("temp1.tmp") + std::to_string(count - 1) + "\n";
  ASSERT_EQ(res.substr(0, front.size()), front);
  const auto records = lines_of(res.substr(front.size()));
  ASSERT_EQ(records.size(), static_cast<std::size_t>(count * (Nd + 2)));
  // After the prompt: the dash line, per histogram "factor=" (H != 0) and
  // "Histogram=...", then the advice: 5 lines and 2 empty ones.
  const std::string after = t.out.substr(t.out.rfind(ask_continue) + ask_continue.size());
  EXPECT_EQ(after.substr(0, dash_line.size()), dash_line);
  const auto console = lines_of(after);
  std::size_t line = 2;
  for (std::size_t i = 0, r = 0; i < static_cast<std::size_t>(count); ++i, r += Nd + 2u) {
    SCOPED_TRACE("histogram " + std::to_string(i));
    int index = -1, nd = -1;
    double a = 0;
    char h[32], loss[32];
    ASSERT_EQ(std::sscanf(records[r].c_str(), "%d %31s %d %31s %lf", &index, h, &nd, loss, &a), 5);
    EXPECT_EQ(index + 0u, i);
    EXPECT_EQ(nd, Nd);
    EXPECT_EQ(grid[i + 2], std::to_string(i) + " " + h);
    EXPECT_TRUE(records[r].ends_with(" " + e16(a)));
    const double H = std::stod(h);
    ASSERT_LT(line + (H != 0.0), console.size());
    if (H != 0.0) {
      EXPECT_EQ(console[line].substr(0, 7), "factor=");
      EXPECT_GE(std::stod(console[line++].substr(7)), 1.001);
    }
    EXPECT_EQ(console[line++], "Histogram=" + std::to_string(i) + ", H=" + h + ", number of pts=" +
                                   std::to_string(Nd) + ", loss=" + loss + "%");
    std::vector<double> x;
    for (std::size_t k = 1; k <= Nd + 1u; ++k) x.push_back(std::stod(records[r + k]));
    EXPECT_EQ(records[r + 1], "-1.0000000000000000e+00");
    // H = 0: x[k] = 2k/Nd - 1, box area 1.001 * 2/Nd. Otherwise the last
    // point is the search end 1 + 0.01/Nd lowered by 0.01/Nd again.
    const double search_end = 1.0 + 0.01 / Nd, end = search_end - 0.01 / Nd;
    EXPECT_EQ(records[r + 1 + static_cast<std::size_t>(Nd)], e16(H == 0.0 ? 1.0 : end));
    if (H == 0.0) {
      for (int k = 0; k <= Nd; ++k) EXPECT_EQ(x[static_cast<std::size_t>(k)], (k * 2.0) / Nd - 1.0);
      EXPECT_EQ(e16(a), e16(1.001 * (2.0 / Nd)));
      EXPECT_EQ(std::string(loss), "0.100000");
      continue;
    }
    // The loss: total box area over the integral (1 - exp(-2H))/H.
    EXPECT_NEAR(std::stod(loss), 100.0 * (Nd * a * H / (1.0 - std::exp(-2.0 * H)) - 1.0), 1e-3);
    // Box: width times the density at its right end. With the envelope factor
    // (>= 1.001) every box is at most a/1.001: each height a/width covers the
    // density's maximum on its piece with 0.1 % to spare. Pieces 0 to Nd-3
    // share the area of one search build; each point lies within about 2e-8
    // of its root, which moves a box by at most 2e-8 * g * (2 + width * H),
    // g the density at its end.
    std::vector<double> box, slack;
    for (std::size_t k = 0; k + 1 < x.size(); ++k) {
      const double w = x[k + 1] - x[k], g = std::exp((x[k + 1] - 1.0) * H);
      EXPECT_GT(w, 0.0) << k;
      EXPECT_GE(a / w, 1.001 * g * (1 - 1e-9)) << k;
      box.push_back(w * g);
      slack.push_back(4e-8 * g * (2 + w * H));
    }
    const double common = *std::max_element(box.begin(), box.end() - 2);
    for (std::size_t k = 0; k + 2 < box.size(); ++k) EXPECT_GE(box[k], common - slack[k]) << k;
    if (::testing::Test::HasFailure()) return;  // one histogram's report is enough
  }
  EXPECT_TRUE(t.out.ends_with("\n\n     " + std::string(51, '-') +
                              "\nYou must COPY THE FILE \"O3.res\" IN YOUR WORKING DIRECTORY"
                              "\nYou must COPY THE FIRST LINES of O3.res in your program"
                              "\nYou can remove the files temp1.tmp and temp2.tmp\n     " +
                              std::string(51, '-') + "\n\n"));
  EXPECT_EQ(line + 7, console.size());
}

TEST(Stage2E2e, FullRunsGiveFinishedHistograms) {
  // Nd_poi: losses 10 -> trunc(5/(1.05-1.002)) = 104; 20 -> trunc(3/(1.1-1.02)+1)
  // = 38; 1 -> 1666, capped at 600.
  const struct {
    const char* input;
    double H0, H_max, losses;
    int Nd;
  } cases[] = {{"0\n20\n10\n1\n", 0, 20, 10, 104},
               {"3\n20\n10\n1\n", 3, 20, 10, 104},
               {"0\n3000\n10\n0\n0\n20\n20\n1\n", 0, 20, 20, 38},  // declined once
               {"0\n2\n1\n1\n", 0, 2, 1, 600},
               {"0\n100\n10\n1\n", 0, 100, 10, 104}};  // a piece bound
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    tool_run t;
    t.put("O3.res", "a stale result to be replaced\n");
    t.run(c.input);
    check_full_run(t, c.H0, c.H_max, c.losses, c.Nd);
  }
}

// With --keep-losses only the histograms above the losses are searched
// again: losses 5 on [0, 10] leave two above (8.69 % at H = 7.12 among
// them), both brought under 5 %; 600 pieces cannot reach 1 % from H = 161.5
// on, and of the 21 histograms of [155, 170] asked for 1 %, 12 stay above
// it. Every other record stays byte for byte; the records kept above the
// losses are those the run's last line counts, from the least coupling
// among them to the largest loss.
TEST(Stage2E2e, KeepingTheLossesChangesOnlyTheHistogramsAboveThem) {
  const struct {
    const char *h0, *h_max, *losses;
    int searched;
    const char* said;
  } cases[] = {
      {"0", "10", "5", 2,
       "losses kept at or below 5.000000%: 2 histograms searched again, none left above"},
      {"155", "170", "1", 21,
       "losses kept at or below 1.000000%: 21 histograms searched again, 12 left above, "
       "from H=161.500000, at most 1.000916%: the least that 600 pieces reach there"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    const std::vector<std::string> run = {"--h0",     c.h0,     "--hmax", c.h_max,
                                          "--losses", c.losses, "--yes"};
    tool_run plain, kept;
    plain.run("", run);
    std::vector<std::string> with = run;
    with.push_back("--keep-losses");
    kept.run("", with);
    ASSERT_EQ(plain.status, 0);
    ASSERT_EQ(kept.status, 0) << kept.err;
    EXPECT_NE(kept.out.find(std::string("\n") + c.said + "\n"), std::string::npos) << kept.out;
    // Records: "i H Nd_poi loss a" and their points, in order.
    const std::vector<std::string> a = lines_of(plain.file("O3.res"));
    const std::vector<std::string> b = lines_of(kept.file("O3.res"));
    ASSERT_EQ(a.size(), b.size());
    const double asked = std::stod(c.losses);
    int changed = 0, above = 0;
    double first_above = 0.0, most = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      double loss = 0.0;
      int index = 0, nd = 0;
      double H = 0.0, area = 0.0;
      if (std::sscanf(a[i].c_str(), "%d %lf %d %lf %lf", &index, &H, &nd, &loss, &area) != 5) {
        continue;
      }
      if (loss <= asked) {
        EXPECT_EQ(a[i], b[i]) << "histogram " << index;
        continue;
      }
      ++changed;
      double kept_loss = 0.0;
      ASSERT_EQ(std::sscanf(b[i].c_str(), "%d %lf %d %lf", &index, &H, &nd, &kept_loss), 4);
      EXPECT_LE(kept_loss, loss) << "histogram " << index;
      if (kept_loss > asked) {
        first_above = above++ == 0 ? H : first_above;
        most = std::max(most, kept_loss);
      }
    }
    EXPECT_EQ(changed, c.searched);
    if (above > 0) {
      char counted[160];
      std::snprintf(counted, sizeof counted, ", %d left above, from H=%f, at most %f%%", above,
                    first_above, most);
      EXPECT_NE(kept.out.find(counted), std::string::npos) << counted;
    }
  }
}

}  // namespace
}  // namespace o3test
