// The command line of the tool's three commands: options written "--name
// VALUE" or "--name=VALUE", flags without a value, -h or --help, and for a
// subcommand at most one file; and how a command says what is wrong with it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace o3 {

// An option a command takes, named by its name or its alias.
struct option_syntax {
  enum kind {
    flag,       // no value; given at most once
    value,      // a value, given at most once; an empty one names nothing
    any_value,  // a value, given at most once, an empty one too, which the
                // command judges as it judges any other
    help,       // no value; given any number of times
  };
  std::string_view name;   // "--directory"
  std::string_view alias;  // "-C", or empty
  kind takes;

  bool named(std::string_view typed) const {
    return typed == name || (!alias.empty() && typed == alias);
  }
};

// What every command takes: -C DIR, as make -C and git -C take it, and help.
inline constexpr option_syntax directory_option = {"--directory", "-C", option_syntax::value};
inline constexpr option_syntax help_option = {"--help", "-h", option_syntax::help};

// What a command's arguments may be.
struct command_syntax {
  // Its options, in the order an unknown one is compared with their names.
  std::span<const option_syntax> options;
  // Whether an argument that is no option names its file (at most one);
  // otherwise such an argument is unknown, and compared with `near`.
  bool takes_file = false;
  std::span<const std::string_view> near;
};

struct arguments {
  // The options given, by name (never by alias), with their values in the
  // order given; a flag's value is empty.
  std::vector<std::pair<std::string_view, std::string>> given;
  std::optional<std::string> file;
  bool help = false;
  // Empty, or one line naming the first faulty argument with its bytes
  // escaped: an unknown option or argument (with the known name nearest to
  // it, if one is near), an option given twice, a value missing or given to
  // an option that takes none, a second file.
  std::string error;

  // The value given to option `name`, or nullptr when it was not given.
  const std::string* value(std::string_view name) const;
};

// Parses the arguments after the command's name. A value follows its
// option's name after '=', or is the next argument unless that begins with
// "--": a value may begin with one minus sign (-1, -x), not two.
arguments parse_arguments(int argc, const char* const* argv, const command_syntax& syntax);

// "o3tables COMMAND: WHAT" on stderr, "o3tables: WHAT" for the table run,
// whose `command` is empty.
void complain(std::string_view command, std::string_view what);

// "OPTION 'VALUE' refused: WHY", the value's bytes escaped: what a command
// says of a value it refuses.
std::string refusal(std::string_view option, std::string_view value, std::string_view why);

// complain(command, what), then "usage: USAGE" on stderr; returns exit_usage.
int usage_error(std::string_view command, std::string_view what, std::string_view usage);

}  // namespace o3
