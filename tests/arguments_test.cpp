// The one argument parser of the three commands, on its own: what a flag,
// a value, a value the command judges, help and a file may be, and the
// first fault named.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "common/arguments.h"

namespace {

using o3::option_syntax;

constexpr option_syntax options[] = {{"--seed", "", option_syntax::value},
                                     {"--lattice", "", option_syntax::any_value},
                                     {"--yes", "", option_syntax::flag},
                                     o3::directory_option,
                                     o3::help_option};
const std::string_view subcommands[] = {"check", "emit"};

// The options given as "name=value" joined by ';', then " file F" and
// " help" when given: the whole of what a parse found.
std::string found(const o3::arguments& a) {
  std::string text;
  for (const auto& [name, value] : a.given) {
    text += (text.empty() ? "" : ";") + std::string(name) + "=" + value;
  }
  if (a.file) text += " file " + *a.file;
  if (a.help) text += " help";
  return text;
}

TEST(Arguments, FlagsValuesHelpAndAFileOrTheFirstFault) {
  const struct {
    bool takes_file;
    std::vector<const char*> args;
    std::string found;  // when the parse succeeds
    std::string error;
  } rows[] = {
      // A value may begin with one minus sign, not two.
      {true, {"--seed", "-1", "--lattice", "-x", "a"}, "--seed=-1;--lattice=-x file a", ""},
      {true, {"--seed", "--yes"}, "", "option '--seed' needs a value"},
      {true, {"--seed"}, "", "option '--seed' needs a value"},
      // An empty value names nothing, unless the command judges it.
      {true, {"--seed="}, "", "option '--seed' needs a value"},
      {true, {"-C", ""}, "", "option '-C' needs a value"},
      {true, {"--lattice="}, "--lattice=", ""},
      {true, {"--lattice", "", "--seed=a=b"}, "--lattice=;--seed=a=b", ""},
      // An option is given once, whichever of its names says it.
      {true, {"-C", "d", "--directory=e"}, "", "option '--directory' given twice"},
      {true, {"--directory", "d", "-C", "e"}, "", "option '-C' given twice"},
      {true, {"-C=d", "--yes"}, "--directory=d;--yes=", ""},
      {true, {"--yes", "--seed", "1", "--yes"}, "", "option '--yes' given twice"},
      {true, {"--yes=1"}, "", "option '--yes' takes no value"},
      // Help, any number of times, never with a value.
      {true, {"-h", "--help", "-h"}, " help", ""},
      {true, {"--help=x"}, "", "option '--help' takes no value"},
      {true, {"-h=x"}, "", "option '-h' takes no value"},
      // The first fault wins, over help too.
      {true, {"--help", "--bogus", "--seed"}, "", "unknown option '--bogus'"},
      {true, {"--sed", "5"}, "", "unknown option '--sed' (did you mean --seed?)"},
      {true, {"--drectory=x"}, "", "unknown option '--drectory' (did you mean --directory?)"},
      {true, {"-"}, " file -", ""},
      {true, {"a.res", "b\x1b"}, "", "a second file 'b\\x1b' after 'a.res'"},
      // Without a file an argument that is no option is unknown, and may be
      // a slip for a subcommand.
      {false, {"chek"}, "", "unknown argument 'chek' (did you mean check?)"},
      {false, {"--yes", "table.res"}, "", "unknown argument 'table.res'"},
      {false, {"-"}, "", "unknown argument '-'"}};
  for (const auto& r : rows) {
    std::string line;
    for (const char* a : r.args) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    const o3::arguments a = o3::parse_arguments(static_cast<int>(r.args.size()), r.args.data(),
                                                {options, r.takes_file, subcommands});
    EXPECT_EQ(a.error, r.error);
    EXPECT_EQ(found(a), r.error.empty() ? r.found : "");
  }
}

}  // namespace
