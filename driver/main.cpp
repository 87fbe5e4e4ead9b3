// The o3tables console tool.
#include <cstdio>
#include <string_view>

#include "checker/check_command.h"
#include "driver/density.h"
#include "driver/dialogue.h"
#include "driver/run_parameters.h"
#include "driver/stage1.h"
#include "driver/stage2.h"
#include "emit/emit_command.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "check") {
    return o3::run_check(argc - 2, argv + 2);
  }
  if (argc > 1 && std::string_view(argv[1]) == "emit") {
    return o3::run_emit(argc - 2, argv + 2);
  }
  if (argc > 1) {
    std::fprintf(stderr, "o3tables: unknown argument '%s'\n", argv[1]);
    std::fprintf(stderr, "usage: o3tables | o3tables check [FILE] "
                         "[--seed N] [--draws N] [--svg FILE] [--at H]\n");
    return 2;
  }
  o3::precision();
  o3::store_initial_values();
  // Large enough that they do not belong on the stack.
  static o3::stage1_tables tables;
  for (;;) {
    o3::in_out();
    if (o3::stage1(tables) == 1) break;
  }
  o3::print_dash_line();
  o3::main_2();
  return 0;
}
