// The table run's command line, parsed without running the tool.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/options.h"

namespace {

using action = o3::run_options::action;

TEST(Options, AnswersHelpVersionAndUsageErrors) {
  struct row {
    std::vector<const char*> args;
    action what;
    std::vector<const char*> answers;  // H0, H_max, losses, go_on; "-" for none
    std::string error;
  };
  const row rows[] = {
      {{}, action::run, {"-", "-", "-", "-"}, ""},
      {{"--h0", "0", "--hmax=5", "--losses", "10", "--yes"}, action::run, {"0", "5", "10", "1"}, ""},
      {{"--losses=1e-3", "--h0", "-1"}, action::run, {"-1", "-", "1e-3", "-"}, ""},  // judged later
      {{"--h0=", "--hmax=a=b"}, action::run, {"", "a=b", "-", "-"}, ""},
      {{"--version"}, action::version, {"-", "-", "-", "-"}, ""},
      {{"--version", "--h0", "1", "--help"}, action::help, {"1", "-", "-", "-"}, ""},
      {{"-h", "--h0", "1"}, action::help, {"1", "-", "-", "-"}, ""},
      {{"--bogus"}, action::usage_error, {}, "unknown option '--bogus'"},
      {{"--bogus=1"}, action::usage_error, {}, "unknown option '--bogus'"},
      // A slip of the keyboard is named with the option meant.
      {{"--hmx=5"}, action::usage_error, {}, "unknown option '--hmx' (did you mean --hmax?)"},
      {{"-losses", "5"}, action::usage_error, {}, "unknown option '-losses' (did you mean --losses?)"},
      {{"--H_max"}, action::usage_error, {}, "unknown option '--H_max' (did you mean --hmax?)"},
      {{"--verison"}, action::usage_error, {}, "unknown option '--verison' (did you mean --version?)"},
      {{"--h0\x1b[2J"}, action::usage_error, {}, "unknown option '--h0\\x1b[2J'"},
      {{"extra\n"}, action::usage_error, {}, "unknown argument 'extra\\n'"},
      {{"--hmax"}, action::usage_error, {}, "option '--hmax' needs a value"},
      {{"--h0", "--yes"}, action::usage_error, {}, "option '--h0' needs a value"},
      {{"--yes=1"}, action::usage_error, {}, "option '--yes' takes no value"},
      {{"--h0", "1", "--h0=2"}, action::usage_error, {}, "option '--h0' given twice"},
      {{"--yes", "--h0=1", "--yes"}, action::usage_error, {}, "option '--yes' given twice"},
      {{"--keep-losses", "--keep-losses"}, action::usage_error, {},
       "option '--keep-losses' given twice"}};
  for (const row& r : rows) {
    std::string line;
    for (const char* a : r.args) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    const o3::run_options o =
        o3::parse_run_options(static_cast<int>(r.args.size()), r.args.data());
    EXPECT_EQ(o.what, r.what);
    EXPECT_EQ(o.error, r.error);
    for (std::size_t q = 0; q < r.answers.size(); ++q) {
      EXPECT_EQ(o.answers[q].value_or("-"), r.answers[q]) << q;
    }
  }
}

}  // namespace
