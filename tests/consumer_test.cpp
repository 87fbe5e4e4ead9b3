// A project of its own that takes the o3tables project with add_subdirectory
// draws from a table the tool wrote.
#include <gtest/gtest.h>

#include <string>

#include "tests/made_tables.h"
#include "tests/tool_runner.h"

namespace o3test {
namespace {

TEST(SamplerConsumer, DrawsFromATableOfTheTool) {
  const command_result r = run_command(std::string(O3_CONSUMER_PATH) + " " + made_table("0 3 10"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "1\n0\n");  // in [-1, 1], and as the C draws them
}

}  // namespace
}  // namespace o3test
