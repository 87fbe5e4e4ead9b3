// Bad answers at every question of the built tool, typed or given as
// options: each case ends within seconds with its intended status and
// message, and leaves no file but those the case allows.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

const std::vector<std::string> no_files, temp_files = {"temp1.tmp", "temp2.tmp"},
    all_files = {"O3.res", "temp1.tmp", "temp2.tmp"};
const std::string advice_end = "You can remove the files temp1.tmp and temp2.tmp\n     " +
                               std::string(51, '-') + "\n\n";
constexpr int hang_guard_s = 10;

struct question {
  std::string name, before, prompt, what, not_a_number;
};
// The answers that reach each question ("0 0.2 10": one histogram piece,
// five histograms), and what its refusals say.
const question questions[] = {
    {"H0", "", ask_H0, "H0", "!!! H0 must be a finite number\n"},
    {"H_max", "0\n", ask_H_max, "H_max", "!!! H_max must be a finite number\n"},
    {"losses", "0\n0.2\n", ask_losses, "the % of losses", "!!! The loss must be a finite number\n"},
    {"continue", "0\n0.2\n10\n", ask_continue, "the continue prompt",
     "!!! The answer must be an integer (0=No, 1=yes)\n"}};
const std::string next_prompt[] = {ask_H_max, ask_losses};

// What a run shows: stdout's end, its number of refusals, the question
// whose end of input stops it ("" for a complete run), the files left.
struct outcome {
  std::string tail;
  int refusals;
  std::string end_at;
  std::vector<std::string> files;
};

void check(const tool_run& t, const outcome& o) {
  EXPECT_TRUE(t.out.ends_with(o.tail)) << t.out.substr(t.out.size() - std::min(t.out.size(), 300ul));
  EXPECT_EQ(count_of(t.out, "!!!"), o.refusals);
  EXPECT_EQ(t.status, o.end_at.empty() ? 0 : 1);
  EXPECT_EQ(t.err, o.end_at.empty() ? "" : "!!! end of input: no answer for " + o.end_at + "\n");
  EXPECT_EQ(t.files(), o.files);
}

TEST(BadInputE2e, EveryQuestionTyped) {
  const std::string long_valid = std::string(100000, '0') + "1";  // the number 1
  for (int q = 0; q < 4; ++q) {
    const question& k = questions[q];
    const bool go_on = q == 3;
    const std::vector<std::string> stopped = go_on ? temp_files : no_files;
    const outcome refused = {k.prompt + k.not_a_number + k.prompt, 1, k.what, stopped};
    const outcome ended = {k.prompt, 0, k.what, stopped};
    // 0 at the continue prompt runs the dialogue again; 1 goes on.
    const outcome declined = {ask_continue + banner + ask_H0, 0, "H0", temp_files};
    const outcome accepted =
        go_on    ? outcome{advice_end, 0, "", all_files}
        : q == 2 ? outcome{ask_continue, 0, questions[3].what, temp_files}
                 : outcome{k.prompt + next_prompt[q], 0, questions[q + 1].what, no_files};
    const std::string order[] = {"", "!!! H_max must be > H0\n", "!!! The loss must be >= 1 %\n"};
    const struct { const char* what; std::string input; outcome expected; } rows[] = {
        {"letters", "abc\n", refused},
        {"an empty line, then the end", "\n", ended},
        {"the end", "", ended},
        {"nan", "nan\n", refused},
        {"inf", "inf\n", refused},
        {"-inf", "-inf\n", refused},
        {"1e400", "1e400\n", refused},
        {"-0", "-0\n", q == 0 ? accepted : go_on ? declined
                                   : outcome{k.prompt + order[q] + k.prompt, 1, k.what, no_files}},
        {"100000 nines", std::string(100000, '9') + "\n", go_on ? declined : refused},
        {"100001 digits of 1", long_valid + "\n", accepted},
        {"a number glued to letters", "10abc 1\n", refused},  // the 1 is dropped
        {"several answers on one line",
         std::string("0 0.2 10 1 7\n").substr(questions[q].before.size()),
         {advice_end, 0, "", all_files}},
        {"a line of 1 MB", std::string(1 << 20, 'x') + "\n", refused}};
    for (const auto& r : rows) {
      SCOPED_TRACE(k.name + ": " + r.what);
      tool_run t;
      t.run(k.before + r.input, {}, hang_guard_s);
      check(t, r.expected);
    }
  }
}

TEST(BadInputE2e, EveryOptionValueRefusedEndsWithStatus2AndNoFile) {
  // The other questions are answered by options; a refused value is not
  // asked again.
  const char* const option[] = {"--h0", "--hmax", "--losses"};
  const std::string good[] = {"0", "0.2", "10"};
  const std::string too_long(100000, 'x');  // one argument holds at most 128 KiB
  using texts = std::array<std::string, 3>;  // the refusal at H0, H_max, losses
  struct row { const char* what; std::string value; texts refusal; };
  const texts not_finite = {questions[0].not_a_number, questions[1].not_a_number,
                            questions[2].not_a_number};
  const std::string accepted = "";  // the run goes on to the continue prompt
  const std::string bound =
      "!!! H_max must be <= 3200: larger ranges reach couplings whose histograms cannot be computed\n";
  const row rows[] = {
      {"letters", "abc", not_finite}, {"empty", "", not_finite}, {"nan", "nan", not_finite},
      {"inf", "inf", not_finite}, {"-inf", "-inf", not_finite}, {"1e400", "1e400", not_finite},
      {"100000 nines", std::string(100000, '9'), not_finite},
      {"glued", "10abc", not_finite}, {"two answers", "1 2", not_finite},
      {"100 kB", too_long, not_finite},
      {"-0", "-0", texts{accepted, "!!! H_max must be > H0\n", "!!! The loss must be >= 1 %\n"}},
      {"-1", "-1", texts{"!!! H0 must be >= 0: the tables hold couplings H >= 0\n",
                    "!!! H_max must be > H0\n", "!!! The loss must be >= 1 %\n"}},
      {"1e101", "1e101", texts{accepted, bound,
                          "!!! The loss must be <= 604 %: a histogram needs at least two pieces\n"}},
      {"3200.001", "3200.001", texts{accepted, bound,
                                "!!! The loss must be <= 604 %: a histogram needs at least two pieces\n"}},
      {"3200", "3200", texts{accepted, accepted,
                        "!!! The loss must be <= 604 %: a histogram needs at least two pieces\n"}},
      {"0.999", "0.999", texts{accepted, accepted, "!!! The loss must be >= 1 %\n"}}};
  for (int q = 0; q < 3; ++q) {
    for (const row& r : rows) {
      SCOPED_TRACE(std::string(option[q]) + " " + r.what);
      std::vector<std::string> args;
      for (int o = 0; o < 3; ++o) args.push_back(std::string(option[o]) + "=" + (o == q ? r.value : good[o]));
      tool_run t;
      t.run("", args, hang_guard_s);
      if (r.refusal[q].empty()) {  // accepted: the next question follows at once
        EXPECT_EQ(count_of(t.out, questions[q].prompt + next_prompt[q]), 1);
        continue;
      }
      EXPECT_TRUE(t.out.ends_with(questions[q].prompt + r.refusal[q]));
      EXPECT_EQ(count_of(t.out, "!!!"), 1);
      // The same on stderr, with the option and its value.
      EXPECT_EQ(t.err, std::string("o3tables: ") + option[q] + " '" + r.value + "' refused: " +
                           r.refusal[q].substr(4));
      EXPECT_EQ(t.status, 2);
      EXPECT_EQ(t.files(), no_files);
    }
  }
}

}  // namespace
}  // namespace o3test
