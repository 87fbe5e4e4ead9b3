#include "common/directory.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/escape.h"

namespace o3 {

std::string enter_directory(const std::string& dir) {
  if (chdir(dir.c_str()) == 0) return "";
  const int error = errno;
  return "cannot work in " + in_quotes(dir) + ": " + std::strerror(error);
}

}  // namespace o3
