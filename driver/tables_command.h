// "o3tables [options]": the table run, its dialogue answered from the
// options and standard input.
#pragma once

namespace o3 {

// The arguments after the program name. Returns the exit status: 0 after a
// complete run, --help or --version; 2 for a usage error (message and usage
// line on stderr). A refused option value exits with 2, fatal errors and end
// of input with 1, from inside the run.
int run_tables(int argc, const char* const* argv);

}  // namespace o3
