// The command line of a table run: answers given as options, help, version.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "driver/answers.h"

namespace o3 {

struct run_options {
  enum class action { run, help, version, usage_error };
  action what = action::run;
  // The command line's answer to each question, as typed (H0 and H_max as
  // --lattice and --beta give them); the dialogue judges it like an answer
  // on standard input.
  std::optional<std::string> answers[question_count];
  // What gave each answer, for its refusal: the option, or "--lattice L
  // --beta B give H_max".
  std::string options[question_count];
  std::string directory;     // -C, --directory: where the run works; here when empty
  std::string error;         // for usage_error: one line naming the argument, escaped
  bool keep_losses = false;  // --keep-losses
};

// The arguments after the program name (see print_help). --help wins over
// --version, the first faulty argument over both, an unknown option or
// argument named with the nearest known one (a subcommand, of
// `subcommands`) when there is one near enough; --lattice and --beta go
// together, and neither with --h0 or --hmax.
run_options parse_run_options(int argc, const char* const* argv,
                              std::span<const std::string_view> subcommands);

// "usage: USAGE", then every option, the files and the exit statuses, on
// stdout.
void print_help(std::string_view usage);

}  // namespace o3
