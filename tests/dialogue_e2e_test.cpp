// The dialogue of the built tool: its texts, refusals and end of input.
#include <gtest/gtest.h>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

const std::string no_continue = "!!! end of input: no answer for the continue prompt\n";

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
                       "The parametrization for H real is: \n" + row +
                       "\n\nthis can take a while ...\n" + dash_line +
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
  const struct { const char* input; std::string rows; } cases[] = {
      {"0\n100\n10\n", p1},
      {"0\n100.5\n10\n", p1 + p2 + "100.500000 ) j=cst+(int)(H/5.000000);\n"},
      {"150\n1000\n10\n", "\tif(150.000000<H<100.000000 ) j=cst+(int)(H/0.040000);\n" + p2 +
                              "1000.000000 ) j=cst+(int)(H/5.000000);\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    tool_run t;
    t.run(c.input);
    EXPECT_EQ(count_of(t.out, "mapped to :\n" + c.rows + "\nThe calculs"), 1);
    EXPECT_EQ(count_of(t.out, "H real is: \n" + c.rows + "\n\nthis can take"), 1);
    EXPECT_EQ(t.err, no_continue);
  }
}

TEST(DialogueE2e, RefusedAnswersAreAskedAgain) {
  const std::string not_finite = " must be a finite number\n", order = "!!! H_max must be > H0\n";
  const std::string echo = "H0=0.000000 -> H_max=0.200000 with losses=10.000000%";
  const std::string bound =
      "!!! H_max must be <= 3200: larger ranges reach couplings whose histograms cannot be computed\n";
  const std::string fewer = ": with fewer pieces some histograms would lose more than 10^4 %\n";
  const std::string below_204 = "!!! The loss must be <= 204 % for H_max > 350" + fewer,
                    below_304 = "!!! The loss must be <= 304 % for H_max > 100" + fewer;
  const struct { const char* input; std::string prompt, refusal, echo; } cases[] = {
      {"0\n0.2\n0.999\n10\n", ask_losses, "!!! The loss must be >= 1 %\n", echo},
      {"0\n0.2\n1\n", "", "", "H0=0.000000 -> H_max=0.200000 with losses=1.000000%"},
      {"0\n0.2\n604\n", "", "", "H0=0.000000 -> H_max=0.200000 with losses=604.000000%"},
      {"0\n0.2\n605\n10\n", ask_losses,
       "!!! The loss must be <= 604 %: a histogram needs at least two pieces\n", echo},
      {"0\n0.2\nten\n10\n", ask_losses, "!!! The loss" + not_finite, echo},
      {"abc\n0\n0.2\n10\n", ask_H0, "!!! H0" + not_finite, echo},
      {"nan\n0\n0.2\n10\n", ask_H0, "!!! H0" + not_finite, echo},
      {"10abc 7\n0\n0.2\n10\n", ask_H0, "!!! H0" + not_finite, echo},  // the 7 is dropped
      {"-1\n0\n0.2\n10\n", ask_H0, "!!! H0 must be >= 0: the tables hold couplings H >= 0\n", echo},
      {"0\nxyz\n0.2\n10\n", ask_H_max, "!!! H_max" + not_finite, echo},
      {"0\ninf\n0.2\n10\n", ask_H_max, "!!! H_max" + not_finite, echo},
      {"0\n0\n0.2\n10\n", ask_H_max, order, echo},
      {"0.5\n0.2\n0.7\n10\n", ask_H_max, order,
       "H0=0.500000 -> H_max=0.700000 with losses=10.000000%"},
      {"0\n1e101\n0.2\n10\n", ask_H_max, bound, echo},
      {"0\n3200.0001\n0.2\n10\n", ask_H_max, bound, echo},
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
      {"0\n0.2\n10\n0.5\n", ask_continue,
       "!!! The answer must be an integer (0=No, 1=yes)\n", echo},
      {"0 0.2 10\n", "", "", echo}};  // several answers on one line
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

TEST(DialogueE2e, EndOfInputAtEachQuestionEndsWithStatus1) {
  const struct { const char* input; std::string prompt, what; } cases[] = {
      {"", ask_H0, "H0"}, {"0\n", ask_H_max, "H_max"},
      {"0\n0.2\n", ask_losses, "the % of losses"},
      {"0\n0.2\n10\n", ask_continue, "the continue prompt"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    tool_run t;
    t.run(c.input);
    EXPECT_EQ(t.err, "!!! end of input: no answer for " + c.what + "\n");
    EXPECT_EQ(t.status, 1);
    EXPECT_TRUE(t.out.ends_with(c.prompt));
  }
}

TEST(DialogueE2e, OnlyTheAnswer1GoesOnToTheTables) {
  for (const std::string answer : {"0", "2", "-1", "1"}) {
    SCOPED_TRACE(answer);
    const bool on = answer == "1";
    tool_run t;
    t.run("0\n0.2\n10\n" + answer + "\n");
    EXPECT_EQ(count_of(t.out, banner), on ? 1 : 2);
    EXPECT_EQ(t.exists("O3.res"), on);
    EXPECT_EQ(t.err, on ? "" : "!!! end of input: no answer for H0\n");
    EXPECT_EQ(t.status, on ? 0 : 1);
  }
}

}  // namespace
}  // namespace o3test
