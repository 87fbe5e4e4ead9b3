// Token parsing and the answer reader of the dialogue.
#include <climits>
#include <cstdio>

#include <gtest/gtest.h>

#include "driver/answers.h"
#include "tests/other_locale.h"

namespace {

TEST(Answers, TokensAreWholeFiniteRealsOrDecimalIntegers) {
  const struct {
    const char* token;
    bool real_ok;
    double real;
    bool int_ok;
    long long integer;
  } rows[] = {{"10", true, 10, true, 10},
              {"-0", true, 0, true, 0},
              {"+1", true, 1, true, 1},
              {"-3", true, -3, true, -3},
              {"007", true, 7, true, 7},  // not octal
              {"1e-3", true, 0.001, false, 0},
              {"0x1p3", true, 8, false, 0},
              {"1.0", true, 1, false, 0},
              {"1e0", true, 1, false, 0},
              {"99999999999999999999", true, 1e20, true, LLONG_MAX},  // clamped
              {"", false, 0, false, 0},
              {"+", false, 0, false, 0},
              {"abc", false, 0, false, 0},
              {"10abc", false, 0, false, 0},
              {" 1", false, 0, false, 0},
              {"nan", false, 0, false, 0},
              {"inf", false, 0, false, 0},
              {"-inf", false, 0, false, 0},
              {"1e400", false, 0, false, 0}};  // overflow
  for (const auto& r : rows) {
    SCOPED_TRACE(r.token);
    double v = -7.5;
    long long i = -42;
    EXPECT_EQ(o3::parse_real(r.token, &v), r.real_ok);
    EXPECT_EQ(v, r.real_ok ? r.real : -7.5);  // a refusal keeps the value
    EXPECT_EQ(o3::parse_integer(r.token, &i), r.int_ok);
    EXPECT_EQ(i, r.int_ok ? r.integer : -42);
  }
}

// The tool never sets a locale, but the numbers it reads must not depend on
// one that code linked with it sets: ps_AF's decimal point is two bytes.
TEST(Answers, RealsAreReadTheSameInALocaleWithAnotherDecimalPoint) {
  const o3test::other_locale locale;
  if (!locale.set()) {
    GTEST_SKIP() << o3test::long_point_locale << " is not installed and localedef cannot make it";
  }
  const struct {
    const char* token;
    bool ok;
    double value;
  } rows[] = {{"0.5", true, 0.5},
              {"-1.25e2", true, -125},
              {"0x1p-2", true, 0.25},
              {"1e-400", true, 0.0},  // an underflow, as strtod gives it
              {"0,5", false, 0},
              {"0\xd9\xab"
               "5",
               false, 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.token);
    double v = -7.5;
    EXPECT_EQ(o3::parse_real(r.token, &v), r.ok);
    EXPECT_EQ(v, r.ok ? r.value : -7.5);
  }
}

TEST(Answers, ReaderTakesAnswersInTurnDropsRefusedLinesAndReportsTheEnd) {
  using o3::answer;
  char text[] = "1 2\nabc 3\n4\n7 x 8\n5\n \n";
  std::FILE* in = fmemopen(text, sizeof text - 1, "r");
  o3::answer_reader reader(in);
  double v = 0;
  long long i = 0;
  EXPECT_TRUE(reader.read_real(&v) == answer::ok && v == 1);
  EXPECT_TRUE(reader.read_real(&v) == answer::ok && v == 2);  // same line
  EXPECT_EQ(reader.read_real(&v), answer::refused);           // "abc": " 3" dropped with it
  EXPECT_TRUE(reader.read_real(&v) == answer::ok && v == 4);
  EXPECT_TRUE(reader.read_integer(&i) == answer::ok && i == 7);
  EXPECT_EQ(reader.read_integer(&i), answer::refused);  // "x": " 8" dropped with it
  EXPECT_TRUE(reader.read_integer(&i) == answer::ok && i == 5);
  EXPECT_EQ(reader.read_real(&v), answer::end_of_input);
  EXPECT_EQ(reader.read_integer(&i), answer::end_of_input);  // and stays there
  std::fclose(in);
}

TEST(AnswersDeathTest, SourceTakesEachPresetOnceThenTheStream) {
  using o3::question;
  char text[] = "5\nx\n";
  std::FILE* in = fmemopen(text, sizeof text - 1, "r");
  o3::answer_source source(in);
  source.preset(question::h_max, "--hmax", "7");
  source.preset(question::losses, "--losses", "t\x1b[2Jen");
  double v = 0;
  EXPECT_TRUE(source.read_real_or_exit(question::h_max, &v) && v == 7);
  EXPECT_TRUE(source.read_real_or_exit(question::h_max, &v) && v == 5);  // the preset is used up
  EXPECT_FALSE(source.read_real_or_exit(question::h_max, &v));           // "x" from the stream
  source.refuse_or_exit("");                                             // asked again: no exit
  EXPECT_FALSE(source.read_real_or_exit(question::losses, &v));          // the preset
  // The option, its value escaped and the reason, for a job whose stdout is a log.
  EXPECT_EXIT(source.refuse_or_exit("!!! The loss must be a finite number\n"),
              ::testing::ExitedWithCode(2),
              "^o3tables: --losses 't\\\\x1b\\[2Jen' refused: The loss must be a finite number\n$");
  EXPECT_EXIT(source.read_real_or_exit(question::losses, &v), ::testing::ExitedWithCode(1),
              "^!!! end of input: no answer for the % of losses\n$");
  std::fclose(in);
}

}  // namespace
