// Whether standard output took everything written to it.
#pragma once

namespace o3 {

// Flushes standard output: 0, or the errno value of that or of an earlier
// failed write (a full device, a closed pipe whose SIGPIPE is ignored).
int standard_output_error();

}  // namespace o3
