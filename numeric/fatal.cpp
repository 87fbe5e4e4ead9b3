// Fatal exit: message, closing line, status 1.
#include "numeric/fatal.h"

#include <cstdio>
#include <cstdlib>

namespace o3 {

void nrerror(const char* message) {
  std::fprintf(stderr, "%s\n", message);
  std::fputs("...now exiting to system...\n", stderr);
  // A normal exit, not abort: what the run has written so far is kept.
  std::exit(1);
}

}  // namespace o3
