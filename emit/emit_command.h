// The "emit" subcommand: the C and FORTRAN samplers for one O3.res.
#pragma once

namespace o3 {

// The usage printed on a usage error, and held in the tool's usage line.
inline constexpr const char* emit_usage =
    "o3tables emit [--lang c|fortran|all] [--out DIR] [FILE]";

// Runs the subcommand with the arguments after "emit" (default all languages,
// ".", O3.res); returns the exit status (0 written, 1 the file cannot be read
// or an output cannot be written, 2 a usage error), with the message on
// standard error.
int run_emit(int argc, char** argv);

}  // namespace o3
