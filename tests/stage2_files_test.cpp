// Stage 2 in a temporary directory: bad input stops the run before O3.res is
// touched, and a grid of H = 0 alone is written by rule.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "driver/stage2.h"

namespace {

namespace fs = std::filesystem;

struct temp_dir {  // a fresh directory, current while the test runs
  fs::path home = fs::current_path(), dir;
  temp_dir() { char n[] = "/tmp/o3_stage2_XXXXXX"; dir = mkdtemp(n); fs::current_path(dir); }
  ~temp_dir() { fs::current_path(home); fs::remove_all(dir); }
};
void write(const char* name, const char* text) { std::ofstream(name) << text; }
std::string read(const char* name) {
  std::ostringstream s;
  s << std::ifstream(name).rdbuf();
  return s.str();
}
void run_stage2() {  // standard output goes to stdout.txt
  if (std::freopen("stdout.txt", "w", stdout) == nullptr) std::exit(3);
  std::exit(o3::main_2());
}

TEST(Stage2FilesDeathTest, BadInputStopsTheRunBeforeO3resIsTouched) {
  const temp_dir dir;
  const char* good = "0.000000 1.000000\n2 1.050000\n0 0.000000\n1 0.500000\n3\n";
  const struct { const char* what; const char* temp2; const char* temp1; bool o3res_dir;
                 const char* out; const char* message; } rows[] = {
      {"temp2.tmp missing", nullptr, "x\n", false, "",
       "cannot open temp2\\.tmp: No such file or directory"},
      {"temp2.tmp ends early", "0 1\n", "x\n", false, "",
       "temp2\\.tmp ends early: line 2 should hold the number of histograms and the factor"},
      {"count 100001", "0 1\n100001 1.050000\n", "x\n", false,
       "N_histogram=100000 >= N_histogram_MAX=100000\n",
       "N_histogram must be < N_histogram_MAX\n"},
      // 4.1 gives one piece, refused since H = 0.5 is not 0.
      {"one piece", "0 1\n2 4.100000\n0 0.000000\n1 0.500000\n3\n", "x\n", false, "",
       "temp2\\.tmp: its losses give one piece per histogram, too few for H > 0; "
       "losses of at most 604 % give two or more"},
      {"temp1.tmp missing", good, nullptr, false, "",
       "cannot open temp1\\.tmp: No such file or directory"},
      {"O3.res a directory", good, "x\n", true, "", "cannot create O3\\.res: Is a directory"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    for (const char* name : {"O3.res", "temp2.tmp", "temp1.tmp"}) fs::remove_all(name);
    if (r.temp2 != nullptr) write("temp2.tmp", r.temp2);
    if (r.temp1 != nullptr) write("temp1.tmp", r.temp1);
    if (r.o3res_dir) fs::create_directory("O3.res");
    if (!r.o3res_dir) write("O3.res", "earlier result\n");
    EXPECT_EXIT(run_stage2(), ::testing::ExitedWithCode(1),
                std::string("^") + r.message + "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$");
    EXPECT_EQ(read("stdout.txt"), r.out);
    EXPECT_EQ(fs::is_directory("O3.res") ? "earlier result\n" : read("O3.res"),
              "earlier result\n");
  }
}

TEST(Stage2FilesDeathTest, OnlyHZeroWorksWithOnePiece) {
  const temp_dir dir;
  write("temp2.tmp", "0.000000 0.000050\n1 4.100000\n5 0.000000\n0\n");
  write("temp1.tmp", "$--- end copy ---\n0\n");
  EXPECT_EXIT(run_stage2(), ::testing::ExitedWithCode(0), "^$");
  // Hand calculation: f = 4.1 gives trunc(3/3.08 + 1) = 1 piece and losses
  // (4.1 - 1) * 200 = 620; n = 0 gives N_H_max = 5. For H = 0 the points are
  // -1 and 1, the box area 1.001 * 2/1 (as a double 2.00199999999999977...)
  // and the loss 100 * (1.001 - 1) = 0.100000. After the FORTRAN line come
  // the copy of temp1.tmp, N_histogram and the one record.
  const std::string o3res = read("O3.res");
  EXPECT_EQ(o3res.substr(0, o3res.find('\n') + 1),
            "-> O(3) with H0=0.000000 -> H_max=0.000050 and loss=620.000000%\n");
  const std::string tail = "PARAMETER(Nd_poi=1,N_hist=0,N_O_m=5)\n-\n$--- end copy ---\n0\n0\n"
      "0 0.000000 1 0.100000 2.0019999999999998e+00\n-1.0000000000000000e+00\n"
      "1.0000000000000000e+00\n";
  ASSERT_GE(o3res.size(), tail.size());
  EXPECT_EQ(o3res.substr(o3res.size() - tail.size()), tail);
  const std::string out = read("stdout.txt");  // no "factor=" line first
  EXPECT_EQ(out.substr(0, out.find('\n') + 1),
            "Histogram=0, H=0.000000, number of pts=1, loss=0.100000%\n");
}

}  // namespace
