#include "common/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/exit_cleanup.h"

namespace o3 {

lock_outcome lock_file(const char* path, int* error) {
  for (;;) {
    const int fd =
        open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      *error = errno;
      return lock_outcome::no_file;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      *error = errno;
      close(fd);
      return *error == EWOULDBLOCK ? lock_outcome::busy
                                   : lock_outcome::unsupported;
    }
    // The holder before us removes the file while it still holds it; a
    // lock won on such a removed file, or on one since replaced, guards
    // nothing: try again on the file now at the path.
    struct stat held {};
    struct stat named {};
    if (fstat(fd, &held) == 0 && lstat(path, &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      remove_at_exit(path);  // the descriptor stays open: the lock with it
      return lock_outcome::held;
    }
    close(fd);
  }
}

}  // namespace o3
