// The dialogue of the built tool, answers typed: its texts, its refusals, and
// every kind of bad answer at every question, each ending within seconds with
// its intended status and message and no file but those the case allows.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

const std::string no_continue = "!!! end of input: no answer for the continue prompt\n";
const std::vector<std::string> no_files, temp_files = {"temp1.tmp", "temp2.tmp"},
                                         all_files = {"O3.res", "temp1.tmp", "temp2.tmp"};
const std::string advice_end =
    "You can remove the files temp1.tmp and temp2.tmp\n     " + std::string(51, '-') + "\n\n";
constexpr int hang_guard_s = 10;

TEST(DialogueE2e, DeclinedRunThenEndOfInputGivesTheHandBuiltText) {
  // H0 = 0, H_max = 0.2, losses 10: one piece, step 0.004*10, upper end
  // H_max. The grid 0, 0.05, 0.1003, 0.1511, 0.2034 of the worked example
  // ends at N = 4: no progress line; Nd_poi = trunc(5/(1.05-1.002)) = 104, so
  // the size is 4*28*104/1e6 = 0.011648, shown as 0.012.
  const std::string row = "\tif(0.000000<H<0.200000 ) j=cst+(int)(H/0.040000);\n";
  tool_run t;
  t.run("0\n0.2\n10\n0\n");
  EXPECT_EQ(t.out, banner + ask_H0 + ask_H_max + ask_losses +
                       "\nFor the moment H real is mapped to :\n" + row +
                       "\nThe calculs will be done for H between\n"
                       "\tH0=0.000000 -> H_max=0.200000 with losses=10.000000%\n"
                       "The parametrization for H real is: \n" +
                       row + "\n\nthis can take a while ...\n" + dash_line +
                       "The size of the file \"O3.res\" will be of 0.012 Mo\nif the size of the "
                       "file is too important, increase the losses or decrease H_max\n\n" +
                       ask_continue + banner + ask_H0);
  EXPECT_EQ(t.err, "!!! end of input: no answer for H0\n");
  EXPECT_EQ(t.status, 1);
}

TEST(DialogueE2e, MappingTablesShowEachPieceTwice) {
  // Pieces [H0, 100) step 0.004 p, then [100, 1000) step 0.5 p, the last
  // upper end shown as H_max; H_max on a bound adds no piece.
  const std::string p1 = "\tif(0.000000<H<100.000000 ) j=cst+(int)(H/0.040000);\n";
  const std::string p2 = "\tif(100.000000<H<";
  const struct {
    const char* input;
    std::string rows;
  } cases[] = {{"0\n100\n10\n", p1},
               {"0\n100.5\n10\n", p1 + p2 + "100.500000 ) j=cst+(int)(H/5.000000);\n"},
               {"150\n1000\n10\n", "\tif(150.000000<H<100.000000 ) j=cst+(int)(H/0.040000);\n" +
                                       p2 + "1000.000000 ) j=cst+(int)(H/5.000000);\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    tool_run t;
    t.run(c.input);
    EXPECT_EQ(count_of(t.out, "mapped to :\n" + c.rows + "\nThe calculs"), 1);
    EXPECT_EQ(count_of(t.out, "H real is: \n" + c.rows + "\n\nthis can take"), 1);
    EXPECT_EQ(t.err, no_continue);
  }
}

// Each rule of the dialogue, at and beyond its bound: a refused answer is
// asked again and the next one is the one used.
TEST(DialogueE2e, EachRuleRefusesAndAsksAgain) {
  const std::string echo = "H0=0.000000 -> H_max=0.200000 with losses=10.000000%";
  const std::string order = "!!! H_max must be > H0\n";
  const std::string bound =
      "!!! H_max must be <= 3200: larger ranges reach couplings whose histograms cannot be "
      "computed\n";
  const std::string fewer = ": with fewer pieces some histograms would lose more than 10^4 %\n";
  const std::string below_204 = "!!! The loss must be <= 204 % for H_max > 350" + fewer,
                    below_304 = "!!! The loss must be <= 304 % for H_max > 100" + fewer;
  const auto on_bound = [](const char* piece_bound) {
    return std::string("!!! H_max must exceed ") + piece_bound +
           " in six decimals once above it: "
           "O3.res gives the lookup bounds so, and they must increase\n";
  };
  const struct {
    const char* input;
    std::string prompt, refusal, echo;
  } cases[] = {
      {"0\n0.2\n0.999\n10\n", ask_losses, "!!! The loss must be >= 1 %\n", echo},
      {"0\n0.2\n1\n", "", "", "H0=0.000000 -> H_max=0.200000 with losses=1.000000%"},
      {"0\n0.2\n604\n", "", "", "H0=0.000000 -> H_max=0.200000 with losses=604.000000%"},
      {"0\n0.2\n605\n10\n", ask_losses,
       "!!! The loss must be <= 604 %: a histogram needs at least two pieces\n", echo},
      {"10abc 7\n0\n0.2\n10\n", ask_H0, questions[0].not_a_number, echo},  // the 7 is dropped
      {"-1\n0\n0.2\n10\n", ask_H0, "!!! H0 must be >= 0: the tables hold couplings H >= 0\n", echo},
      {"0\n0\n0.2\n10\n", ask_H_max, order, echo},
      {"0.5\n0.2\n0.7\n10\n", ask_H_max, order,
       "H0=0.500000 -> H_max=0.700000 with losses=10.000000%"},
      {"0\n1e101\n0.2\n10\n", ask_H_max, bound, echo},
      {"0\n3200.0001\n0.2\n10\n", ask_H_max, bound, echo},
      // Above a piece bound, but on it in six decimals: the lookup lines
      // would end two pieces at one bound. 100.0000005 is a little below
      // its decimal, 1000.0000005 a little above.
      {"0\n100.0000004\n0.2\n10\n", ask_H_max, on_bound("100"), echo},
      {"0\n100.0000005\n0.2\n10\n", ask_H_max, on_bound("100"), echo},
      {"0\n1000.0000001\n0.2\n10\n", ask_H_max, on_bound("1000"), echo},
      {"0\n1000.0000005\n10\n", "", "", "H0=0.000000 -> H_max=1000.000001 with losses=10.000000%"},
      {"0\n100.0000006\n10\n", "", "", "H0=0.000000 -> H_max=100.000001 with losses=10.000000%"},
      // Fewer pieces than 4, and than 3, only up to H_max = 350 and 100.
      {"0\n3200\n204.0001\n204\n", ask_losses, below_204,
       "H0=0.000000 -> H_max=3200.000000 with losses=204.000000%"},
      {"0\n350.0001\n304\n204\n", ask_losses, below_204,
       "H0=0.000000 -> H_max=350.000100 with losses=204.000000%"},
      {"0\n350\n304.0001\n304\n", ask_losses, below_304,
       "H0=0.000000 -> H_max=350.000000 with losses=304.000000%"},
      {"0\n100.0001\n604\n304\n", ask_losses, below_304,
       "H0=0.000000 -> H_max=100.000100 with losses=304.000000%"},
      {"0\n100\n604\n", "", "", "H0=0.000000 -> H_max=100.000000 with losses=604.000000%"},
      {"0\n0.2\n10\n0.5\n", ask_continue, questions[3].not_a_number, echo}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    tool_run t;
    t.run(c.input);
    EXPECT_EQ(count_of(t.out, "!!!"), c.refusal.empty() ? 0 : 1);
    if (!c.refusal.empty()) {  // refused once, then the same question again
      EXPECT_EQ(count_of(t.out, c.prompt + c.refusal + c.prompt), 1);
    }
    EXPECT_EQ(count_of(t.out, "\t" + c.echo), 1);
    EXPECT_EQ(t.err, no_continue);
    EXPECT_EQ(t.status, 1);
  }
}

// What a run shows: stdout's end, its number of refusals, the question
// whose end of input stops it ("" for a complete run), the files left.
struct outcome {
  std::string tail;
  int refusals;
  std::string end_at;
  std::vector<std::string> files;
};

void check(const tool_run& t, const outcome& o) {
  EXPECT_TRUE(t.out.ends_with(o.tail))
      << t.out.substr(t.out.size() - std::min(t.out.size(), 300ul));
  EXPECT_EQ(count_of(t.out, "!!!"), o.refusals);
  EXPECT_EQ(t.status, o.end_at.empty() ? 0 : 1);
  EXPECT_EQ(t.err, o.end_at.empty() ? "" : "!!! end of input: no answer for " + o.end_at + "\n");
  EXPECT_EQ(t.files(), o.files);
}

// The answers that reach each question ("0 0.2 10": one mapping piece, five
// histograms), then each kind of answer there, and only 1 goes on at the
// continue prompt.
TEST(DialogueE2e, EveryKindOfAnswerAtEveryQuestion) {
  const std::string before[] = {"", "0\n", "0\n0.2\n", "0\n0.2\n10\n"};
  const std::string long_valid = std::string(100000, '0') + "1";  // the number 1
  for (int q = 0; q < 4; ++q) {
    const question_texts& k = questions[q];
    const bool go_on = q == 3;
    const std::vector<std::string> stopped = go_on ? temp_files : no_files;
    const outcome refused = {k.prompt + k.not_a_number + k.prompt, 1, k.name, stopped};
    const outcome ended = {k.prompt, 0, k.name, stopped};
    // Any answer but 1 at the continue prompt runs the dialogue again.
    const outcome declined = {ask_continue + banner + ask_H0, 0, "H0", temp_files};
    const outcome accepted =
        go_on    ? outcome{advice_end, 0, "", all_files}
        : q == 2 ? outcome{ask_continue, 0, questions[3].name, temp_files}
                 : outcome{k.prompt + questions[q + 1].prompt, 0, questions[q + 1].name, no_files};
    const std::string order[] = {"!!! H0 must be >= 0: the tables hold couplings H >= 0\n",
                                 "!!! H_max must be > H0\n", "!!! The loss must be >= 1 %\n"};
    const auto below = [&](bool zero_passes) {  // -0 passes as H0, -1 does not
      return go_on                   ? declined
             : zero_passes && q == 0 ? accepted
                                     : outcome{k.prompt + order[q] + k.prompt, 1, k.name, no_files};
    };
    const struct {
      const char* what;
      std::string input;
      outcome expected;
    } rows[] = {{"letters", "abc\n", refused},
                {"an empty line, then the end", "\n", ended},
                {"the end", "", ended},
                {"nan", "nan\n", refused},
                {"inf", "inf\n", refused},
                {"-inf", "-inf\n", refused},
                {"1e400", "1e400\n", refused},
                {"-0", "-0\n", below(true)},
                {"-1", "-1\n", below(false)},
                {"2", "2\n", go_on ? declined : accepted},
                {"100000 nines", std::string(100000, '9') + "\n", go_on ? declined : refused},
                {"100001 digits of 1", long_valid + "\n", accepted},
                {"a number glued to letters", "10abc 1\n", refused},  // the 1 is dropped
                {"several answers on one line",
                 std::string("0 0.2 10 1 7\n").substr(before[q].size()),
                 {advice_end, 0, "", all_files}},
                {"a line of 1 MB", std::string(1 << 20, 'x') + "\n", refused}};
    for (const auto& r : rows) {
      SCOPED_TRACE(k.name + ": " + r.what);
      tool_run t;
      t.run(before[q] + r.input, {}, hang_guard_s);
      check(t, r.expected);
    }
  }
}

}  // namespace
}  // namespace o3test
