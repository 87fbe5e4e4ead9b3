// One run at a time in a directory: an exclusive lock on a file there.
#pragma once

namespace o3 {

enum class lock_outcome {
  held,        // this process holds the lock until it ends
  busy,        // another process holds it
  no_file,     // the lock file cannot be opened or created (*error)
  unsupported  // the file system refuses flock (*error): nothing is held
};

// Takes flock(LOCK_EX | LOCK_NB) on `path`, created if missing with mode
// 0644 (never through a symbolic link: ELOOP), without waiting; a file this
// user may not write (another user's, in a shared directory) is locked
// read-only. While held the file is removed at exit and on the signals of
// exit_cleanup.h, where the directory allows, and the lock goes with the
// process, SIGKILL included. A file removed and created again by other runs
// meanwhile is never taken for the one locked.
lock_outcome lock_file(const char* path, int* error);

}  // namespace o3
