// Whether standard output took everything written to it.
#pragma once

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
// output: 1 after "o3tables COMMAND: cannot write standard output: ..." on
// stderr when it did not all arrive and `status` was 0 or 3, else `status`.
int reported_status(const char* command, int status);

}  // namespace o3
