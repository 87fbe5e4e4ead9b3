// Whole runs pinned by an independent implementation (tests/golden/README.md):
// every stream, the exit status and every file, byte for byte, a difference
// reported at its first line.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(GoldenE2e, ReferenceRunsAreReproducedByteForByte) {
  for (const char* name : {"from_zero", "h0_between_steps", "two_mapping_pieces", "many_pieces"}) {
    SCOPED_TRACE(name);
    const std::string ref = std::string(O3_GOLDEN_DIR) + "/" + name + "/";
    tool_run t;
    t.run(read(ref + "stdin"));
    EXPECT_EQ(std::to_string(t.status) + "\n", read(ref + "exit_status"));
    EXPECT_EQ(first_difference(read(ref + "stderr"), t.err), "") << "standard error";
    EXPECT_EQ(first_difference(read(ref + "stdout"), t.out), "") << "standard output";
    EXPECT_EQ(t.files(), (std::vector<std::string>{"O3.res", "temp1.tmp", "temp2.tmp"}));
    for (const char* file : {"temp2.tmp", "temp1.tmp", "O3.res"}) {
      EXPECT_EQ(first_difference(read(ref + file), t.file(file)), "") << file;
    }
  }
}

// The report of a difference names its first line, the line end and what
// is missing included.
TEST(GoldenE2e, ADifferenceIsReportedAtItsFirstLine) {
  const struct {
    const char* what;
    std::string expected, got, report;
  } rows[] = {
      {"the same", "a\nb\n", "a\nb\n", ""},
      {"both empty", "", "", ""},
      {"a line changed", "a\nb\nc\n", "a\nB\nC\n", "line 2: expected 'b\\n', got 'B\\n'"},
      {"a line missing at the end", "a\nb\n", "a\n", "line 2: expected 'b\\n', got the end"},
      {"a line too many", "a\n", "a\n\n", "line 2: expected the end, got '\\n'"},
      {"the last line end lost", "a\nb\n", "a\nb", "line 2: expected 'b\\n', got 'b'"},
      {"a blank at a line's end", "x,y -> [-1,1[ \n", "x,y -> [-1,1[\n",
       "line 1: expected 'x,y -> [-1,1[ \\n', got 'x,y -> [-1,1[\\n'"},
      {"a carriage return", "a\n", "a\r\n", "line 1: expected 'a\\n', got 'a\\r\\n'"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(first_difference(r.expected, r.got), r.report);
  }
}

}  // namespace
}  // namespace o3test
