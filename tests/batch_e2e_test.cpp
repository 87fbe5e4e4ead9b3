// Batch runs of the built tool: answers as options give the bytes of the
// same answers typed; --help, --version and usage errors.
#include <gtest/gtest.h>

#include "checker/check_command.h"
#include "driver/options.h"
#include "emit/emit_command.h"
#include "tests/tool_runner.h"

namespace o3test {
namespace {

TEST(BatchE2e, OptionsGiveTheBytesOfTheSameAnswersTyped) {
  const struct { const char* what; std::string typed, piped; std::vector<std::string> args; }
      rows[] = {
          {"all options", "0\n20\n10\n1\n", "", {"--h0", "0", "--hmax", "20", "--losses", "10", "--yes"}},
          {"with =, any order", "0\n20\n10\n1\n", "", {"--losses=10", "--yes", "--hmax=20", "--h0=0"}},
          {"mixed with piped answers", "0\n20\n10\n1\n", "20\n1\n", {"--h0", "0", "--losses", "10"}},
          // Declined: the second dialogue is read from standard input.
          {"declined once", "3\n3000\n10\n0\n0\n20\n20\n1\n", "0\n0\n20\n20\n1\n",
           {"--h0", "3", "--hmax", "3000", "--losses", "10"}},
          {"a piped answer refused", "abc\n0\n0.2\n10\n1\n", "abc\n0\n",
           {"--hmax", "0.2", "--losses", "10", "--yes"}},
          {"end of input at the prompt", "0\n0.2\n10\n", "", {"--h0=0", "--hmax=0.2", "--losses=10"}},
          {"a histogram not finished", "0\n500\n10\n1\n", "", {"--h0=0", "--hmax=500", "--losses=10", "--yes"}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    tool_run typed, batch;
    typed.run(r.typed);
    batch.run(r.piped, r.args);
    EXPECT_EQ(batch.out, typed.out);
    EXPECT_EQ(batch.err, typed.err);  // nothing of the progress line on a pipe
    EXPECT_EQ(batch.status, typed.status);
    ASSERT_EQ(batch.files(), typed.files());
    for (const std::string& name : typed.files()) EXPECT_EQ(batch.file(name), typed.file(name)) << name;
  }
}

TEST(BatchE2e, SubcommandsShowTheirUsageAsTheToolsUsageLineNamesIt) {
  const std::string tool_usage = o3::usage_line;
  for (const char* usage : {o3::check_usage, o3::emit_usage}) {
    SCOPED_TRACE(usage);
    EXPECT_NE(tool_usage.find(std::string("| ") + usage), std::string::npos);
    const std::string line = usage;
    const std::string command = line.substr(9, line.find(' ', 9) - 9);  // after "o3tables "
    tool_run t;
    t.run("", {command, "--bogus"});
    EXPECT_EQ(t.status, 2);
    EXPECT_NE(t.err.find(std::string("usage: ") + usage + "\n"), std::string::npos) << t.err;
  }
}

TEST(BatchE2e, HelpVersionAndUsageErrors) {
  const std::string usage = std::string(o3::usage_line) + "\n";
  const struct { std::vector<std::string> args; int status; std::string err; } rows[] = {
      {{"--help"}, 0, ""},
      {{"-h"}, 0, ""},
      {{"--version"}, 0, ""},
      {{"--bogus", "--help"}, 2, "o3tables: unknown option '--bogus'\n" + usage},
      {{"--hmx=5"}, 2, "o3tables: unknown option '--hmx' (did you mean --hmax?)\n" + usage},
      {{"--\x1b]0;title\a"}, 2, "o3tables: unknown option '--\\x1b]0;title\\x07'\n" + usage},
      {{"--h0", "0", "--hmax"}, 2, "o3tables: option '--hmax' needs a value\n" + usage},
      {{"--yes=0"}, 2, "o3tables: option '--yes' takes no value\n" + usage},
      {{"stray"}, 2, "o3tables: unknown argument 'stray'\n" + usage}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.args[0]);
    tool_run t;
    t.run("0\n0.2\n10\n1\n", r.args);
    EXPECT_EQ(t.status, r.status);
    EXPECT_EQ(t.err, r.err);
    EXPECT_TRUE(t.files().empty());  // nothing is run
    if (r.args[0] == "--version") {
      EXPECT_TRUE(t.out.starts_with("o3tables ") && t.out.ends_with("\n")) << t.out;
    } else if (r.args[0] == "--help" || r.args[0] == "-h") {
      EXPECT_TRUE(t.out.starts_with(usage));
      for (const char* item : {"--h0 X", "--hmax Y", "--losses P", "--yes", "--help", "--version",
                               "temp2.tmp", "temp1.tmp", "O3.res", "  0  ", "  1  ", "  2  "}) {
        EXPECT_NE(t.out.find(item), std::string::npos) << item;
      }
    } else {
      EXPECT_EQ(t.out, "");
    }
  }
}

}  // namespace
}  // namespace o3test
