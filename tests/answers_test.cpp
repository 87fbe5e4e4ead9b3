// Token parsing and the answer reader of the dialogue.
#include <climits>
#include <cstdio>

#include <gtest/gtest.h>

#include "driver/answers.h"

namespace {

TEST(Answers, TokensAreWholeFiniteRealsOrDecimalIntegers) {
  const struct { const char* token; bool real_ok; double real; bool int_ok; long long integer; }
      rows[] = {{"10", true, 10, true, 10}, {"-0", true, 0, true, 0}, {"+1", true, 1, true, 1},
                {"-3", true, -3, true, -3}, {"007", true, 7, true, 7},  // not octal
                {"1e-3", true, 0.001, false, 0}, {"0x1p3", true, 8, false, 0},
                {"1.0", true, 1, false, 0}, {"1e0", true, 1, false, 0},
                {"99999999999999999999", true, 1e20, true, LLONG_MAX},  // clamped
                {"", false, 0, false, 0}, {"+", false, 0, false, 0}, {"abc", false, 0, false, 0},
                {"10abc", false, 0, false, 0}, {" 1", false, 0, false, 0},
                {"nan", false, 0, false, 0}, {"inf", false, 0, false, 0},
                {"-inf", false, 0, false, 0}, {"1e400", false, 0, false, 0}};  // overflow
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

TEST(AnswersDeathTest, ReaderTakesAnswersInTurnDropsRefusedLinesAndStopsAtTheEnd) {
  char text[] = "1 2\nabc 3\n4\n7 x 8\n5\n \n";
  std::FILE* in = fmemopen(text, sizeof text - 1, "r");
  o3::answer_reader reader(in);
  double v = 0;
  long long i = 0;
  EXPECT_TRUE(reader.read_real("H0", &v) && v == 1);
  EXPECT_TRUE(reader.read_real("H0", &v) && v == 2);  // same line
  EXPECT_FALSE(reader.read_real("H0", &v));           // "abc": " 3" dropped with it
  EXPECT_TRUE(reader.read_real("H0", &v) && v == 4);
  EXPECT_TRUE(reader.read_integer("answer", &i) && i == 7);
  EXPECT_FALSE(reader.read_integer("answer", &i));  // "x": " 8" dropped with it
  EXPECT_TRUE(reader.read_integer("answer", &i) && i == 5);
  EXPECT_EXIT(reader.read_real("H0", &v), ::testing::ExitedWithCode(1),
              "^!!! end of input: no answer for H0\n$");
  std::fclose(in);
}

}  // namespace
