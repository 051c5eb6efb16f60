#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "toolbox/vfloat.h"

using corvane::VFloat;

TEST(VFloat, TextParsingNormalisesAndPrintsBack) {
  struct Case {
    const char* in;
    int sign;
    int exponent;
    const char* digits;
    const char* out;
  } cases[] = {
      {"12.50", 1, 2, "125", "12.5"},     {"-0.025", -1, -1, "25", "-0.025"},
      {"1e5", 1, 6, "1", "100000"},       {"0", 0, 0, "", "0"},
      {"-0.000", 0, 0, "", "0"},          {"007", 1, 1, "7", "7"},
      {".5", 1, 0, "5", "0.5"},           {"1.5E-3", 1, -2, "15", "0.0015"},
      {"  42  ", 1, 2, "42", "42"},       {"+3.", 1, 1, "3", "3"},
      {"1e300", 1, 301, "1", "1e+300"},   {"-2.5e-60", -1, -59, "25", "-2.5e-60"},
  };
  for (const auto& c : cases) {
    auto f = VFloat::FromText(c.in);
    ASSERT_TRUE(f) << c.in;
    EXPECT_EQ(f->sign(), c.sign) << c.in;
    EXPECT_EQ(f->exponent(), c.exponent) << c.in;
    EXPECT_EQ(f->digits(), c.digits) << c.in;
    EXPECT_EQ(f->ToText(), c.out) << c.in;
    EXPECT_EQ(VFloat::FromText(f->ToText()), f) << c.in;
  }
  for (const char* bad : {"", "-", ".", "1e", "1x", "e5", "1.2.3", "--1", "1e+"})
    EXPECT_FALSE(VFloat::FromText(bad)) << bad;
}

TEST(VFloat, DoubleRoundTripsShortest) {
  for (double d : {0.1, -1.5, 3.141592653589793, 1e-300, 1.7976931348623157e308, 5e-324, 100.0, -0.0}) {
    auto f = VFloat::FromDouble(d);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->ToDouble(), d);
  }
  EXPECT_EQ(VFloat::FromDouble(0.1)->digits(), "1");
  EXPECT_EQ(VFloat::FromDouble(0.1)->exponent(), 0);
  EXPECT_FALSE(VFloat::FromDouble(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(VFloat::FromDouble(std::numeric_limits<double>::infinity()));
  EXPECT_TRUE(std::isinf(VFloat::FromText("1e400")->ToDouble()));
}

// Short values take a direct path; every value reads as the text would.
TEST(VFloat, DoubleOfDecimalMatchesTheTextReading) {
  std::uint64_t state = 88172645463325252ULL;
  const auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (int i = 0; i < 200000; ++i) {
    const int digits = 1 + static_cast<int>(next() % 17);
    std::string text = i % 2 ? "-" : "";
    for (int k = 0; k < digits; ++k) text += static_cast<char>('0' + next() % 10);
    text += "e" + std::to_string(static_cast<int>(next() % 61) - 30);
    const auto f = VFloat::FromText(text);
    ASSERT_TRUE(f) << text;
    EXPECT_EQ(f->ToDouble(), std::strtod(text.c_str(), nullptr)) << text;
  }
  for (const char* text : {"123.456", "-0.001", "9007199254740993", "1e22", "1e23", "4.35", "0.3"})
    EXPECT_EQ(VFloat::FromText(text)->ToDouble(), std::strtod(text, nullptr)) << text;
}

TEST(VFloat, Int64ExactOrNothing) {
  for (std::int64_t v : {std::int64_t{0}, std::int64_t{1}, std::int64_t{-10}, std::int64_t{1234500},
                         std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}) {
    VFloat f = VFloat::FromInt64(v);
    EXPECT_EQ(f.ToInt64(), v);
    EXPECT_EQ(f.ToText(), std::to_string(v));
  }
  EXPECT_EQ(VFloat::FromInt64(1200).digits(), "12");
  EXPECT_FALSE(VFloat::FromText("1.5")->ToInt64());
  EXPECT_FALSE(VFloat::FromText("9223372036854775808")->ToInt64());
  EXPECT_EQ(VFloat::FromText("-9223372036854775808")->ToInt64(), std::numeric_limits<std::int64_t>::min());
  EXPECT_FALSE(VFloat::FromText("1e30")->ToInt64());
}

TEST(VFloat, ExponentThatLeavesThirtyTwoBitsIsRefused) {
  // Leading zero digits lower the exponent while normalising.
  EXPECT_FALSE(VFloat::FromParts(1, INT32_MIN, "05").has_value());
  EXPECT_FALSE(VFloat::FromParts(-1, INT32_MIN + 2, "0007").has_value());
  auto lowest = VFloat::FromParts(1, INT32_MIN + 1, "05");
  ASSERT_TRUE(lowest.has_value());
  EXPECT_EQ(lowest->exponent(), INT32_MIN);
  EXPECT_EQ(lowest->ToDouble(), 0.0);
  // Zero has no digits to move the exponent.
  EXPECT_TRUE(VFloat::FromParts(1, INT32_MIN, "00").has_value());
}

TEST(VFloat, AnExponentAtTheLowestIntegerNeverOverflows) {
  // Leading zero digits would lower the exponent below 32 bits: refused.
  EXPECT_FALSE(VFloat::FromParts(1, std::numeric_limits<std::int32_t>::min(), "05"));
  auto f = VFloat::FromParts(-1, std::numeric_limits<std::int32_t>::min(), "5");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->exponent(), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(f->ToDouble(), 0.0);
  EXPECT_FALSE(std::isinf(f->ToDouble()));
  EXPECT_EQ(f->ToText().substr(0, 6), "-5e-21");
  auto g = VFloat::FromParts(1, std::numeric_limits<std::int32_t>::min() + 1, "05");
  ASSERT_TRUE(g);
  EXPECT_EQ(g->exponent(), std::numeric_limits<std::int32_t>::min());
}
