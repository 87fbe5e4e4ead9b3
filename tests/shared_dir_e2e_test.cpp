// Runs of two users in one shared, sticky (1777) directory, as on a
// cluster's scratch space: a lock or a file the other user left, and
// renames the directory refuses. The test runs as root and runs the tool as
// `nobody`; the other user is a bare uid.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

constexpr uid_t runner = 65534, other = 65533;
constexpr gid_t runner_group = 65534, other_group = 65533;
const std::vector<std::string> short_run = {"--h0", "0", "--hmax", "5", "--losses", "10", "--yes"};
const std::string closing = "...now exiting to system...\n";

// A directory like /tmp inside a test directory the users may enter.
class shared_directory {
 public:
  shared_directory() : path_(outer_.dir() + "/shared") {
    chmod(outer_.dir().c_str(), 0755);
    mkdir(path_.c_str(), 0777);
    chmod(path_.c_str(), 01777);  // past the umask
  }
  const std::string& path() const { return path_; }
  // A file of the other user, which the runner may write but, the
  // directory being sticky, not rename over.
  void put_others(const std::string& name, const std::string& text, mode_t mode) const {
    tool_run(path_).put(name, text);
    const std::string file = path_ + "/" + name;
    EXPECT_EQ(chown(file.c_str(), other, other_group), 0);
    EXPECT_EQ(chmod(file.c_str(), mode), 0);
  }

 private:
  tool_run outer_;
  std::string path_;
};

// As the runner, or as the other user.
void as(tool_run& t, uid_t uid, gid_t gid) {
  t.uid = uid;
  t.gid = gid;
}

#define SKIP_WITHOUT_A_SECOND_USER()                                                          \
  if (!can_run_as(runner, runner_group)) {                                                    \
    GTEST_SKIP() << "needs root to run the tool as uid " << runner << " beside uid " << other \
                 << " in a shared directory, and that uid able to execute it";                \
  }

TEST(SharedDirectoryE2e, AnotherUsersLockStopsARunOnlyWhileItsRunIsLive) {
  SKIP_WITHOUT_A_SECOND_USER();
  shared_directory shared;
  tool_run theirs(shared.path());
  as(theirs, other, other_group);
  const mode_t mask = umask(077);  // theirs: private files
  theirs.start();
  umask(mask);
  ASSERT_TRUE(theirs.wait_for(ask_H0)) << theirs.err;  // the lock is theirs
  tool_run mine(shared.path());
  as(mine, runner, runner_group);
  mine.run("", short_run);
  EXPECT_EQ(mine.status, 1);
  EXPECT_EQ(mine.err,
            "o3tables: another table run is under way in this directory "
            "(it holds .o3tables.lock): this one stops\n");
  EXPECT_EQ(mine.out, "");
  // Killed, their run leaves its lock file, which only they may remove: it
  // is readable by all whatever their umask, and locked read-only from now
  // on.
  theirs.send_signal(SIGKILL);
  theirs.finish();
  struct stat lock {};
  ASSERT_EQ(lstat((shared.path() + "/.o3tables.lock").c_str(), &lock), 0);
  EXPECT_EQ(lock.st_uid, other);
  EXPECT_EQ(lock.st_mode & 0777, 0644u);
  for (int again = 0; again < 2; ++again) {
    SCOPED_TRACE(again);
    mine.run("", short_run);
    EXPECT_EQ(mine.status, 0) << mine.err;
    EXPECT_EQ(mine.err, "");
  }
  EXPECT_EQ(mine.files(),
            (std::vector<std::string>{".o3tables.lock", "O3.res", "temp1.tmp", "temp2.tmp"}));
}

// A FIFO of another user in the lock file's place: opened read-only, it
// must not wait for a writer.
TEST(SharedDirectoryE2e, AnotherUsersFifoInPlaceOfTheLockHoldsNoRunForEver) {
  SKIP_WITHOUT_A_SECOND_USER();
  shared_directory shared;
  const std::string lock = shared.path() + "/.o3tables.lock";
  ASSERT_EQ(mkfifo(lock.c_str(), 0644), 0);
  ASSERT_EQ(chown(lock.c_str(), other, other_group), 0);
  tool_run mine(shared.path());
  as(mine, runner, runner_group);
  mine.run("", short_run, 10);
  EXPECT_EQ(mine.status, 0) << mine.err;
}

// Another user's O3.res that the runner may write but not replace: found
// before the first question, not after the whole computation.
TEST(SharedDirectoryE2e, AnotherUsersTableThatCannotBeReplacedStopsTheRunAtOnce) {
  SKIP_WITHOUT_A_SECOND_USER();
  shared_directory shared;
  shared.put_others("O3.res", "their table\n", 0666);
  tool_run mine(shared.path());
  as(mine, runner, runner_group);
  mine.run("", short_run);
  EXPECT_EQ(mine.status, 1);
  EXPECT_EQ(mine.err, "cannot create O3.res: Operation not permitted\n" + closing);
  EXPECT_EQ(mine.out, "");
  EXPECT_EQ(mine.file("O3.res"), "their table\n");
  EXPECT_EQ(mine.files(), std::vector<std::string>{"O3.res"});
}

// emit's set: a file of the set the directory will not let the runner
// replace leaves every old one as it was.
TEST(SharedDirectoryE2e, EmitReplacesNoFileWhenOneOfTheSetCannotBe) {
  SKIP_WITHOUT_A_SECOND_USER();
  shared_directory shared;
  shared.put_others("o3_sampler.c", "their source\n", 0666);
  tool_run mine(shared.path());
  mine.put("o3_sampler.h", "old header\n");
  ASSERT_EQ(chown((shared.path() + "/o3_sampler.h").c_str(), runner, runner_group), 0);
  as(mine, runner, runner_group);
  mine.run("", {"emit"});
  EXPECT_EQ(mine.status, 1);
  EXPECT_EQ(mine.err, "o3tables emit: cannot write './o3_sampler.c': Operation not permitted\n");
  EXPECT_EQ(mine.file("o3_sampler.h"), "old header\n");
  EXPECT_EQ(mine.file("o3_sampler.c"), "their source\n");
  EXPECT_EQ(mine.files(), (std::vector<std::string>{"o3_sampler.c", "o3_sampler.h"}));
}

}  // namespace
}  // namespace o3test
