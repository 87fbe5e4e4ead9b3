#include "common/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/exit_cleanup.h"

namespace o3 {
namespace {

// The lock file at `path`, made if missing, or -1 with errno set; never
// through a symbolic link (ELOOP), and never waiting (a FIFO put in its
// place). A file of another user in a shared sticky directory, left by a
// run of that user, is opened as well as it can be: flock takes a
// read-only descriptor just as well, and without O_CREAT the open is not
// refused by fs.protected_regular.
int open_lock_file(const char* path) {
  constexpr int how = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  for (;;) {
    int fd = open(path, O_RDWR | O_CREAT | O_EXCL | how, 0644);
    if (fd >= 0) {
      // Readable by every user whatever the umask, so that a file left by a
      // killed run never keeps another user's runs out.
      fchmod(fd, 0644);
      return fd;
    }
    if (errno != EEXIST) return -1;
    fd = open(path, O_RDWR | how);
    if (fd < 0 && (errno == EACCES || errno == EPERM)) fd = open(path, O_RDONLY | how);
    if (fd >= 0 || errno != ENOENT) return fd;
    // Removed by its holder between the two opens: make it again.
  }
}

}  // namespace

lock_outcome lock_file(const char* path, int* error) {
  for (;;) {
    const int fd = open_lock_file(path);
    if (fd < 0) {
      *error = errno;
      return lock_outcome::no_file;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      *error = errno;
      close(fd);
      return *error == EWOULDBLOCK ? lock_outcome::busy : lock_outcome::unsupported;
    }
    // The holder before us removes the file while it still holds it; a
    // lock won on such a removed file, or on one since replaced, guards
    // nothing: try again on the file now at the path.
    struct stat held {};
    struct stat named {};
    if (fstat(fd, &held) == 0 && lstat(path, &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      // The descriptor stays open: the lock with it. The removal fails,
      // harmlessly, for another user's file in a sticky directory: it
      // stays, and the next run locks it again.
      remove_at_exit(path);
      return lock_outcome::held;
    }
    close(fd);
  }
}

}  // namespace o3
