#include "common/standard_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace o3 {

void hold_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    // The lower ones are open by now, so open() returns fd itself.
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDONLY);
  }
}

int standard_output_error() {
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
  return errno != 0 ? errno : EIO;
}

int reported_status(const char* command, int status) {
  const int error = standard_output_error();
  if (error == 0) return status;
  // A report that did not reach its reader (a full device) is a failure,
  // whatever the subcommand found; status 3 (only a picture not written)
  // too.
  std::fprintf(stderr, "o3tables %s: cannot write standard output: %s\n", command,
               std::strerror(error));
  return status == 0 || status == 3 ? 1 : status;
}

}  // namespace o3
