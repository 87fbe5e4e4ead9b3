// Fatal exit: message, closing line, status 1.
#include "numeric/fatal.h"

#include <cstdio>
#include <cstdlib>

#include "common/exit_status.h"

namespace o3 {
namespace {

void (*before_fatal)() = nullptr;

}  // namespace

void set_before_fatal(void (*erase)()) { before_fatal = erase; }

void nrerror(const char* message) {
  if (before_fatal != nullptr) before_fatal();
  std::fprintf(stderr, "%s\n", message);
  std::fputs("...now exiting to system...\n", stderr);
  // A normal exit, not abort: the exit handlers run.
  std::exit(exit_failed);
}

}  // namespace o3
