// The table run: options, lock, dialogue, stage 1 until the go-ahead, stage 2.
#include "driver/tables_command.h"

#include <cstdio>
#include <cstring>

#include "common/directory.h"
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

// Text that is the whole output: a full device gives status 1, not 0.
int print_only(void (*print)()) {
  print();
  const int error = standard_output_error();
  if (error == 0) return 0;
  std::fprintf(stderr, "o3tables: cannot write standard output: %s\n",
               std::strerror(error));
  return 1;
}

void print_version() { std::printf("o3tables %s\n", O3_VERSION); }

// Two runs in one directory would mix their temp files and tables: the
// second stops before it writes anything, the first goes on undisturbed.
// Returns 0 when this run may go on, else its exit status.
int lock_directory() {
  int error = 0;
  switch (lock_file(lock_file_name, &error)) {
    case lock_outcome::held:
      return 0;
    case lock_outcome::busy:
      std::fprintf(stderr, "o3tables: another table run is under way in this "
                   "directory (it holds %s): this one stops\n", lock_file_name);
      return 1;
    case lock_outcome::no_file:
      std::fprintf(stderr, "o3tables: cannot create %s: %s\n", lock_file_name,
                   std::strerror(error));
      return 1;
    case lock_outcome::unsupported:
      // Some network file systems: the run goes on, unguarded.
      std::fprintf(stderr, "o3tables: cannot lock %s (%s): a second run in "
                   "this directory would not be stopped\n", lock_file_name,
                   std::strerror(error));
      return 0;
  }
  return 1;
}

}  // namespace

int run_tables(int argc, const char* const* argv) {
  const run_options options = parse_run_options(argc, argv);
  switch (options.what) {
    case run_options::action::help:
      return print_only(print_help);
    case run_options::action::version:
      return print_only(print_version);
    case run_options::action::usage_error:
      std::fprintf(stderr, "o3tables: %s\n%s\n", options.error.c_str(),
                   usage_line);
      return 2;
    case run_options::action::run:
      break;
  }
  if (!options.directory.empty() && !enter_directory("", options.directory)) return 2;
  if (const int status = lock_directory(); status != 0) return status;
  // What would stop the run at a rename is found before the first question.
  for (const char* name : {temp2_name, temp1_name, result_file_name}) check_replaceable(name);
  for (int q = 0; q < question_count; ++q) {
    if (options.answers[q]) {
      console().preset(static_cast<question>(q), options.options[q],
                       *options.answers[q]);
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
  return 0;
}

}  // namespace o3
