// Batch runs of the built tool: answers as options give the bytes of the
// same answers typed, a refused value ends the run; --help, --version and
// usage errors.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "checker/check_command.h"
#include "driver/tables_command.h"
#include "emit/emit_command.h"
#include "tests/tool_runner.h"

namespace o3test {
namespace {

TEST(BatchE2e, OptionsGiveTheBytesOfTheSameAnswersTyped) {
  const struct {
    const char* what;
    std::string typed, piped;
    std::vector<std::string> args;
  } rows[] = {
      {"all options",
       "0\n20\n10\n1\n",
       "",
       {"--h0", "0", "--hmax", "20", "--losses", "10", "--yes"}},
      {"with =, any order", "0\n20\n10\n1\n", "", {"--losses=10", "--yes", "--hmax=20", "--h0=0"}},
      {"mixed with piped answers", "0\n20\n10\n1\n", "20\n1\n", {"--h0", "0", "--losses", "10"}},
      // Declined: the second dialogue is read from standard input.
      {"declined once",
       "3\n3000\n10\n0\n0\n20\n20\n1\n",
       "0\n0\n20\n20\n1\n",
       {"--h0", "3", "--hmax", "3000", "--losses", "10"}},
      {"a piped answer refused",
       "abc\n0\n0.2\n10\n1\n",
       "abc\n0\n",
       {"--hmax", "0.2", "--losses", "10", "--yes"}},
      {"end of input at the prompt", "0\n0.2\n10\n", "", {"--h0=0", "--hmax=0.2", "--losses=10"}},
      {"a histogram not finished",
       "0\n500\n10\n1\n",
       "",
       {"--h0=0", "--hmax=500", "--losses=10", "--yes"}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    tool_run typed, batch;
    typed.run(r.typed);
    batch.run(r.piped, r.args);
    EXPECT_EQ(batch.out, typed.out);
    EXPECT_EQ(batch.err, typed.err);  // nothing of the progress line on a pipe
    EXPECT_EQ(batch.status, typed.status);
    ASSERT_EQ(batch.files(), typed.files());
    for (const std::string& name : typed.files())
      EXPECT_EQ(batch.file(name), typed.file(name)) << name;
  }
}

// Losses of more than three decimals give steps of more than six, which
// the lookup lines cannot state: the grid and the map are built on the
// steps as written, so that the table loads and routes as its lines do.
TEST(BatchE2e, LossesOfManyDecimalsGiveASoundTable) {
  const struct {
    const char* losses;
    const char* lookup;
  } rows[] = {{"12.3456", "if(h<100.000000 ) j=0+(int)(h/0.049382);\n"},
              {"1.0001", "if(h<100.000000 ) j=0+(int)(h/0.004000);\n"},
              {"2.0667", "if(h<100.000000 ) j=0+(int)(h/0.008267);\n"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.losses);
    tool_run t;
    t.run("", {"--h0", "0", "--hmax", "150", "--losses", r.losses, "--yes"});
    ASSERT_EQ(t.status, 0) << t.err;
    EXPECT_NE(t.file("O3.res").find(r.lookup), std::string::npos);
    t.run("", {"check", "--draws", "1000"});
    EXPECT_EQ(t.status, 0) << t.out << t.err;
  }
}

TEST(BatchE2e, EveryOptionValueRefusedEndsWithStatus2AndNoFile) {
  // The other questions are answered by options; a refused value is not
  // asked again.
  const char* const option[] = {"--h0", "--hmax", "--losses"};
  const std::string good[] = {"0", "0.2", "10"};
  const std::string too_long(100000, 'x');   // one argument holds at most 128 KiB
  using texts = std::array<std::string, 3>;  // the refusal at H0, H_max, losses
  struct row {
    const char* what;
    std::string value;
    texts refusal;
  };
  const texts not_finite = {questions[0].not_a_number, questions[1].not_a_number,
                            questions[2].not_a_number};
  const std::string accepted = "";  // the run goes on to the next question
  const std::string bound =
      "!!! H_max must be <= 3200: larger ranges reach couplings whose histograms cannot be "
      "computed\n";
  const std::string two_pieces =
      "!!! The loss must be <= 604 %: a histogram needs at least two pieces\n";
  const row rows[] = {
      // What is no number is judged as typed (the dialogue's tests): here
      // what only a value given whole can be, and the rules.
      {"letters", "abc", not_finite},
      {"empty", "", not_finite},
      {"two answers", "1 2", not_finite},
      {"100 kB", too_long, not_finite},
      {"-0", "-0", texts{accepted, "!!! H_max must be > H0\n", "!!! The loss must be >= 1 %\n"}},
      {"-1", "-1",
       texts{"!!! H0 must be >= 0: the tables hold couplings H >= 0\n", "!!! H_max must be > H0\n",
             "!!! The loss must be >= 1 %\n"}},
      {"1e101", "1e101", texts{accepted, bound, two_pieces}},
      {"3200.001", "3200.001", texts{accepted, bound, two_pieces}},
      {"3200", "3200", texts{accepted, accepted, two_pieces}},
      // On the piece bound 100 in six decimals; 7 pieces as losses.
      {"100.0000004", "100.0000004",
       texts{accepted,
             "!!! H_max must exceed 100 in six decimals once above it: O3.res gives "
             "the lookup bounds so, and they must increase\n",
             ""}},
      {"0.999", "0.999", texts{accepted, accepted, "!!! The loss must be >= 1 %\n"}}};
  for (int q = 0; q < 3; ++q) {
    for (const row& r : rows) {
      SCOPED_TRACE(std::string(option[q]) + " " + r.what);
      std::vector<std::string> args;
      for (int o = 0; o < 3; ++o)
        args.push_back(std::string(option[o]) + "=" + (o == q ? r.value : good[o]));
      tool_run t;
      t.run("", args, 10);
      if (r.refusal[q].empty()) {  // accepted: the next question follows at once
        const std::string& next = q < 2 ? questions[q + 1].prompt : "\nFor the moment H real";
        EXPECT_EQ(count_of(t.out, questions[q].prompt + next), 1);
        continue;
      }
      EXPECT_TRUE(t.out.ends_with(questions[q].prompt + r.refusal[q]));
      EXPECT_EQ(count_of(t.out, "!!!"), 1);
      // The same on stderr, with the option and its value.
      EXPECT_EQ(t.err, std::string("o3tables: ") + option[q] + " '" + r.value +
                           "' refused: " + r.refusal[q].substr(4));
      EXPECT_EQ(t.status, 2);
      EXPECT_TRUE(t.files().empty());
    }
  }
}

// The tool's usage line: the table run's usage, then each subcommand's.
const std::string tool_usage =
    std::string("usage: ") + o3::tables_usage + " | " + o3::check_usage + " | " + o3::emit_usage;

TEST(BatchE2e, SubcommandsShowTheirUsageAsTheToolsUsageLineNamesIt) {
  for (const char* usage : {o3::check_usage, o3::emit_usage}) {
    SCOPED_TRACE(usage);
    EXPECT_NE(tool_usage.find(std::string("| ") + usage), std::string::npos);
    const std::string line = usage;
    const std::string command = line.substr(9, line.find(' ', 9) - 9);  // after "o3tables "
    tool_run t;
    t.run("", {command, "--bogus"});
    EXPECT_EQ(t.status, 2);
    EXPECT_NE(t.err.find(std::string("usage: ") + usage + "\n"), std::string::npos) << t.err;
  }
}

// Each usage error's text is the parser's (options_test): here how one is
// shown, and that it wins over --help.
TEST(BatchE2e, HelpVersionAndAUsageError) {
  const std::string usage = tool_usage + "\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } rows[] = {{{"--help"}, 0, ""},
              {{"-h"}, 0, ""},
              {{"--version"}, 0, ""},
              {{"--bogus", "--help"}, 2, "o3tables: unknown option '--bogus'\n" + usage}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.args[0]);
    tool_run t;
    t.run("0\n0.2\n10\n1\n", r.args);
    EXPECT_EQ(t.status, r.status);
    EXPECT_EQ(t.err, r.err);
    EXPECT_TRUE(t.files().empty());  // nothing is run
    if (r.args[0] == "--version") {
      EXPECT_TRUE(t.out.starts_with("o3tables ") && t.out.ends_with("\n")) << t.out;
    } else if (r.args[0] == "--help" || r.args[0] == "-h") {
      EXPECT_TRUE(t.out.starts_with(usage));
      for (const char* item : {"--h0 X", "--hmax Y", "--losses P", "--yes", "--help", "--version",
                               "temp2.tmp", "temp1.tmp", "O3.res", "  0  ", "  1  ", "  2  "}) {
        EXPECT_NE(t.out.find(item), std::string::npos) << item;
      }
    } else {
      EXPECT_EQ(t.out, "");
    }
  }
}

// -C DIR: the run's files, its lock included, are in DIR and nowhere else;
// a DIR that cannot be entered stops the run before it writes anything.
TEST(BatchE2e, TheRunWorksInTheDirectoryNamed) {
  const std::vector<std::string> answers = {"--h0",     "0",  "--hmax", "0.2",
                                            "--losses", "10", "--yes"};
  tool_run plain, t;
  plain.run("", answers);
  ASSERT_EQ(plain.status, 0);
  std::filesystem::create_directory(t.dir() + "/run");
  t.put("a file", "");
  std::vector<std::string> args = {"-C", "run"};
  args.insert(args.end(), answers.begin(), answers.end());
  t.run("", args);
  EXPECT_EQ(t.status, 0) << t.err;
  EXPECT_EQ(t.out, plain.out);
  EXPECT_EQ(t.err, "");
  EXPECT_EQ(t.files(), (std::vector<std::string>{"a file", "run"}));
  for (const std::string& name : plain.files()) {
    EXPECT_EQ(t.file("run/" + name), plain.file(name)) << name;
  }
  const struct {
    std::vector<std::string> args;
    std::string err;
  } refused[] = {
      {{"-C", "missing", "--h0=0"},
       "o3tables: cannot work in 'missing': No such file or directory\n"},
      {{"--h0=0", "--directory=a file"}, "o3tables: cannot work in 'a file': Not a directory\n"},
      {{"--directory", "run\x1b"},
       "o3tables: cannot work in 'run\\x1b': No such file or directory\n"}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.err);
    t.run("0\n0.2\n10\n1\n", r.args);
    EXPECT_EQ(t.status, 2);
    EXPECT_EQ(t.out, "");
    EXPECT_EQ(t.err, r.err);
    EXPECT_EQ(t.files(), (std::vector<std::string>{"a file", "run"}));
  }
  // The lock is DIR's: a run there holds it against one started elsewhere.
  tool_run first(t.dir() + "/run");
  first.start();
  ASSERT_TRUE(first.wait_for(questions[0].prompt));
  t.run("", args);
  EXPECT_EQ(t.status, 1);
  EXPECT_EQ(t.err,
            "o3tables: another table run is under way in this directory "
            "(it holds .o3tables.lock): this one stops\n");
  first.finish("0\n0.2\n10\n1\n");
  EXPECT_EQ(first.status, 0);
}

// --lattice and --beta give the answers 0 and H_max typed: the same bytes;
// an H_max the dialogue refuses is refused as an option value is, named by
// the options that gave it.
TEST(BatchE2e, LatticeAndBetaGiveTheRangeOfTheSimulation) {
  tool_run typed, batch;
  typed.run("", {"--h0", "0", "--hmax", "4.158001", "--losses", "10", "--yes"});
  batch.run("", {"--lattice", "cubic", "--beta", "0.693", "--losses", "10", "--yes"});
  ASSERT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(batch.out, typed.out);
  ASSERT_EQ(batch.files(), typed.files());
  for (const std::string& name : typed.files())
    EXPECT_EQ(batch.file(name), typed.file(name)) << name;
  const std::string bound =
      "H_max must be <= 3200: larger ranges reach couplings whose histograms cannot be computed\n";
  tool_run t;
  t.run("", {"--lattice", "square", "--beta", "800.5", "--losses", "10", "--yes"});
  EXPECT_EQ(t.status, 2);
  EXPECT_TRUE(t.out.ends_with(questions[0].prompt + questions[1].prompt + "!!! " + bound)) << t.out;
  EXPECT_EQ(t.err,
            "o3tables: --lattice square --beta 800.5 give H_max '3202.000001' refused: " + bound);
  EXPECT_TRUE(t.files().empty());
}

}  // namespace
}  // namespace o3test
