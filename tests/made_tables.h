// Tables made by the built tool (through tool_run) for the tests, and damaged copies.
#pragma once

#include <string>

namespace o3test {

// The path of the O3.res that the tool writes for the answers "H0 H_max
// losses", made once per test program in a directory removed at its exit.
const std::string& made_table(const std::string& answers);

// A fresh path in that directory, for a file a test writes.
std::string scratch_path(const std::string& name);

std::string read_text(const std::string& path);
void write_text(const std::string& path, const std::string& text);

// Line `line` of text (from 1), without its line end, and text with that
// line replaced by `by`.
std::string line_at(const std::string& text, int line);
std::string with_line(const std::string& text, int line, const std::string& by);

}  // namespace o3test
