// Runs the built tool in a fresh temporary directory with answers piped in.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace o3::testing {

struct tool_result {
  int status = -1;  // exit status, or -1 when killed or not exited
  std::string out;
  std::string err;
  std::map<std::string, std::string> files;  // every file left in the directory
};

// Runs o3tables with `args`, `input` on standard input, in a new directory
// holding `before` (name -> content); kills it after 60 s.
tool_result run_tool(const std::string& input,
                     const std::vector<std::string>& args = {},
                     const std::map<std::string, std::string>& before = {});

}  // namespace o3::testing
