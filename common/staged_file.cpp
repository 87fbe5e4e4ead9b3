#include "common/staged_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/exit_cleanup.h"

namespace o3 {
namespace {

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t creation_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

bool special(mode_t mode) {
  return S_ISCHR(mode) || S_ISBLK(mode) || S_ISFIFO(mode) || S_ISSOCK(mode);
}

// The descriptor that `target` names when it is one of the process's own:
// /dev/stdin, /dev/stdout or /dev/stderr, or N in /dev/fd/N (also reached
// through links to those directories, as /proc/self/fd/N); -1 otherwise.
// Replacing them would replace a system file, not the caller's stream.
int own_descriptor(const std::string& target) {
  char real[PATH_MAX];
  const std::string base = base_of(target);
  if (base.empty() || realpath(directory_of(target).c_str(), real) == nullptr) return -1;
  const std::string dir = real;
  if (dir == "/dev") {
    const char* const names[] = {"stdin", "stdout", "stderr"};
    for (int fd = 0; fd < 3; ++fd) {
      if (base == names[fd]) return fd;
    }
    return -1;
  }
  // /dev/fd and /proc/self/fd resolve to the process's own /proc/PID/fd.
  if (dir != "/proc/" + std::to_string(getpid()) + "/fd" || base.size() > 9 ||
      base.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  return std::atoi(base.c_str());
}

// Best effort: a file system that cannot sync a directory still has the
// rename, which is all a reader can see.
void sync_directory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Blocks the signals for its lifetime, so that none can end the run
// between steps that belong together: a temporary's creation and its
// registration for removal, or the renames of a set. One that arrives
// meanwhile acts when the mask is restored.
class signals_held {
 public:
  signals_held() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &before_);
  }
  ~signals_held() { sigprocmask(SIG_SETMASK, &before_, nullptr); }
  signals_held(const signals_held&) = delete;
  signals_held& operator=(const signals_held&) = delete;

 private:
  sigset_t before_;
};

}  // namespace

const char* staged_error_text(int error) {
  if (error == directory_removed) return "its directory was removed during the run";
  if (error == temporary_removed) return "its temporary file was removed during the run";
  return std::strerror(error);
}

bool written_directly(const std::string& target) {
  struct stat st {};
  return own_descriptor(target) >= 0 || (lstat(target.c_str(), &st) == 0 && special(st.st_mode));
}

int replace_refusal(const std::string& target) {
  if (own_descriptor(target) >= 0) return 0;
  struct stat st {};
  const bool exists = lstat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return EISDIR;
  if (exists && special(st.st_mode)) return 0;
  // A file the user has made read-only keeps its content, as fopen would
  // keep it, rather than being replaced by a rename the directory allows.
  if (exists && S_ISREG(st.st_mode) && access(target.c_str(), W_OK) != 0) return errno;
  const std::string dir = directory_of(target);
  struct stat d {};
  if (stat(dir.c_str(), &d) != 0 || access(dir.c_str(), W_OK | X_OK) != 0) return errno;
  // Only the owner of an entry of a sticky directory, the directory's owner
  // or root may rename over it: found now, not by the rename after the run.
  const uid_t me = geteuid();
  if (exists && (d.st_mode & S_ISVTX) != 0 && me != 0 && st.st_uid != me && d.st_uid != me) {
    return EPERM;
  }
  return 0;
}

int staged_file::open_descriptor(int fd) {
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (copy < 0) return errno;
  struct stat st {};
  if (fstat(copy, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    close(copy);
    return error;
  }
  file_ = fdopen(copy, "w");
  if (file_ == nullptr) {
    const int error = errno;
    close(copy);
    return error;
  }
  direct_ = true;
  return 0;
}

// -1 when the name turned into no device, FIFO or socket since its lstat:
// then it is staged after all.
int staged_file::open_direct(const std::string& target) {
  // Without a reader a FIFO would hold the open for ever; non-blocking, it
  // fails at once (ENXIO). The writes block again as a pipe's should. A
  // link put in its place meanwhile is not followed.
  const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return errno == ELOOP ? -1 : errno;
  struct stat st {};
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &st) != 0 || !special(st.st_mode)) {
    close(fd);
    return -1;
  }
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int error = errno;
    close(fd);
    return error;
  }
  file_ = fdopen(fd, "w");
  if (file_ == nullptr) {
    const int error = errno;
    close(fd);
    return error;
  }
  direct_ = true;
  return 0;
}

int staged_file::open_temporary(const std::string& pattern, mode_t mode) {
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd;
  {
    const signals_held held;
    fd = mkstemp(name.data());
    if (fd < 0) return errno;
    temporary_ = name.data();
    slot_ = remove_at_exit(temporary_.c_str());
  }
  if (slot_ < 0 || fchmod(fd, mode) != 0) {
    const int error = slot_ < 0 ? ENAMETOOLONG : errno;
    close(fd);
    abandon();
    return error;
  }
  file_ = fdopen(fd, "w");
  if (file_ == nullptr) {
    const int error = errno;
    close(fd);
    abandon();
    return error;
  }
  return 0;
}

int staged_file::open(const std::string& target) {
  abandon();
  target_ = target;
  if (const int fd = own_descriptor(target); fd >= 0) return open_descriptor(fd);
  struct stat st {};
  const bool exists = lstat(target.c_str(), &st) == 0;
  if (exists && special(st.st_mode)) {
    if (const int error = open_direct(target); error >= 0) return error;
  }
  if (const int refusal = replace_refusal(target); refusal != 0) return refusal;
  const mode_t mode =
      exists && S_ISREG(st.st_mode) ? static_cast<mode_t>(st.st_mode & 07777) : creation_mode();
  const std::string dir = directory_of(target);
  struct stat d {};
  if (stat(dir.c_str(), &d) != 0) return errno;
  dir_dev_ = d.st_dev;
  dir_ino_ = d.st_ino;
  const std::string in_dir = target.rfind('/') == std::string::npos ? "" : dir + "/";
  // The name beside the target says whose it is; where it would pass the
  // file system's limit on a name (a target of 248 bytes or more), the
  // tool's short one. mkstemp's exclusive creation rules out a collision.
  int error = open_temporary(in_dir + "." + base_of(target) + ".XXXXXX", mode);
  if (error == ENAMETOOLONG) error = open_temporary(in_dir + ".o3tables.XXXXXX", mode);
  return error;
}

// ENOENT from a step on the temporary: the directory removed (by rm -r, with
// the temporary in it) says more than the missing file.
int staged_file::gone_or(int error) const {
  if (error != ENOENT) return error;
  struct stat d {};
  if (stat(directory_of(target_).c_str(), &d) != 0 || d.st_nlink == 0 || d.st_dev != dir_dev_ ||
      d.st_ino != dir_ino_) {
    return directory_removed;
  }
  struct stat t {};
  return lstat(temporary_.c_str(), &t) != 0 ? temporary_removed : error;
}

int staged_file::finish() {
  if (file_ == nullptr) return EBADF;
  errno = 0;
  // An earlier failed write left the error flag; the buffered rest reaches
  // the disk here, so a full disk shows now at the latest.
  int error = 0;
  struct stat st {};
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0) {
    error = errno != 0 ? errno : EIO;
  } else if (!direct_ && fsync(fileno(file_)) != 0) {
    error = errno;
  } else if (!direct_ && fstat(fileno(file_), &st) == 0 && st.st_nlink == 0) {
    error = gone_or(ENOENT);  // written to the end, but no longer anywhere
  }
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (error == 0 && closed != 0) error = errno != 0 ? errno : EIO;
  if (error != 0) {
    abandon();
    return error;
  }
  finished_ = true;
  return 0;
}

int staged_file::put_in_place(placed* how) {
  const char* from = temporary_.c_str();
  const char* to = target_.c_str();
#if defined(RENAME_EXCHANGE)
  // An exchange keeps the old file, under the temporary's name, until the
  // whole set is in place.
  for (int tries = 0; tries < 2; ++tries) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
      // Unlike a rename, an exchange takes a directory put in the target's
      // place meanwhile: it goes back, refused as open() refuses it.
      struct stat old {};
      if (lstat(from, &old) == 0 && S_ISDIR(old.st_mode)) {
        renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE);
        return EISDIR;
      }
      *how = placed::exchanged;
      return 0;
    }
    if (errno != ENOENT) break;
    // No target: a new name, but never over one made meanwhile.
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
      *how = placed::created;
      return 0;
    }
    if (errno != EEXIST) break;
  }
  // A file system that cannot exchange names: the plain rename, which
  // cannot be taken back.
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return gone_or(errno);
#endif
  if (std::rename(from, to) != 0) return gone_or(errno);
  *how = placed::replaced;
  return 0;
}

void staged_file::take_back(placed how) {
#if defined(RENAME_EXCHANGE)
  if (how == placed::exchanged) {
    renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE);
  }
#endif
  if (how == placed::created) std::rename(target_.c_str(), temporary_.c_str());
}

void staged_file::settle(placed how) {
  // After an exchange the temporary's name holds the old file.
  if (how == placed::exchanged) unlink(temporary_.c_str());
  keep_at_exit(slot_);
  slot_ = -1;
  temporary_.clear();
  direct_ = false;
  finished_ = false;
}

int commit_together(staged_file* const* files, std::size_t count, std::size_t* failed,
                    void (*between)()) {
  int error = 0;
  std::size_t at = 0;
  for (; at < count && error == 0; ++at) {
    if (!files[at]->finished_) error = files[at]->finish();
  }
  std::vector<staged_file::placed> how(count, staged_file::placed::nothing);
  if (error == 0) {
    const signals_held held;
    for (at = 0; at < count && error == 0; ++at) {
      if (files[at]->direct_) continue;
      error = files[at]->put_in_place(&how[at]);
      if (error == 0 && between != nullptr && at + 1 < count) between();
    }
    if (error != 0) {
      for (std::size_t k = at - 1; k-- > 0;) files[k]->take_back(how[k]);
    } else {
      for (std::size_t k = 0; k < count; ++k) files[k]->settle(how[k]);
    }
  }
  if (error != 0) {
    *failed = at - 1;
    for (std::size_t k = 0; k < count; ++k) files[k]->abandon();
    return error;
  }
  for (std::size_t k = 0; k < count; ++k) {
    if (how[k] != staged_file::placed::nothing) sync_directory(directory_of(files[k]->target_));
  }
  return 0;
}

int staged_file::commit() {
  staged_file* const self = this;
  std::size_t failed = 0;
  return commit_together(&self, 1, &failed);
}

void staged_file::abandon() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  direct_ = false;
  finished_ = false;
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    temporary_.clear();
  }
  keep_at_exit(slot_);
  slot_ = -1;
}

}  // namespace o3
