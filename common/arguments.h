// The command line of a subcommand: options with a value, written
// "--name VALUE" or "--name=VALUE", -C DIR (--directory DIR), -h or --help,
// and at most one file.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace o3 {

struct arguments {
  std::vector<std::pair<std::string_view, std::string>> values;  // in order
  std::optional<std::string> file;
  bool help = false;

  // The value given to option `name`, or nullptr.
  const std::string* value(std::string_view name) const;
};

// Parses the arguments after the subcommand's name against the options
// that take a value; -C and --directory, which every subcommand takes, are
// kept as "--directory". On a fault returns nothing after one line on stderr,
// "o3tables COMMAND: WHAT", naming the argument with its bytes escaped: an
// unknown option (with the nearest known one), an option given twice or
// without its value, a second file.
std::optional<arguments> parse_arguments(std::string_view command, int argc,
                                         const char* const* argv,
                                         std::initializer_list<std::string_view> options);

// "o3tables COMMAND: OPTION 'VALUE' refused: WHY" on stderr, the value
// escaped.
void refuse_value(std::string_view command, std::string_view option,
                  std::string_view value, std::string_view why);

}  // namespace o3
