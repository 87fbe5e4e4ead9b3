// The table run: options, lock, dialogue, stage 1 until the go-ahead, stage 2.
#include "driver/tables_command.h"

#include <cstdio>
#include <cstring>

#include "common/arguments.h"
#include "common/directory.h"
#include "common/exit_status.h"
#include "common/run_lock.h"
#include "driver/dialogue.h"
#include "driver/files.h"
#include "driver/options.h"
#include "driver/result_file.h"
#include "driver/stage1.h"
#include "driver/stage2.h"
#include "driver/temp1_file.h"
#include "driver/temp2_file.h"
#include "parameters/run_parameters.h"

namespace o3 {
namespace {

// After a text that is the whole output: a full device gives exit_failed,
// not exit_ok.
int printed() {
  const int error = standard_output_error();
  if (error == 0) return exit_ok;
  complain("", std::string("cannot write standard output: ") + std::strerror(error));
  return exit_failed;
}

// Two runs in one directory would mix their temp files and tables: the
// second stops before it writes anything, the first goes on undisturbed.
// Returns exit_ok when this run may go on, else its exit status.
int lock_directory() {
  int error = 0;
  switch (lock_file(lock_file_name, &error)) {
    case lock_outcome::held:
      return exit_ok;
    case lock_outcome::busy:
      std::fprintf(stderr,
                   "o3tables: another table run is under way in this "
                   "directory (it holds %s): this one stops\n",
                   lock_file_name);
      return exit_failed;
    case lock_outcome::no_file:
      std::fprintf(stderr, "o3tables: cannot create %s: %s\n", lock_file_name,
                   std::strerror(error));
      return exit_failed;
    case lock_outcome::unsupported:
      // Some network file systems: the run goes on, unguarded.
      std::fprintf(stderr,
                   "o3tables: cannot lock %s (%s): a second run in "
                   "this directory would not be stopped\n",
                   lock_file_name, std::strerror(error));
      return exit_ok;
  }
  return exit_failed;
}

}  // namespace

int run_tables(int argc, const char* const* argv, const tool_syntax& tool) {
  const run_options options = parse_run_options(argc, argv, tool.subcommands);
  switch (options.what) {
    case run_options::action::help:
      print_help(tool.usage);
      return printed();
    case run_options::action::version:
      std::printf("o3tables %s\n", O3_VERSION);
      return printed();
    case run_options::action::usage_error:
      return usage_error("", options.error, tool.usage);
    case run_options::action::run:
      break;
  }
  if (!options.directory.empty()) {
    if (const std::string error = enter_directory(options.directory); !error.empty()) {
      complain("", error);
      return exit_usage;
    }
  }
  if (const int status = lock_directory(); status != exit_ok) return status;
  // What would stop the run at a rename is found before the first question.
  for (const char* name : {temp2_name, temp1_name, result_file_name}) check_replaceable(name);
  for (int q = 0; q < question_count; ++q) {
    if (options.answers[q]) {
      console().preset(static_cast<question>(q), options.options[q], *options.answers[q]);
    }
  }
  precision();
  store_initial_values();
  // Large enough that they do not belong on the stack.
  static stage1_tables tables;
  for (;;) {
    in_out();
    if (stage1(tables) == 1) break;
  }
  print_dash_line();
  stage2_settings settings;
  settings.keep_losses = options.keep_losses;
  main_2(settings);
  check_standard_output();
  return exit_ok;
}

}  // namespace o3
