// "o3tables [options]": the table run, answered from the options and standard input.
#pragma once

namespace o3 {

// Held by a table run for its whole life, so that a second one in the same
// directory stops at once; removed when the run ends.
inline constexpr const char* lock_file_name = ".o3tables.lock";

// The arguments after the program name; returns the exit status (2 for a
// usage error or a -C DIR that cannot be entered). A refused option value
// exits with 2, fatal errors and end of input with 1, from inside the run.
int run_tables(int argc, const char* const* argv);

}  // namespace o3
