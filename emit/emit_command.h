// The "emit" subcommand: the sampler's C and Fortran files, for simulations
// that read any O3.res at run time.
#pragma once

namespace o3 {

// The usage printed on a usage error, and held in the tool's usage line.
inline constexpr const char* emit_usage =
    "o3tables emit [-C DIR] [--lang c|fortran|all] [--out DIR] [FILE]";

// Runs the subcommand with the arguments after "emit": writes o3_sampler.h
// and o3_sampler.c (C99), and for fortran or all o3_sampler.f90, into DIR
// (default "."); with FILE, first checks that it is a table they accept.
// Returns the exit status (common/exit_status.h): exit_ok when written,
// exit_failed when FILE is refused or an output not written, exit_usage;
// the message on standard error.
int run_emit(int argc, char** argv);

}  // namespace o3
