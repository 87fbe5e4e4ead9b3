// The "check" subcommand: is an O3.res file right?
#pragma once

namespace o3 {

// The usage printed on a usage error, and held in the tool's usage line.
inline constexpr const char* check_usage =
    "o3tables check [-C DIR] [FILE] [--seed N] [--draws N] [--svg FILE] [--at H] [--data FILE] "
    "[--engine E]";

// Runs the subcommand with the arguments after "check"; returns the exit
// status (common/exit_status.h): exit_ok when every check passes,
// exit_failed when the table is refused or a check fails, exit_usage, or
// exit_output_not_written when the table passes but an output cannot be
// written.
int run_check(int argc, char** argv);

}  // namespace o3
