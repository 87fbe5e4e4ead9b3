// -C DIR: the directory a command works in, as make -C and git -C take it.
#pragma once

#include <string>
#include <string_view>

namespace o3 {

// Whether an option's name (the argument up to any '=') is -C or
// --directory.
bool is_directory_option(std::string_view name);

// Makes `dir` the working directory, so that every path the command meets
// afterwards (O3.res, the temp files, the lock, FILE, --svg, --out) is taken
// from there. False after "o3tables[ COMMAND]: cannot work in 'DIR': WHY"
// on stderr; `command` is empty for the table run.
bool enter_directory(std::string_view command, const std::string& dir);

}  // namespace o3
