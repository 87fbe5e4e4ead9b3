// The sampler's numbers read as the "C" locale's strtod reads them,
// whatever locale the program has set.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "sampler/o3_internal.h"
#include "sampler/sampler.h"
#include "tests/made_tables.h"
#include "tests/other_locale.h"

namespace {

// The test runs in the "C" locale, where strtod is the reference.
void expect_as_strtod(const std::string& token) {
  const double want = std::strtod(token.c_str(), nullptr);
  const double got = o3_decimal(token.c_str(), token.size());
  // Bit for bit: a negative zero or an infinity must come out as strtod's.
  EXPECT_EQ(std::memcmp(&want, &got, sizeof want), 0)
      << token << ": " << std::hexfloat << got << " instead of " << want;
}

TEST(Decimal, ReadsEveryNumberAsStrtodReadsIt) {
  const struct {
    const char* what;
    std::string token;
  } rows[] = {{"an integer", "1234"},
              {"six decimals", "-123.456789"},
              {"a point of a histogram", "-7.5000000000000000e-01"},
              {"a negative zero", "-0.000000"},
              // 2^53 + 1 lies halfway between two doubles: the even one, 2^53.
              {"a tie to even", "9007199254740993"},
              {"just above the tie", "9007199254740993.000001"},
              {"the least subnormal", "4.9406564584124654e-324"},
              // Half the least subnormal is 2.4703282292062327208...e-324.
              {"below half the least subnormal", "2.4703282292062327e-324"},
              {"above half the least subnormal", "2.4703282292062328e-324"},
              {"the largest double", "1.7976931348623157e+308"},
              {"beyond the largest", "1.7976931348623159e+308"},
              {"an exponent far above", "1.0000000000000000e+99999999999"},
              {"an exponent far below", "1.0000000000000000e-99999999999"},
              {"a 250-digit integer", std::string(250, '9')},
              {"a 250-digit part before the point", std::string(244, '7') + ".123456"},
              {"900 digits, past those kept", "1." + std::string(898, '0') + "1e-300"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    expect_as_strtod(r.token);
  }
}

// The table's own forms over the whole range of doubles, and the exact
// decimal midpoints between neighbours, where the rounding is decided.
TEST(Decimal, RoundsLikeStrtodOverTheWholeRange) {
  std::mt19937_64 bits(20240521);
  char text[1200];
  for (int i = 0; i < 20000; ++i) {
    SCOPED_TRACE(i);
    const std::uint64_t word = bits();
    double x = 0.0;
    std::memcpy(&x, &word, sizeof x);
    if (!std::isfinite(x)) continue;
    std::snprintf(text, sizeof text, "%20.16e", x);
    expect_as_strtod(text);
    const double y =
        std::ldexp(static_cast<double>(bits() >> 11), static_cast<int>(bits() % 100) - 70);
    std::snprintf(text, sizeof text, "%f", y);
    expect_as_strtod(text);
    if (std::numeric_limits<long double>::digits > std::numeric_limits<double>::digits) {
      // y's midpoint needs one bit more than a double: exact in a long
      // double, and printed exactly with enough digits.
      const long double mid = (static_cast<long double>(y) + std::nextafter(y, 2 * y + 1)) / 2;
      std::snprintf(text, sizeof text, "%.900Le", mid);
      expect_as_strtod(text);
    }
    if (HasFailure()) return;
  }
}

TEST(Decimal, ATableReadsTheSameWhateverLocaleTheProgramHasSet) {
  const std::string& path = o3test::made_table("0 20 10");
  const o3::sampler::sampler in_c(path);
  const o3test::other_locale locale;
  if (!locale.set()) {
    GTEST_SKIP() << o3test::long_point_locale << " is not installed and localedef cannot make it";
  }
  ASSERT_STREQ(std::localeconv()->decimal_point, "\xd9\xab");  // U+066B, two bytes
  // Refused before with "H_max must be above H0": the point ended the number.
  const o3::sampler::sampler there(path);
  EXPECT_EQ(there.H0(), in_c.H0());
  EXPECT_EQ(there.H_max(), in_c.H_max());
  EXPECT_EQ(there.losses(), in_c.losses());
  ASSERT_EQ(there.histogram_count(), in_c.histogram_count());
  for (int g = 0; g < in_c.histogram_count(); ++g) {
    SCOPED_TRACE(g);
    EXPECT_EQ(there.coupling(g), in_c.coupling(g));
    EXPECT_EQ(there.area(g), in_c.area(g));
    const auto a = there.points(g), b = in_c.points(g);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
  }
}

}  // namespace
