// The o3tables console tool: a subcommand, or the table run.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "checker/check_command.h"
#include "common/standard_output.h"
#include "driver/tables_command.h"
#include "emit/emit_command.h"

namespace {

// A subcommand's report that did not reach standard output (a full device)
// is a failure, whatever the subcommand found.
int reported(const char* command, int status) {
  const int error = o3::standard_output_error();
  if (error == 0) return status;
  std::fprintf(stderr, "o3tables %s: cannot write standard output: %s\n", command,
               std::strerror(error));
  return status == 0 || status == 3 ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "check") return reported("check", o3::run_check(argc - 2, argv + 2));
  if (command == "emit") return reported("emit", o3::run_emit(argc - 2, argv + 2));
  return o3::run_tables(argc - 1, argv + 1);
}
