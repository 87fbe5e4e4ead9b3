// File access with the system's reason in every fatal message.
#include "driver/files.h"

#include <cerrno>
#include <cstring>

#include "numeric/fatal.h"

namespace o3 {
namespace {

[[noreturn]] void file_error(const char* what, const char* name, int error) {
  const std::string message =
      std::string(what) + " " + name + ": " + std::strerror(error);
  nrerror(message.c_str());
}

}  // namespace

std::FILE* open_file(const char* name, const char* mode) {
  errno = 0;
  std::FILE* file = std::fopen(name, mode);
  if (file == nullptr) {
    file_error(mode[0] == 'w' ? "cannot create" : "cannot open", name, errno);
  }
  return file;
}

void close_written(std::FILE* file, const char* name) {
  errno = 0;
  // The buffered rest reaches the file here, so a full disk shows now; an
  // earlier failed write has left the error flag set.
  bool failed = std::fflush(file) != 0 || std::ferror(file) != 0;
  int error = errno;
  if (std::fclose(file) != 0) {
    failed = true;
    if (error == 0) error = errno;
  }
  if (failed) file_error("cannot write", name, error != 0 ? error : EIO);
}

std::string read_whole_file(const char* name) {
  std::FILE* file = open_file(name, "r");
  std::string content;
  char buffer[65536];
  errno = 0;
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    content.append(buffer, got);
  }
  if (std::ferror(file) != 0) {
    const int error = errno != 0 ? errno : EIO;
    std::fclose(file);
    file_error("cannot read", name, error);
  }
  std::fclose(file);
  return content;
}

}  // namespace o3
