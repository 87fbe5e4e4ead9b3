// -C DIR: the directory a command works in, as make -C and git -C take it.
#pragma once

#include <string>

namespace o3 {

// Makes `dir` the working directory, so that every path the command meets
// afterwards (O3.res, the temp files, the lock, FILE, --svg, --out) is taken
// from there. Empty, or why it cannot: "cannot work in 'DIR': WHY".
std::string enter_directory(const std::string& dir);

}  // namespace o3
