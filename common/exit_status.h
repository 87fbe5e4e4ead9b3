// The exit statuses of o3tables: the table run, check, emit and the fatal
// exit say the same thing by the same number. A signal that ends the
// process gives the shell 128 + its number, as it would without the tool.
#pragma once

namespace o3 {

// Done: O3.res written, every check passed, the sampler's files written.
inline constexpr int exit_ok = 0;
// A fatal condition, the end of input before an answer, another run under
// way, a table refused or failing a check, a file not written.
inline constexpr int exit_failed = 1;
// A usage error, an option value refused, a -C directory that cannot be
// entered: nothing was done.
inline constexpr int exit_usage = 2;
// check alone: the table passes, but the picture or the data file could
// not be written.
inline constexpr int exit_output_not_written = 3;

}  // namespace o3
