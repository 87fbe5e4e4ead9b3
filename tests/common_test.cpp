// The shared pieces on their own: escaping, the bounded line reader and the
// staged file.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "common/escape.h"
#include "common/line_reader.h"
#include "common/staged_file.h"

namespace {

namespace fs = std::filesystem;

TEST(Common, EscapedBytesCannotReachTheTerminalRaw) {
  EXPECT_EQ(o3::escape_bytes(std::string("a b\n\r\t\\\x1b[2J\x7f\xc3\xa9\0", 15)),
            "a b\\n\\r\\t\\\\\\x1b[2J\\x7f\\xc3\\xa9\\x00");
}

TEST(Common, LinesAreCappedAndStopAtANulByte) {
  using lr = o3::line_reader;
  // Each line read in turn: its status, its text, whether '\n' ended it.
  struct step { lr::status status; std::string text; bool ended; };
  const struct { const char* what; std::string text; std::vector<step> steps; } rows[] = {
      {"the last line without its end", "ab\n\nc",
       {{lr::line, "ab", true}, {lr::line, "", true}, {lr::line, "c", false}, {lr::end, "", false}}},
      {"exactly the cap", "abcd\n", {{lr::line, "abcd", true}, {lr::end, "", false}}},
      {"one byte over", "abcde\n", {{lr::too_long, "abcd", false}}},
      {"a NUL byte", std::string("ab\n\0b\n", 6), {{lr::line, "ab", true}, {lr::nul_byte, "", false}}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    lr lines(std::string_view(r.text), 4);
    std::string line;
    for (const step& s : r.steps) {
      EXPECT_EQ(lines.next(&line), s.status);
      EXPECT_EQ(line, s.text);
      EXPECT_EQ(lines.line_ended(), s.ended);
    }
  }
}

TEST(Common, AStagedFileReplacesItsTargetOnlyOnCommit) {
  char name[] = "/tmp/o3_common_XXXXXX";
  const fs::path dir = mkdtemp(name);
  const fs::path target = dir / "table";
  std::ofstream(target) << "old\n";
  const auto content = [&] {
    std::stringstream s;
    s << std::ifstream(target).rdbuf();
    return s.str();
  };
  {
    o3::staged_file f;
    ASSERT_EQ(f.open(target), 0);
    std::fputs("new\n", f.stream());
    EXPECT_EQ(content(), "old\n");
  }  // abandoned: the temporary goes, the target stays
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
  o3::staged_file f;
  ASSERT_EQ(f.open(target), 0);
  std::fputs("new\n", f.stream());
  EXPECT_EQ(f.commit(), 0);
  EXPECT_EQ(content(), "new\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
  EXPECT_EQ(f.open(dir), EISDIR);
  fs::remove_all(dir);
}

}  // namespace
