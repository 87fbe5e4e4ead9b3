// The single way a run ends on an unrecoverable condition.
#pragma once

namespace o3 {

// Writes message and "...now exiting to system..." to stderr, each on its own
// line, and exits with exit_failed through exit(), so that stdio buffers are
// flushed and the functions registered with atexit run (they remove the
// run's unfinished files).
[[noreturn]] void nrerror(const char* message);

// A routine nrerror calls before its message, so that a line drawn in place
// on stderr (stage 2's progress) is erased first; nullptr for none.
void set_before_fatal(void (*erase)());

}  // namespace o3
