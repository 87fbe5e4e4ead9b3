// The o3tables console tool: a subcommand, or the table run.
#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

#include "checker/check_command.h"
#include "common/arguments.h"
#include "common/standard_output.h"
#include "driver/tables_command.h"
#include "emit/emit_command.h"

namespace {

struct subcommand {
  std::string_view name;
  const char* usage;
  int (*run)(int argc, char** argv);
};

constexpr subcommand subcommands[] = {{"check", o3::check_usage, o3::run_check},
                                      {"emit", o3::emit_usage, o3::run_emit}};

const subcommand* subcommand_named(std::string_view name) {
  for (const subcommand& s : subcommands) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  o3::hold_standard_descriptors();
  // "o3tables -C DIR check ...", as git takes -C, is "o3tables check -C DIR ...".
  if (argc > 1) {
    const std::string_view first = argv[1];
    const int taken = !o3::directory_option.named(first.substr(0, first.find('='))) ? 0
                      : first.find('=') != std::string_view::npos                   ? 1
                                                                                    : 2;
    if (taken > 0 && taken + 1 < argc && subcommand_named(argv[taken + 1]) != nullptr) {
      std::rotate(argv + 1, argv + taken + 1, argv + taken + 2);
    }
  }
  if (argc > 1) {
    if (const subcommand* s = subcommand_named(argv[1])) {
      return o3::reported_status(s->name, s->run(argc - 2, argv + 2));
    }
  }
  // The tool's usage line: the table run's, then each subcommand's.
  o3::tool_syntax tool{o3::tables_usage, {}};
  std::string_view names[std::size(subcommands)];
  for (std::size_t i = 0; i < std::size(subcommands); ++i) {
    tool.usage = tool.usage + " | " + subcommands[i].usage;
    names[i] = subcommands[i].name;
  }
  tool.subcommands = names;
  return o3::run_tables(argc - 1, argv + 1, tool);
}
