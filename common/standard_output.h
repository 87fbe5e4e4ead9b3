// Whether standard output took everything written to it.
#pragma once

#include <string_view>

namespace o3 {

// Holds each of the descriptors 0, 1 and 2 that the caller left closed
// (`>&-`) with /dev/null opened for reading, before any file is opened:
// the next file opened would otherwise take it, and the log or the answers
// would go to it. Reading it gives the end of input, writing to it fails
// (EBADF) and is reported as for a full device.
void hold_standard_descriptors();

// Flushes standard output: 0, or the errno value of that or of an earlier
// failed write (a full device, a closed pipe whose SIGPIPE is ignored).
int standard_output_error();

// The exit status of subcommand `command` whose report went to standard
// output: exit_failed after "o3tables COMMAND: cannot write standard
// output: ..." on stderr when it did not all arrive and `status` was
// exit_ok or exit_output_not_written, else `status`.
int reported_status(std::string_view command, int status);

}  // namespace o3
