// What a table run leaves when it does not finish, when another run shares
// its directory, when its names are links or directories, when its output
// cannot be written, and when its input is endless: the previous O3.res
// byte for byte, nothing half-written, a message and a status.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

namespace fs = std::filesystem;

const std::string old_table = "the table of an earlier run\n";
const std::vector<std::string> short_run = {"--h0", "0", "--hmax", "5", "--losses", "10", "--yes"};
const std::vector<std::string> temp_files = {"O3.res", "temp1.tmp", "temp2.tmp"};
const std::string closing = "...now exiting to system...\n";

// O3.res of the short run, made once in a directory of its own.
const std::string& short_table() {
  static const std::string table = [] {
    tool_run t;
    t.run("", short_run);
    EXPECT_EQ(t.status, 0);
    return t.file("O3.res");
  }();
  return table;
}

TEST(SafeFilesE2e, ARunThatEndsEarlyLeavesThePreviousTableAndNoTemporary) {
  // Stage 2 of losses 1 up to 100 takes a second or more: long enough to be
  // interrupted after its 20th histogram.
  const std::vector<std::string> long_run = {"--h0",     "0", "--hmax", "100",
                                             "--losses", "1", "--yes"};
  struct row {
    const char* what;
    std::vector<std::string> args;
    std::string wait;
    int sig;
    unsigned long size_cap;
    int status;
    std::string err;
  };
  const row rows[] = {
      {"SIGINT in stage 2", long_run, "Histogram=20,", SIGINT, 0, 128 + SIGINT, ""},
      {"SIGTERM in stage 2", long_run, "Histogram=20,", SIGTERM, 0, 128 + SIGTERM, ""},
      {"SIGHUP in stage 2", long_run, "Histogram=20,", SIGHUP, 0, 128 + SIGHUP, ""},
      {"SIGTERM at the prompt",
       {"--h0=0", "--hmax=5", "--losses=10"},
       ask_continue,
       SIGTERM,
       0,
       128 + SIGTERM,
       ""},
      // A batch system's warning before its limit, and an alarm.
      {"SIGUSR1 in stage 2", long_run, "Histogram=20,", SIGUSR1, 0, 128 + SIGUSR1, ""},
      {"SIGALRM at the prompt",
       {"--h0=0", "--hmax=5", "--losses=10"},
       ask_continue,
       SIGALRM,
       0,
       128 + SIGALRM,
       ""},
      // O3.res of this run has 140 kB, the temp files 2 kB: a full disk.
      {"no room for O3.res", short_run, "", 0, 100000, 1,
       "cannot write O3.res: File too large\n" + closing}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    tool_run t;
    t.put("O3.res", old_table);
    t.file_size_cap = r.size_cap;
    t.start(r.args);
    if (r.sig != 0) {
      ASSERT_TRUE(t.wait_for(r.wait)) << t.err;
      t.send_signal(r.sig);
    }
    t.finish();
    EXPECT_EQ(t.status, r.status);
    EXPECT_EQ(t.err, r.err);
    EXPECT_EQ(t.file("O3.res"), old_table);
    EXPECT_EQ(t.files(), temp_files);  // no temporary and no lock left
  }
}

TEST(SafeFilesE2e, ASecondRunInTheSameDirectoryStopsBeforeWritingAnything) {
  tool_run first;
  first.start();
  ASSERT_TRUE(first.wait_for(ask_H0));  // the lock is held at the first prompt
  tool_run second(first.dir());
  second.run("0\n5\n10\n1\n", short_run);
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err,
            "o3tables: another table run is under way in this directory "
            "(it holds .o3tables.lock): this one stops\n");
  EXPECT_EQ(first.files(), std::vector<std::string>{".o3tables.lock"});
  first.finish("0\n5\n10\n1\n");
  EXPECT_EQ(first.status, 0);
  EXPECT_TRUE(first.file("O3.res") == short_table());
  EXPECT_EQ(first.files(), temp_files);  // the lock goes with the run

  // Runs started together: each one either makes the whole table or stops
  // at once; the table left is never a mix.
  tool_run shared;
  std::vector<std::unique_ptr<tool_run>> runs;
  for (int i = 0; i < 6; ++i) {
    runs.push_back(std::make_unique<tool_run>(shared.dir()));
    runs.back()->start(short_run);
  }
  int made = 0;
  for (auto& r : runs) {
    r->finish();
    EXPECT_TRUE(r->status == 0 || (r->status == 1 && r->err.find("under way") != std::string::npos))
        << r->status << r->err;
    made += r->status == 0;
  }
  EXPECT_GE(made, 1);
  EXPECT_TRUE(shared.file("O3.res") == short_table());
  EXPECT_EQ(shared.files(), temp_files);
}

TEST(SafeFilesE2e, LinksAreReplacedNeverWrittenThrough) {
  tool_run elsewhere;  // a directory outside the run's
  elsewhere.put("target", "not to be touched\n");
  const std::string target = elsewhere.dir() + "/target";
  for (const char* name : {"O3.res", "temp1.tmp", "temp2.tmp"}) {
    SCOPED_TRACE(name);
    tool_run t;
    fs::create_symlink(target, t.dir() + "/" + name);
    t.run("", short_run);
    EXPECT_EQ(t.status, 0);
    EXPECT_FALSE(fs::is_symlink(t.dir() + "/" + name));
    EXPECT_EQ(t.files(), temp_files);
  }
  // A link to a device or a FIFO is replaced all the same: written through,
  // the table would go onto a disk or to whoever reads the FIFO.
  const std::string fifo = elsewhere.dir() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  for (const char* name : {"O3.res", "temp1.tmp", "temp2.tmp"}) {
    for (const std::string& to : {std::string("/dev/full"), fifo}) {
      SCOPED_TRACE(std::string(name) + " -> " + to);
      tool_run t;
      fs::create_symlink(to, t.dir() + "/" + name);
      t.run("", short_run);
      EXPECT_EQ(t.status, 0) << t.err;
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(t.dir() + "/" + name)));
      EXPECT_TRUE(t.file("O3.res") == short_table());
    }
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  fs::remove(fifo);
  {
    SCOPED_TRACE("dangling O3.res");
    tool_run t;
    fs::create_symlink(elsewhere.dir() + "/created", t.dir() + "/O3.res");
    t.run("", short_run);
    EXPECT_EQ(t.status, 0);
    EXPECT_TRUE(t.file("O3.res") == short_table());
  }
  {
    SCOPED_TRACE("the lock file a link");
    tool_run t;
    fs::create_symlink(target, t.dir() + "/.o3tables.lock");
    t.run("", short_run);
    EXPECT_EQ(t.status, 1);
    EXPECT_EQ(t.err, "o3tables: cannot create .o3tables.lock: Too many levels of symbolic links\n");
    EXPECT_EQ(t.out, "");
  }
  EXPECT_EQ(elsewhere.file("target"), "not to be touched\n");
  EXPECT_EQ(elsewhere.files(), std::vector<std::string>{"target"});
}

// The directory removed (rm -r) under a run in stage 2: its table can go
// nowhere, and the run says why.
TEST(SafeFilesE2e, ADirectoryRemovedUnderTheRunIsNamedAsTheReason) {
  tool_run t;
  t.start({"--h0", "0", "--hmax", "100", "--losses", "1", "--yes"});
  ASSERT_TRUE(t.wait_for("Histogram=20,")) << t.err;
  fs::remove_all(t.dir());
  t.finish();
  EXPECT_EQ(t.status, 1);
  EXPECT_EQ(t.err, "cannot write O3.res: its directory was removed during the run\n" + closing);
}

TEST(SafeFilesE2e, EveryFailedWriteIsStatus1WithAMessage) {
  const std::string full = "cannot write standard output: No space left on device\n";
  struct row {
    const char* what;
    std::string input;
    std::vector<std::string> args;
    const char* directory;
    std::string err;
    std::vector<std::string> files;
  };
  const row rows[] = {
      {"stdout a full device, options", "", short_run, nullptr, full + closing, {"O3.res"}},
      {"stdout a full device, typed", "0\n5\n10\n1\n", {}, nullptr, full + closing, {"O3.res"}},
      {"stdout a full device, help", "", {"-h"}, nullptr, "o3tables: " + full, {"O3.res"}},
      {"temp1.tmp a directory",
       "",
       short_run,
       "temp1.tmp",
       "cannot create temp1.tmp: Is a directory\n" + closing,
       {"O3.res", "temp1.tmp"}},
      // Found before the first question, as the other refusals of a rename.
      {"O3.res a directory",
       "",
       short_run,
       "O3.res",
       "cannot create O3.res: Is a directory\n" + closing,
       {"O3.res"}}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    tool_run t;
    if (r.directory != nullptr) fs::create_directory(t.dir() + "/" + r.directory);
    if (std::string("O3.res") != (r.directory ? r.directory : "")) t.put("O3.res", old_table);
    if (r.directory == nullptr) t.stdout_path = "/dev/full";
    t.run(r.input, r.args);
    EXPECT_EQ(t.status, 1);
    EXPECT_EQ(t.err, r.err);
    if (r.directory == nullptr || std::string(r.directory) != "O3.res") {
      EXPECT_EQ(t.file("O3.res"), old_table);
    }
    EXPECT_EQ(t.files(), r.files);
  }
  // Closed by the caller: the lock file, opened next, must not take its
  // place and the log.
  tool_run t;
  t.put("O3.res", old_table);
  t.close_stdout = true;
  t.run("", short_run);
  EXPECT_EQ(t.status, 1);
  EXPECT_EQ(t.err, "cannot write standard output: Bad file descriptor\n" + closing);
  EXPECT_EQ(t.file("O3.res"), old_table);
  EXPECT_EQ(t.files(), std::vector<std::string>{"O3.res"});
}

TEST(SafeFilesE2e, InputThatCanNeverBeAnAnswerEndsTheRunAtOnce) {
  // Within a memory cap, except under the address and thread sanitizers,
  // whose shadow memory alone is larger.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  const unsigned long cap = 0;
#else
  const unsigned long cap = 256ul << 20;
#endif
  struct row {
    const char* what;
    std::string stdin_path, input;
    std::string err;
  };
  const row rows[] = {
      {"/dev/zero", "/dev/zero", "",
       "!!! standard input line 1 holds a NUL byte: no answer for H0\n"},
      {"a NUL byte after an answer", "", std::string("0\n5 \0\n", 6),
       "!!! standard input line 2 holds a NUL byte: no answer for H_max\n"},
      {"an endless line", "", "0\n5\n" + std::string(3 << 20, '7'),
       "!!! standard input line 3 is longer than 1048576 bytes: no answer for the % of losses\n"},
      {"a directory", "/", "",
       "!!! cannot read standard input: Is a directory: no answer for H0\n"}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    tool_run t;
    t.stdin_path = r.stdin_path;
    t.memory_cap = cap;
    t.run(r.input, {}, 30);
    EXPECT_EQ(t.status, 1);
    EXPECT_EQ(t.err, r.err);
    EXPECT_TRUE(t.files().empty());
  }
}

}  // namespace
}  // namespace o3test
