// "o3tables [options]": the table run, answered from the options and standard input.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace o3 {

// The table run's usage, first in the tool's usage line.
inline constexpr const char* tables_usage =
    "o3tables [-C DIR] [[--h0 X] [--hmax Y] | --lattice L --beta B] [--losses P] [--yes] "
    "[--keep-losses] [-h|--help] [--version]";

// Held by a table run for its whole life, so that a second one in the same
// directory stops at once; removed when the run ends.
inline constexpr const char* lock_file_name = ".o3tables.lock";

// What the table run says of the tool it belongs to: the usage line of all
// its commands (without "usage: "), shown by -h and after a usage error, and
// the subcommands' names, which an unknown argument may be a slip for.
struct tool_syntax {
  std::string usage;
  std::span<const std::string_view> subcommands;
};

// The arguments after the program name; returns the exit status
// (common/exit_status.h): exit_usage for a usage error or a -C DIR that
// cannot be entered. A refused option value exits with exit_usage, fatal
// errors and end of input with exit_failed, from inside the run.
int run_tables(int argc, const char* const* argv, const tool_syntax& tool);

}  // namespace o3
