#include "common/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace o3 {
namespace {

const char* kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "Is a directory";
  if (S_ISFIFO(mode)) return "Is a FIFO";
  if (S_ISCHR(mode)) return "Is a character device";
  if (S_ISBLK(mode)) return "Is a block device";
  if (S_ISSOCK(mode)) return "Is a socket";
  return "Is not a regular file";
}

}  // namespace

std::FILE* open_regular_file(const char* path, std::string* reason) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused
  // below anyway.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    *reason = std::strerror(errno);
    close(fd);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *reason = kind_of(st.st_mode);
    close(fd);
    return nullptr;
  }
  const int flags = fcntl(fd, F_GETFL);
  std::FILE* file = nullptr;
  if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) {
    file = fdopen(fd, "r");
  }
  if (file == nullptr) {
    *reason = std::strerror(errno);
    close(fd);
  }
  return file;
}

}  // namespace o3
