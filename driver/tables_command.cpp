// The table run: options, dialogue, stage 1 until the go-ahead, stage 2.
#include "driver/tables_command.h"

#include <cstdio>

#include "driver/density.h"
#include "driver/dialogue.h"
#include "driver/options.h"
#include "driver/run_parameters.h"
#include "driver/stage1.h"
#include "driver/stage2.h"

namespace o3 {

int run_tables(int argc, const char* const* argv) {
  const run_options options = parse_run_options(argc, argv);
  switch (options.what) {
    case run_options::action::help:
      print_help();
      return 0;
    case run_options::action::version:
      std::printf("o3tables %s\n", O3_VERSION);
      return 0;
    case run_options::action::usage_error:
      std::fprintf(stderr, "o3tables: %s\n%s\n", options.error.c_str(),
                   usage_line);
      return 2;
    case run_options::action::run:
      break;
  }
  for (int q = 0; q < question_count; ++q) {
    if (options.answers[q]) {
      console().preset(static_cast<question>(q), *options.answers[q]);
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
  main_2();
  return 0;
}

}  // namespace o3
