// The shared pieces on their own: escaping, the bounded line reader, the
// staged file and the run lock.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/escape.h"
#include "common/line_reader.h"
#include "common/run_lock.h"
#include "common/staged_file.h"

namespace {

// What another run does, when set, between the opening of the lock file and
// its locking: flock below runs it once first.
std::function<void()> meanwhile;

}  // namespace

// flock as lock_file calls it, linked in place of the C library's: the
// kernel's, after `meanwhile`. It must bear the name of fcntl.h's struct.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
extern "C" int flock(int fd, int operation) noexcept {
  if (meanwhile) std::exchange(meanwhile, nullptr)();
  return static_cast<int>(syscall(SYS_flock, fd, operation));
}
#pragma GCC diagnostic pop

namespace {

namespace fs = std::filesystem;

TEST(Common, EscapedBytesCannotReachTheTerminalRaw) {
  EXPECT_EQ(o3::escape_bytes(std::string("a b\n\r\t\\\x1b[2J\x7f\xc3\xa9\0", 15)),
            "a b\\n\\r\\t\\\\\\x1b[2J\\x7f\\xc3\\xa9\\x00");
}

TEST(Common, LinesAreCappedAndStopAtANulByte) {
  using lr = o3::line_reader;
  // Each line read in turn: its status, its text, whether '\n' ended it.
  struct step {
    lr::status status;
    std::string text;
    bool ended;
  };
  const struct {
    const char* what;
    std::string text;
    std::vector<step> steps;
  } rows[] = {{"the last line without its end",
               "ab\n\nc",
               {{lr::line, "ab", true},
                {lr::line, "", true},
                {lr::line, "c", false},
                {lr::end, "", false}}},
              {"exactly the cap", "abcd\n", {{lr::line, "abcd", true}, {lr::end, "", false}}},
              {"one byte over", "abcde\n", {{lr::too_long, "abcd", false}}},
              {"a NUL byte",
               std::string("ab\n\0b\n", 6),
               {{lr::line, "ab", true}, {lr::nul_byte, "", false}}}};
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

// Each staged file holds one of the exit clean-up's eight slots until it is
// committed or abandoned: ten committed one after another, then all eight
// held at once, committed, abandoned and held again.
TEST(Common, StagedFilesGiveBackTheirExitCleanUpSlots) {
  char name[] = "/tmp/o3_common_XXXXXX";
  const fs::path dir = mkdtemp(name);
  const auto target = [&](int i) { return dir / ("table" + std::to_string(i)); };
  const auto content = [&](int i) {
    std::stringstream s;
    s << std::ifstream(target(i)).rdbuf();
    return s.str();
  };
  const struct {
    const char* what;
    int files, at_once;
    bool commit;
  } rounds[] = {{"ten one after another", 10, 1, true},
                {"eight at once", 8, 8, true},
                {"eight at once abandoned", 8, 8, false},
                {"eight at once again", 8, 8, true}};
  for (const auto& r : rounds) {
    SCOPED_TRACE(r.what);
    for (int from = 0; from < r.files; from += r.at_once) {
      std::vector<std::unique_ptr<o3::staged_file>> held;
      for (int i = from; i < from + r.at_once; ++i) {
        held.push_back(std::make_unique<o3::staged_file>());
        ASSERT_EQ(held.back()->open(target(i)), 0) << "file " << i;
        std::fputs(r.what, held.back()->stream());
      }
      for (const auto& f : held) {
        if (r.commit) {
          EXPECT_EQ(f->commit(), 0);
        } else {
          f->abandon();
        }
      }
    }
    // Each target holds what the last round that committed it wrote.
    for (int i = 0; i < r.files; ++i) {
      EXPECT_EQ(content(i), r.commit ? r.what : "eight at once") << "file " << i;
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 10);
  fs::remove_all(dir);
}

// The lock is taken on the file at its path, never on one that another run
// removed or replaced after this one opened it: this run then holds the
// file there now, or finds it held. Each case runs in a child process, which
// keeps its lock and its slot of the exit clean-up to itself.
TEST(Common, TheRunLockHoldsTheFileAtItsPath) {
  char name[] = "/tmp/o3_common_XXXXXX";
  const fs::path dir = mkdtemp(name);
  const std::string path = (dir / "lock").string();
  // What the child found: the lock held on the file at the path, held on
  // another, or busy.
  enum found { held_there, held_elsewhere, busy, other };
  const auto replace = [&](bool lock) {
    unlink(path.c_str());
    const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0600);
    if (lock) syscall(SYS_flock, fd, LOCK_EX);  // another run's, kept open
    else close(fd);
  };
  const struct {
    const char* what;
    std::function<void()> other_run;
    found expected;
  } cases[] = {
      {"nothing meanwhile", nullptr, held_there},
      {"the file removed", [&] { unlink(path.c_str()); }, held_there},
      {"the file replaced", [&] { replace(false); }, held_there},
      {"the file replaced and locked", [&] { replace(true); }, busy},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(path) << "";  // as a run that ended left it
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      meanwhile = c.other_run;
      int error = 0;
      const o3::lock_outcome got = o3::lock_file(path.c_str(), &error);
      // Held there: no other open of the file at the path can lock it.
      const int fd = open(path.c_str(), O_RDWR);
      const bool there =
          fd >= 0 && syscall(SYS_flock, fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
      _exit(got == o3::lock_outcome::held   ? (there ? held_there : held_elsewhere)
            : got == o3::lock_outcome::busy ? busy
                                            : other);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.expected);
  }
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
  const struct {
    const char* what;
    void (*between)();
    int error;
    std::string left;
  } rows[] = {{"the second temporary removed", [] { unlink(file_set::second_temporary.c_str()); },
               o3::temporary_removed, "old a\nold b\n"},
              // An exchange of names, unlike a rename, would take a directory.
              {"the second target made a directory",
               [] {
                 fs::remove(file_set::second_target);
                 fs::create_directory(file_set::second_target);
               },
               EISDIR, "old a\n"}};
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
