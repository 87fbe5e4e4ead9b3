#include "common/directory.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/escape.h"

namespace o3 {

bool is_directory_option(std::string_view name) { return name == "-C" || name == "--directory"; }

bool enter_directory(std::string_view command, const std::string& dir) {
  if (chdir(dir.c_str()) == 0) return true;
  const int error = errno;
  std::fprintf(stderr, "o3tables%s%.*s: cannot work in %s: %s\n", command.empty() ? "" : " ",
               static_cast<int>(command.size()), command.data(), in_quotes(dir).c_str(),
               std::strerror(error));
  return false;
}

}  // namespace o3
