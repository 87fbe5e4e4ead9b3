// The o3tables console tool: a subcommand, or the table run.
#include <string_view>

#include "checker/check_command.h"
#include "common/standard_output.h"
#include "driver/tables_command.h"
#include "emit/emit_command.h"

int main(int argc, char** argv) {
  o3::hold_standard_descriptors();
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "check") return o3::reported_status("check", o3::run_check(argc - 2, argv + 2));
  if (command == "emit") return o3::reported_status("emit", o3::run_emit(argc - 2, argv + 2));
  return o3::run_tables(argc - 1, argv + 1);
}
