#include "common/staged_file.h"

#include <fcntl.h>
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

}  // namespace

int staged_file::open(const std::string& target) {
  abandon();
  struct stat st {};
  // Found now rather than by the rename after the whole run.
  if (lstat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return EISDIR;
  const std::size_t slash = target.rfind('/');
  const std::string base =
      slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string dir = directory_of(target);
  std::string pattern = (slash == std::string::npos ? "" : dir + "/") + "." +
                        base + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return errno;
  temporary_ = name.data();
  slot_ = remove_at_exit(temporary_.c_str());
  if (slot_ < 0 || fchmod(fd, creation_mode()) != 0) {
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

int staged_file::commit() {
  if (file_ == nullptr) return EBADF;
  errno = 0;
  // An earlier failed write left the error flag; the buffered rest reaches
  // the disk here, so a full disk shows now at the latest.
  int error = 0;
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0) {
    error = errno != 0 ? errno : EIO;
  } else if (fsync(fileno(file_)) != 0) {
    error = errno;
  }
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (error == 0 && closed != 0) error = errno != 0 ? errno : EIO;
  if (error == 0 && rename(temporary_.c_str(), target_.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
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
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    temporary_.clear();
  }
  keep_at_exit(slot_);
  slot_ = -1;
}

}  // namespace o3
