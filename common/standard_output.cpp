#include "common/standard_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/arguments.h"
#include "common/exit_status.h"

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

int reported_status(std::string_view command, int status) {
  const int error = standard_output_error();
  if (error == 0) return status;
  // A report that did not reach its reader (a full device) is a failure,
  // whatever the subcommand found; a picture not written too.
  complain(command, std::string("cannot write standard output: ") + std::strerror(error));
  return status == exit_ok || status == exit_output_not_written ? exit_failed : status;
}

}  // namespace o3
