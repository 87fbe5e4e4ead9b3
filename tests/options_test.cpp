// The table run's command line, parsed without running the tool.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "driver/lattice_range.h"
#include "driver/options.h"

namespace {

using action = o3::run_options::action;

// What an unknown argument is compared with: the tool's subcommands.
const std::string_view subcommands[] = {"check", "emit"};

TEST(Options, AnswersHelpVersionAndUsageErrors) {
  struct row {
    std::vector<const char*> args;
    action what;
    std::vector<const char*> answers;  // H0, H_max, losses, go_on; "-" for none
    std::string error;
  };
  const row rows[] = {
      {{}, action::run, {"-", "-", "-", "-"}, ""},
      {{"--h0", "0", "--hmax=5", "--losses", "10", "--yes"},
       action::run,
       {"0", "5", "10", "1"},
       ""},
      {{"--losses=1e-3", "--h0", "-1"}, action::run, {"-1", "-", "1e-3", "-"}, ""},  // judged later
      {{"--h0=", "--hmax=a=b"}, action::run, {"", "a=b", "-", "-"}, ""},
      {{"--version"}, action::version, {"-", "-", "-", "-"}, ""},
      {{"--version", "--h0", "1", "--help"}, action::help, {"1", "-", "-", "-"}, ""},
      {{"-h", "--h0", "1"}, action::help, {"1", "-", "-", "-"}, ""},
      {{"--bogus"}, action::usage_error, {}, "unknown option '--bogus'"},
      {{"--bogus=1"}, action::usage_error, {}, "unknown option '--bogus'"},
      // A slip of the keyboard is named with the option meant.
      {{"--hmx=5"}, action::usage_error, {}, "unknown option '--hmx' (did you mean --hmax?)"},
      {{"-losses", "5"},
       action::usage_error,
       {},
       "unknown option '-losses' (did you mean --losses?)"},
      {{"--H_max"}, action::usage_error, {}, "unknown option '--H_max' (did you mean --hmax?)"},
      {{"--verison"},
       action::usage_error,
       {},
       "unknown option '--verison' (did you mean --version?)"},
      {{"--h0\x1b[2J"}, action::usage_error, {}, "unknown option '--h0\\x1b[2J'"},
      {{"extra\n"}, action::usage_error, {}, "unknown argument 'extra\\n'"},
      {{"--hmax"}, action::usage_error, {}, "option '--hmax' needs a value"},
      {{"--h0", "--yes"}, action::usage_error, {}, "option '--h0' needs a value"},
      {{"--yes=1"}, action::usage_error, {}, "option '--yes' takes no value"},
      {{"--h0", "1", "--h0=2"}, action::usage_error, {}, "option '--h0' given twice"},
      {{"--yes", "--h0=1", "--yes"}, action::usage_error, {}, "option '--yes' given twice"},
      {{"--keep-losses", "--keep-losses"},
       action::usage_error,
       {},
       "option '--keep-losses' given twice"}};
  for (const row& r : rows) {
    std::string line;
    for (const char* a : r.args) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    const o3::run_options o =
        o3::parse_run_options(static_cast<int>(r.args.size()), r.args.data(), subcommands);
    EXPECT_EQ(o.what, r.what);
    EXPECT_EQ(o.error, r.error);
    for (std::size_t q = 0; q < r.answers.size(); ++q) {
      EXPECT_EQ(o.answers[q].value_or("-"), r.answers[q]) << q;
    }
  }
}

// -C names the directory; --lattice and --beta answer H0 and H_max; a
// slip of the keyboard in an option or a subcommand is named.
TEST(Options, DirectoryLatticeAndBeta) {
  struct row {
    std::vector<const char*> args;
    std::string error;  // empty: the run goes on
    const char* h0;     // the answers; "-" for none
    const char* h_max;
    const char* directory;
  };
  const std::string cannot = " cannot be given with --lattice and --beta, which give H0 and H_max";
  const std::string lattices =
      "' refused: the lattices are chain, square, cubic or a dimension from 1 to 1000";
  const row rows[] = {
      {{"-C", "run", "--h0=1"}, "", "1", "-", "run"},
      {{"--directory=a b", "--losses", "10"}, "", "-", "-", "a b"},
      {{"--directory", "-x"}, "", "-", "-", "-x"},  // a value may begin with one minus sign
      {{"--lattice", "cubic", "--beta", "0.693", "-C", "r"}, "", "0", "4.158001", "r"},
      {{"--beta=0.5", "--lattice=chain"}, "", "0", "1.000001", ""},
      {{"--lattice", "2", "--beta", "1e-3"}, "", "0", "0.004001", ""},
      // Refused by the dialogue, with the bound's message, not here.
      {{"--lattice", "cubic", "--beta", "800"}, "", "0", "4800.000001", ""},
      {{"-C"}, "option '-C' needs a value", "-", "-", ""},
      {{"-C", ""}, "option '-C' needs a value", "-", "-", ""},
      {{"-C", "a", "--directory", "b"}, "option '--directory' given twice", "-", "-", ""},
      {{"--lattice", "cubic"}, "option '--lattice' needs --beta", "-", "-", ""},
      {{"--beta", "1"}, "option '--beta' needs --lattice", "-", "-", ""},
      {{"--h0", "0", "--lattice", "3", "--beta", "1"}, "option '--h0'" + cannot, "-", "-", ""},
      {{"--lattice", "3", "--beta", "1", "--hmax=9"}, "option '--hmax'" + cannot, "-", "-", ""},
      {{"--lattice", "hex", "--beta", "1"}, "--lattice 'hex" + lattices, "-", "-", ""},
      {{"--lattice", "0", "--beta", "1"}, "--lattice '0" + lattices, "-", "-", ""},
      {{"--lattice", "1001", "--beta", "1"}, "--lattice '1001" + lattices, "-", "-", ""},
      {{"--lattice", "+3", "--beta", "1"}, "--lattice '+3" + lattices, "-", "-", ""},
      {{"--lattice", "3.0", "--beta", "1"}, "--lattice '3.0" + lattices, "-", "-", ""},
      {{"--lattice", "3", "--beta", "-1"},
       "--beta '-1' refused: beta is a number from 0 to 1e6",
       "-",
       "-",
       ""},
      {{"--lattice", "3", "--beta", "1.000001e6"},
       "--beta '1.000001e6' refused: beta is a number from 0 to 1e6",
       "-",
       "-",
       ""},
      {{"--lattice", "3", "--beta", "nan"},
       "--beta 'nan' refused: beta is a number from 0 to 1e6",
       "-",
       "-",
       ""},
      {{"chek"}, "unknown argument 'chek' (did you mean check?)", "-", "-", ""},
      {{"emt", "--out", "x"}, "unknown argument 'emt' (did you mean emit?)", "-", "-", ""},
      {{"--lattise", "cubic"},
       "unknown option '--lattise' (did you mean --lattice?)",
       "-",
       "-",
       ""},
      {{"--directroy=x"},
       "unknown option '--directroy' (did you mean --directory?)",
       "-",
       "-",
       ""}};
  for (const row& r : rows) {
    std::string line;
    for (const char* a : r.args) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    const o3::run_options o =
        o3::parse_run_options(static_cast<int>(r.args.size()), r.args.data(), subcommands);
    EXPECT_EQ(o.error, r.error);
    if (!r.error.empty()) continue;
    EXPECT_EQ(o.what, action::run);
    EXPECT_EQ(o.answers[0].value_or("-"), r.h0);
    EXPECT_EQ(o.answers[1].value_or("-"), r.h_max);
    EXPECT_EQ(o.directory, r.directory);
  }
}

// H_max is the least value of six decimals above 2 d beta (1 + 1e-12):
// the coupling of an aligned spin, 2 d beta, lies inside [H0, H_max) as
// O3.res states it, even when 2 d beta has six decimals itself.
TEST(Options, HMaxJustAboveTheLargestCouplingOfASweep) {
  const struct {
    int d;
    double beta;
    const char* h_max;
  } rows[] = {{1, 0.5, "1.000001"},  // 2 d beta = 1 exactly
              {3, 0.5, "3.000001"},
              {3, 0.693, "4.158001"},         // 6 * 0.693 = 4.158 to the last bit
              {3, 0.6931234567, "4.158741"},  // 4.1587407402
              {2, 0.0, "0.000001"},
              {1, 1e-300, "0.000001"},
              // 3199.9999998 (1 + 1e-12) = 3199.9999998032: the bound itself, accepted.
              {3, 533.3333333, "3200.000000"},
              // 6e6 (1 + 1e-12) = 6000000.000006: the margin is more than a millionth.
              {3, 1e6, "6000000.000007"},
              {1000, 1e6, "2000000000.002001"}};  // the largest: 2e15 millionths, exact
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.d) + " " + std::to_string(r.beta));
    EXPECT_EQ(o3::h_max_above(r.d, r.beta), r.h_max);
  }
  // Over a sweep of beta, the value read back always lies above 2 d beta
  // and within two millionths (plus the margin) of it.
  for (int d = 1; d <= 4; ++d) {
    for (int k = 0; k <= 20000; ++k) {
      const double beta = k * 0.00017;
      const double read = std::stod(o3::h_max_above(d, beta));
      const double top = 2.0 * d * beta;
      ASSERT_GT(read, top * (1.0 + 1e-12)) << d << " " << beta;
      ASSERT_LT(read, top * (1.0 + 1e-12) + 2e-6) << d << " " << beta;
    }
  }
}

TEST(Options, LatticeNames) {
  const struct {
    const char* name;
    int d;
  } rows[] = {{"chain", 1},   {"square", 2}, {"cubic", 3}, {"4", 4},
              {"1000", 1000}, {"1001", 0},   {"0", 0},     {"-2", 0},
              {"", 0},        {"Cubic", 0},  {"3 ", 0},    {"99999999999999999999", 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(o3::lattice_dimension(r.name), r.d);
  }
}

}  // namespace
