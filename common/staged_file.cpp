#include "common/staged_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "common/exit_cleanup.h"

namespace o3 {
namespace {

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t creation_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
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
// between the temporary's creation and its registration for removal.
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

bool written_directly(const std::string& target) {
  struct stat followed {};
  return stat(target.c_str(), &followed) == 0 && !S_ISREG(followed.st_mode) &&
         !S_ISDIR(followed.st_mode);
}

int staged_file::open_direct(const std::string& target) {
  // Without a reader a FIFO would hold the open for ever; non-blocking, it
  // fails at once (ENXIO). The writes block again as a pipe's should.
  const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  const int flags = fcntl(fd, F_GETFL);
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
  target_ = target;
  return 0;
}

int staged_file::open(const std::string& target) {
  abandon();
  struct stat st {};
  // Found now rather than by the rename after the whole run.
  const bool exists = lstat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return EISDIR;
  if (written_directly(target)) {
    return open_direct(target);
  }
  // A file the user has made read-only keeps its content, as fopen would
  // keep it, rather than being replaced by a rename the directory allows.
  const bool replaces_file = exists && S_ISREG(st.st_mode);
  if (replaces_file && access(target.c_str(), W_OK) != 0) return errno;
  const mode_t mode =
      replaces_file ? static_cast<mode_t>(st.st_mode & 07777) : creation_mode();
  const std::size_t slash = target.rfind('/');
  const std::string base =
      slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string dir = directory_of(target);
  std::string pattern = (slash == std::string::npos ? "" : dir + "/") + "." +
                        base + ".XXXXXX";
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
    unlink(temporary_.c_str());
    keep_at_exit(slot_);
    slot_ = -1;
    return error;
  }
  file_ = fdopen(fd, "w");
  if (file_ == nullptr) {
    const int error = errno;
    close(fd);
    abandon();
    return error;
  }
  target_ = target;
  return 0;
}

int staged_file::finish() {
  if (file_ == nullptr) return EBADF;
  errno = 0;
  // An earlier failed write left the error flag; the buffered rest reaches
  // the disk here, so a full disk shows now at the latest.
  int error = 0;
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0) {
    error = errno != 0 ? errno : EIO;
  } else if (!direct_ && fsync(fileno(file_)) != 0) {
    error = errno;
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

int staged_file::commit() {
  if (!finished_) {
    if (const int error = finish(); error != 0) return error;
  }
  finished_ = false;
  if (direct_) {
    direct_ = false;
    return 0;
  }
  if (rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    abandon();
    return error;
  }
  keep_at_exit(slot_);
  slot_ = -1;
  temporary_.clear();
  sync_directory(directory_of(target_));
  return 0;
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
