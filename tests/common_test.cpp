// The shared pieces on their own: escaping, the bounded line reader and the
// staged file.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

TEST(Common, AStagedFileKeepsWhatItReplacesAndWritesDevicesDirectly) {
  char name[] = "/tmp/o3_common_XXXXXX";
  const fs::path dir = mkdtemp(name);
  const fs::path target = dir / "table";
  std::ofstream(target) << "old\n";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  o3::staged_file f;
  ASSERT_EQ(f.open(target), 0);
  EXPECT_EQ(f.commit(), 0);
  EXPECT_EQ(fs::status(target).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::permissions(target, fs::perms::owner_read);
  if (geteuid() != 0) {  // root may write any file
    EXPECT_EQ(f.open(target), EACCES);
  }

  // Replacing these by a regular file would break the system or the pipe.
  ASSERT_EQ(f.open("/dev/null"), 0);
  std::fputs("drawn\n", f.stream());
  EXPECT_EQ(f.commit(), 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  ASSERT_EQ(f.open("/dev/full"), 0);
  std::fputs("drawn\n", f.stream());
  EXPECT_EQ(f.commit(), ENOSPC);
  const fs::path fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(f.open(fifo), ENXIO);  // no reader: refused at once, not waited for
  EXPECT_TRUE(fs::is_fifo(fifo));
  fs::remove_all(dir);
}

// Two files that belong together (emit's header and source, the temp
// files), with "old" contents that commit_together replaces by "new" ones.
class file_set {
 public:
  file_set() {
    char name[] = "/tmp/o3_common_XXXXXX";
    dir_ = mkdtemp(name);
    for (const char* f : {"a", "b"}) std::ofstream(dir_ / f) << "old " << f << "\n";
  }
  ~file_set() { fs::remove_all(dir_); }
  // Commits new contents of both, calling `between` between the renames;
  // the error, and in *failed the file that failed.
  int commit(void (*between)(), std::size_t* failed) {
    o3::staged_file a, b;
    EXPECT_EQ(a.open(dir_ / "a"), 0);
    EXPECT_EQ(b.open(dir_ / "b"), 0);
    std::fputs("new a\n", a.stream());
    std::fputs("new b\n", b.stream());
    second_temporary = b.temporary();
    second_target = dir_ / "b";
    o3::staged_file* const both[] = {&a, &b};
    return o3::commit_together(both, 2, failed, between);
  }
  // What a and b hold (nothing of b when it is a directory), and that
  // nothing else, no temporary, is left.
  std::string contents() const {
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);
    std::stringstream s;
    s << std::ifstream(dir_ / "a").rdbuf() << std::ifstream(dir_ / "b").rdbuf();
    return s.str();
  }
  static inline std::string second_temporary, second_target;

 private:
  fs::path dir_;
};

TEST(CommonDeathTest, ASignalBetweenTheRenamesOfASetActsOnlyOnceAllAreInPlace) {
  file_set set;
  std::size_t failed = 0;
  // The signal is raised after the first rename, as a batch system's
  // SIGTERM might arrive; it ends the process only after the second.
  EXPECT_EXIT((set.commit([] { raise(SIGTERM); }, &failed), std::exit(0)),
              ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(set.contents(), "new a\nnew b\n");  // and no temporary left
}

// A rename refused after every check allowed it, as a file changed by
// another process meanwhile makes it: the first file is taken back.
TEST(Common, ARenameOfASetRefusedAfterTheFirstTakesTheFirstBack) {
  const struct { const char* what; void (*between)(); int error; std::string left; } rows[] = {
      {"the second temporary removed", [] { unlink(file_set::second_temporary.c_str()); },
       o3::temporary_removed, "old a\nold b\n"},
      // An exchange of names, unlike a rename, would take a directory.
      {"the second target made a directory", [] {
         fs::remove(file_set::second_target);
         fs::create_directory(file_set::second_target);
       }, EISDIR, "old a\n"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    file_set set;
    std::size_t failed = 0;
    EXPECT_EQ(set.commit(r.between, &failed), r.error);
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(set.contents(), r.left);
  }
}

}  // namespace
