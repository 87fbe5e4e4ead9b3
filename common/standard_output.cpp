#include "common/standard_output.h"

#include <cerrno>
#include <cstdio>

namespace o3 {

int standard_output_error() {
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
  return errno != 0 ? errno : EIO;
}

}  // namespace o3
