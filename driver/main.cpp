// The o3tables console tool.
#include "driver/density.h"
#include "driver/dialogue.h"
#include "driver/run_parameters.h"
#include "driver/stage1.h"
#include "driver/stage2.h"

int main() {
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
