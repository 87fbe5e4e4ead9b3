// Stage 2 in a temporary directory, handed damaged temp files: every fault
// stops the run with a message, within seconds, before O3.res is touched;
// and a grid of H = 0 alone is written by rule.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/staged_file.h"
#include "driver/files.h"
#include "driver/stage2.h"
#include "sampler/o3_format.h"

namespace {

namespace fs = std::filesystem;

struct temp_dir {  // a fresh directory, current while the test runs
  fs::path home = fs::current_path(), dir;
  temp_dir() {
    char n[] = "/tmp/o3_stage2_XXXXXX";
    dir = mkdtemp(n);
    fs::current_path(dir);
  }
  ~temp_dir() {
    fs::current_path(home);
    fs::remove_all(dir);
  }
};
void write(const char* name, const std::string& text) { std::ofstream(name) << text; }
std::string read(const char* name) {
  std::ostringstream s;
  s << std::ifstream(name).rdbuf();
  return s.str();
}
std::set<std::string> files() {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(".")) names.insert(e.path().filename());
  return names;
}
void run_stage2() {  // standard output goes to stdout.txt
  if (std::freopen("stdout.txt", "w", stdout) == nullptr) std::exit(3);
  alarm(5);  // a hang guard: SIGALRM is no exit status the tests accept
  std::exit(o3::main_2({}));
}

// Two histograms and a map of 12 entries, as stage 1 writes them.
const std::string grid_lines[] = {"0.000000 1.000000\n", "2 1.050000\n", "0 0.000000\n",
                                  "1 0.500000\n", "12\n"};
std::string grid_with(int line, const std::string& replacement) {  // line 1..5, 0: none
  std::string text;
  for (int i = 0; i < 5; ++i) text += i + 1 == line ? replacement : grid_lines[i];
  return text;
}
std::string snippet_with(const std::string& map) {
  return "--> a. In C \nif(h<1.000000 ) j=0+(int)(h/0.040000);\n" + std::string(O3_END_COPY) + map;
}
const std::string map12 = "12\n0 0\n1 0\n2 0\n3 0\n4 0\n5 0\n6 0\n7 0\n8 0\n9 0\n10 0\n11 0\n";
const std::string good_map = snippet_with(map12);

struct damage {
  std::string what;
  std::optional<std::string> temp2, temp1;  // nullopt: the file is missing
  std::string message;                      // a regular expression
  std::string out = "";
  bool o3res_dir = false;
  void (*place)() = nullptr;  // puts what is not a regular file in a temp file's place
};

void expect_stopped(const damage& d) {
  SCOPED_TRACE(d.what);
  for (const char* name : {"O3.res", "temp2.tmp", "temp1.tmp", "stdout.txt"}) fs::remove_all(name);
  if (d.temp2) write("temp2.tmp", *d.temp2);
  if (d.temp1) write("temp1.tmp", *d.temp1);
  if (d.place != nullptr) d.place();
  if (d.o3res_dir) fs::create_directory("O3.res");
  else write("O3.res", "earlier result\n");
  const std::set<std::string> before = files();
  EXPECT_EXIT(run_stage2(), ::testing::ExitedWithCode(1),
              "^" + d.message + "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$");
  EXPECT_EQ(read("stdout.txt"), d.out);
  EXPECT_EQ(d.o3res_dir ? "earlier result\n" : read("O3.res"), "earlier result\n");
  std::set<std::string> after = files();
  after.erase("stdout.txt");
  EXPECT_EQ(after, before);
}

TEST(Stage2FilesDeathTest, DamagedTempFilesStopTheRunBeforeO3resIsTouched) {
  const temp_dir dir;
  const std::string ends = "temp2\\.tmp ends early: line ", at = "temp2\\.tmp line ";
  const std::string pair = "the number of histograms and the factor";
  const std::string coupling = "a histogram index and its coupling H";
  const std::vector<damage> rows = {
      {"temp2.tmp missing", std::nullopt, good_map,
       "cannot open temp2\\.tmp: No such file or directory"},
      {"empty temp2.tmp", "", good_map, ends + "1 should hold H0 and H_max, two numbers"},
      {"binary", std::string("\0\xff\x01\n", 4), good_map,
       at + "1: holds a NUL byte: it is not stage 1's file"},
      {"a line of 4097 bytes", grid_with(3, "0 0." + std::string(4095, '0') + "\n"), good_map,
       at + "3: longer than 4096 bytes: it is not stage 1's file"},
      {"temp2.tmp a directory", std::nullopt, good_map, "cannot open temp2\\.tmp: Is a directory",
       "", false, [] { fs::create_directory("temp2.tmp"); }},
      {"temp1.tmp a FIFO", grid_with(0, ""), std::nullopt, "cannot open temp1\\.tmp: Is a FIFO", "",
       false, [] { mkfifo("temp1.tmp", 0600); }},
      {"temp1.tmp a device", grid_with(0, ""), std::nullopt,
       "cannot open temp1\\.tmp: Is a character device", "", false,
       [] { fs::create_symlink("/dev/zero", "temp1.tmp"); }},
      {"letter in the factor", grid_with(2, "2 1.05O000\n"), good_map, at + "2: expected " + pair},
      {"letter in a coupling", grid_with(4, "1 0.5e0x00\n"), good_map,
       at + "4: expected " + coupling},
      {"nan coupling", grid_with(4, "1 nan\n"), good_map, at + "4: expected " + coupling},
      {"infinite coupling", grid_with(4, "1 1e999\n"), good_map, at + "4: expected " + coupling},
      {"two answers glued", grid_with(3, "0 0.000000 1 0.500000\n"), good_map,
       at + "3: expected " + coupling},
      {"count too large", grid_with(2, "3 1.050000\n"), good_map, at + "5: expected " + coupling},
      {"count too small", grid_with(2, "1 1.050000\n"), good_map,
       at + "4: expected the number of map entries"},
      {"count negative", grid_with(2, "-5 1.050000\n"), good_map,
       at + "2: the number of histograms must be >= 1"},
      {"count 100001", grid_with(2, "100001 1.050000\n"), good_map,
       "N_histogram must be < N_histogram_MAX\n", "N_histogram=100000 >= N_histogram_MAX=100000\n"},
      {"count INT_MAX", grid_with(2, "2147483647 1.050000\n"), good_map,
       "N_histogram must be < N_histogram_MAX\n",
       "N_histogram=2147483646 >= N_histogram_MAX=100000\n"},
      {"count beyond int", grid_with(2, "99999999999 1.050000\n"), good_map,
       at + "2: expected " + pair},
      {"map count beyond the capacity", grid_with(5, "2147483647\n"), good_map,
       at + "5: the number of map entries must be <= 100000"},
      {"map count other than temp1.tmp's", grid_with(5, "11\n"), good_map,
       "temp1\\.tmp line 4: expected the number of map entries, 11 as on temp2\\.tmp's last line"},
      {"temp1.tmp's map short", grid_with(0, ""), snippet_with(map12.substr(0, 23)),
       "temp1\\.tmp ends early: the map has 5 of its 12 entries"},
      {"temp1.tmp's map too long", grid_with(0, ""), good_map + "12 1\n",
       "temp1\\.tmp line 17: unexpected line after the map's 12 entries"},
      {"letter in temp1.tmp's map", grid_with(0, ""), snippet_with("12\n0 0\n1 O\n"),
       "temp1\\.tmp line 6: expected a map entry, two integers"},
      {"temp1.tmp not stage 1's", grid_with(0, ""), "12\n",
       "temp1\\.tmp has no end-copy line: it is not stage 1's file"},
      {"temp1.tmp missing", grid_with(0, ""), std::nullopt,
       "cannot open temp1\\.tmp: No such file or directory"},
      {"factor 1", grid_with(2, "2 1.000000\n"), good_map, at + "2: the factor must be > 1"},
      // 4.1 gives one piece, refused since H = 0.5 is not 0.
      {"one piece", grid_with(2, "2 4.100000\n"), good_map,
       "temp2\\.tmp: its losses give one piece per histogram, too few for H > 0; "
       "losses of at most 604 % give two or more"},
      {"negative coupling", grid_with(4, "1 -0.500000\n"), good_map,
       at + "4: a coupling must be >= 0"},
      {"O3.res a directory", grid_with(0, ""), good_map, "cannot create O3\\.res: Is a directory",
       "", true}};
  for (const damage& d : rows) expect_stopped(d);
  // Cut at every byte but the last line end, the loss of which loses nothing:
  // each cut leaves a line missing, a count other than temp1.tmp's or a field
  // without its value.
  const std::string whole = grid_with(0, "");
  for (std::size_t n = 0; n + 1 < whole.size(); ++n) {
    expect_stopped({"temp2.tmp cut after " + std::to_string(n) + " bytes", whole.substr(0, n),
                    good_map, "temp[12]\\.tmp [^\n]*"});
  }
}

TEST(Stage2FilesDeathTest, AHopelessCouplingStopsAtItsHistogramAtOnce) {
  // No histogram above 1e6 can be finished, and its integrals alone would
  // take hours: histogram 0 is computed, then the run stops, and nothing of
  // its O3.res is left.
  const temp_dir dir;
  write("temp2.tmp", grid_with(4, "1 10000000000.000000\n"));
  write("temp1.tmp", good_map);
  EXPECT_EXIT(run_stage2(), ::testing::ExitedWithCode(1),
              "^temp2\\.tmp: histogram 1 has H=1e\\+10, above 1e\\+06, where no histogram can be "
              "finished\n\\.\\.\\.now exiting to system\\.\\.\\.\n$");
  EXPECT_EQ(read("stdout.txt"), "Histogram=0, H=0.000000, number of pts=104, loss=0.100000%\n");
  EXPECT_EQ(files(), (std::set<std::string>{"stdout.txt", "temp1.tmp", "temp2.tmp"}));
}

// Stage 2 finishes a histogram of one piece at H = 0 (f = 4.1 gives
// trunc(3/3.08 + 1) = 1 piece; the loss is 100 * (1.001 - 1)), but a map of
// no entry (n = 0, N_H_max = 5), which no stage 1 writes, makes a table that
// a simulation could not load: the run fails at its end, and the O3.res in
// place stays as it was.
TEST(Stage2FilesDeathTest, ATableItsReaderRefusesNeverReplacesO3res) {
  const temp_dir dir;
  write("temp2.tmp", "0.000000 0.000050\n1 4.100000\n5 0.000000\n0\n");
  write("temp1.tmp", std::string(O3_END_COPY) + "0\n");
  write("O3.res", "the previous table\n");
  EXPECT_EXIT(run_stage2(), ::testing::ExitedWithCode(1),
              "^the table made is not sound \\(line 7: N_H_max must be from 6 to 100005\\); "
              "O3\\.res is left as it was\n\\.\\.\\.now exiting to system\\.\\.\\.\n$");
  EXPECT_EQ(read("O3.res"), "the previous table\n");
  EXPECT_EQ(read("stdout.txt"), "Histogram=0, H=0.000000, number of pts=1, loss=0.100000%\n");
  EXPECT_EQ(files(), (std::set<std::string>{"O3.res", "stdout.txt", "temp1.tmp", "temp2.tmp"}));
}

// O3.res is replaced as the run's last act: a signal that arrives from
// the rename on, when the previous table is gone, ends the run as one that
// wrote its table (status 0), not as one stopped with its table left.
TEST(Stage2FilesDeathTest, ASignalOnceO3resIsReplacedEndsTheRunAsOneThatWroteIt) {
  const temp_dir dir;
  write("O3.res", "the previous table\n");
  const auto replace_then_signal = [] {
    o3::staged_file table;
    o3::open_staged(table, "O3.res");
    std::fputs("the new table\n", table.stream());
    o3::commit_last(table, "O3.res");
    raise(SIGTERM);
    std::exit(0);
  };
  EXPECT_EXIT(replace_then_signal(), ::testing::ExitedWithCode(0), "^$");
  EXPECT_EQ(read("O3.res"), "the new table\n");
  EXPECT_EQ(files(), std::set<std::string>{"O3.res"});
}

}  // namespace
