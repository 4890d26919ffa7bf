#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "config/Text.h"

namespace {

TEST(TextTest, AtoISaturatesAndStopsAtTheFirstOtherCharacter) {
  // clang-format off
  const std::pair<const char*, int> cases[] = {
      {"42abc", 42}, {"abc", 0}, {"  -7", -7}, {"+5", 5}, {"", 0}, {"0x10", 0},
      {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"-2147483649", INT_MIN},
      {"99999999999999999999999", INT_MAX}};
  // clang-format on
  for (const auto& [input, expected] : cases) EXPECT_EQ(text::AtoI(input), expected) << input;
}

TEST(TextTest, AtoFReadsAsStrtod) {
  EXPECT_DOUBLE_EQ(text::AtoF("1.25"), 1.25);
  EXPECT_DOUBLE_EQ(text::AtoF("1,5"), 1.0);
  EXPECT_DOUBLE_EQ(text::AtoF("0x1p3"), 8.0);
  EXPECT_DOUBLE_EQ(text::AtoF("junk"), 0.0);
  EXPECT_EQ(text::AtoF(" -inf"), -HUGE_VAL);
  EXPECT_TRUE(std::isnan(text::AtoF(" -nan")) && std::signbit(text::AtoF(" -nan")));
  EXPECT_TRUE(std::isnan(text::AtoF("nan")) && !std::signbit(text::AtoF("nan")));
}

TEST(TextTest, FormatDoubleWritesGeneralNotationWithTwoExponentDigits) {
  struct Case {
    double value;
    const char* expected;
  } cases[] = {
      {0.0, "0"},
      {2.5, "2.5"},
      {10.0, "10"},
      {-3.1415926, "-3.14159"},
      {1.23456789, "1.23457"},
      {1e6, "1e+06"},
      {0.00001, "1e-05"},
      {123456, "123456"},
      {1e100, "1e+100"},
      {HUGE_VAL, "inf"},
      {-HUGE_VAL, "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), "nan"},
      {-std::numeric_limits<double>::quiet_NaN(), "-nan"},
  };
  for (const Case& c : cases) EXPECT_EQ(text::FormatDouble(c.value), c.expected);
}

}  // namespace
