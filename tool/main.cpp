// The o3tables console tool: a subcommand, or the table run.
#include <algorithm>
#include <string_view>

#include "checker/check_command.h"
#include "common/directory.h"
#include "common/standard_output.h"
#include "driver/tables_command.h"
#include "emit/emit_command.h"

int main(int argc, char** argv) {
  o3::hold_standard_descriptors();
  // "o3tables -C DIR check ...", as git takes -C, is "o3tables check -C DIR ...".
  if (argc > 1) {
    const std::string_view first = argv[1];
    const int taken = !o3::is_directory_option(first.substr(0, first.find('='))) ? 0
                      : first.find('=') != std::string_view::npos               ? 1
                                                                                : 2;
    if (taken > 0 && taken + 1 < argc) {
      const std::string_view next = argv[taken + 1];
      if (next == "check" || next == "emit") {
        std::rotate(argv + 1, argv + taken + 1, argv + taken + 2);
      }
    }
  }
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "check") return o3::reported_status("check", o3::run_check(argc - 2, argv + 2));
  if (command == "emit") return o3::reported_status("emit", o3::run_emit(argc - 2, argv + 2));
  return o3::run_tables(argc - 1, argv + 1);
}
