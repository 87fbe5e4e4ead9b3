// Whole runs pinned by an independent implementation (tests/golden/README.md):
// every stream, the exit status and every file, byte for byte.
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
  for (const char* name : {"v", "w", "x", "y"}) {
    SCOPED_TRACE(name);
    const std::string ref = std::string(O3_GOLDEN_DIR) + "/" + name + "/";
    tool_run t;
    t.run(read(ref + "stdin"));
    EXPECT_EQ(std::to_string(t.status) + "\n", read(ref + "exit_status"));
    EXPECT_EQ(t.err, read(ref + "stderr"));
    EXPECT_TRUE(t.out == read(ref + "stdout")) << "standard output differs";
    EXPECT_EQ(t.files(), (std::vector<std::string>{"O3.res", "temp1.tmp", "temp2.tmp"}));
    for (const char* file : {"temp2.tmp", "temp1.tmp", "O3.res"}) {
      // Not EXPECT_EQ: a table of megabytes is no message.
      EXPECT_TRUE(t.file(file) == read(ref + file)) << file << " differs";
    }
  }
}

}  // namespace
}  // namespace o3test
