// Stage 2 on damaged or missing input files: it stops before O3.res is
// touched, with a message that names the file and what is wrong.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/stage2.h"

namespace {

const std::string closing = "\\.\\.\\.now exiting to system\\.\\.\\.\n$";

// The temp1.tmp of a one-piece range; its content is copied, not parsed.
const char* const snippet = "lookup lines\n1\n0 0\n";

class Stage2DeathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/o3stage2.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void write(const char* file, const std::string& text) {
    std::ofstream(dir_ / file, std::ios::binary) << text;
  }
  std::string read(const char* file) {
    std::ifstream in(dir_ / file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Runs stage 2 in the directory, in the death test's child.
  void run() {
    if (chdir(dir_.c_str()) != 0) std::exit(99);
    std::exit(o3::main_2());
  }

  std::filesystem::path dir_;
};

TEST_F(Stage2DeathTest, BadGridFileLeavesO3resUntouched) {
  struct row {
    const char* what;
    const char* temp2;  // nullptr: no temp2.tmp at all
    const char* message;
  };
  const row rows[] = {
      {"missing", nullptr,
       "^cannot open temp2.tmp: No such file or directory\n"},
      {"empty", "", "^temp2.tmp ends early: line 1 should hold H0 and H_max"},
      {"ends early", "0.000000 1.000000\n2 1.050000\n0 0.000000\n",
       "^temp2.tmp ends early: line 4 should hold a histogram index"},
      {"letter in a number", "0.000000 1.000000\n2 1.05x000\n",
       "^temp2.tmp line 2: expected the number of histograms and the factor"},
      {"more lines than the count",
       "0.000000 1.000000\n1 1.050000\n0 0.000000\n1 0.040000\n2\n",
       "^temp2.tmp line 4: expected the number of map entries"},
      {"fewer lines than the count",
       "0.000000 1.000000\n3 1.050000\n0 0.000000\n1 0.040000\n2\n",
       "^temp2.tmp line 5: expected a histogram index"},
      {"factor not above 1", "0.000000 1.000000\n1 1.000000\n0 0.000000\n0\n",
       "^temp2.tmp line 2: the factor must be > 1\n"},
      {"negative coupling", "0.000000 1.000000\n1 1.050000\n0 -0.500000\n0\n",
       "^temp2.tmp line 3: a coupling must be >= 0\n"},
      // 1 + 3 / (4.1 - 1.02) truncates to 1: one piece cannot be corrected.
      {"one piece for H above 0",
       "0.000000 1.000000\n2 4.100000\n0 0.000000\n1 0.500000\n1\n",
       "^temp2.tmp: its losses give one piece per histogram"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    std::filesystem::remove(dir_ / "temp2.tmp");
    if (r.temp2 != nullptr) write("temp2.tmp", r.temp2);
    write("temp1.tmp", snippet);
    write("O3.res", "kept\n");
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(1), r.message);
    EXPECT_EQ(read("O3.res"), "kept\n");
  }
}

TEST_F(Stage2DeathTest, TooManyHistogramsIsRefusedBeforeAnyIsStored) {
  write("temp2.tmp", "0.000000 1.000000\n100001 1.050000\n");
  write("temp1.tmp", snippet);
  // The count line alone decides; the list lines are never read.
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
              "^N_histogram must be < N_histogram_MAX\n\n" + closing);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "O3.res"));
}

TEST_F(Stage2DeathTest, MissingLookupFileOrUncreatableResult) {
  write("temp2.tmp", "0.000000 1.000000\n1 1.050000\n0 0.000000\n1\n");
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
              "^cannot open temp1.tmp: No such file or directory\n" + closing);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "O3.res"));
  write("temp1.tmp", snippet);
  std::filesystem::create_directory(dir_ / "O3.res");
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
              "^cannot create O3.res: Is a directory\n" + closing);
}

TEST_F(Stage2DeathTest, OnePieceServesAGridWhoseOnlyCouplingIsZero) {
  write("temp2.tmp", "0.000000 0.000000\n1 4.100000\n7 0.000000\n1\n");
  write("temp1.tmp", snippet);
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
  // Header (11 lines), the copy, the count, then the record: the index on
  // the grid line is not used; box area 1.001 * 2 / 1 (1.001 is just below
  // its decimal, so the product prints as 2.0019999999999998), points -1
  // and 1, wider than the field of 20.
  const std::string result = read("O3.res");
  const std::string tail = std::string(snippet) +
                           "0\n0 0.000000 1 0.100000 2.0019999999999998e+00\n"
                           "-1.0000000000000000e+00\n1.0000000000000000e+00\n";
  ASSERT_GE(result.size(), tail.size());
  EXPECT_EQ(result.substr(result.size() - tail.size()), tail);
  EXPECT_NE(result.find("PARAMETER(Nd_poi=1,N_hist=0,N_O_m=6)\n"), std::string::npos);
}

}  // namespace
