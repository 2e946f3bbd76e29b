// Shared number conversions and number display.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "base/Convert.h"

namespace korvane {
namespace {

TEST(LenientInt, DecimalWithBlanksAndSign) {
  EXPECT_EQ(LenientInt("42"), 42);
  EXPECT_EQ(LenientInt("   42"), 42);
  EXPECT_EQ(LenientInt("-17"), -17);
  EXPECT_EQ(LenientInt("+5"), 5);
  EXPECT_EQ(LenientInt(" -0"), 0);
}

TEST(LenientInt, HexPrefixes) {
  EXPECT_EQ(LenientInt("$1F"), 31);
  EXPECT_EQ(LenientInt("x1f"), 31);
  EXPECT_EQ(LenientInt("0x1F"), 31);
  EXPECT_EQ(LenientInt("0XfF"), 255);
  EXPECT_EQ(LenientInt("-$10"), -16);
  EXPECT_EQ(LenientInt("  $FF9C"), 0xFF9C);
}

TEST(LenientInt, StopsAtTheFirstCharacterThatDoesNotFit) {
  EXPECT_EQ(LenientInt("12abc"), 12);
  EXPECT_EQ(LenientInt("12.9"), 12);
  EXPECT_EQ(LenientInt("7 8"), 7);
  EXPECT_EQ(LenientInt("$1G"), 1);
}

TEST(LenientInt, NoDigitsGivesZero) {
  EXPECT_EQ(LenientInt(""), 0);
  EXPECT_EQ(LenientInt("   "), 0);
  EXPECT_EQ(LenientInt("-"), 0);
  EXPECT_EQ(LenientInt("abc"), 0);
  EXPECT_EQ(LenientInt("$"), 0);
  EXPECT_EQ(LenientInt("0x"), 0);
  EXPECT_EQ(LenientInt("x"), 0);
}

TEST(LenientInt, BeyondThirtyTwoBitsSaturates) {
  EXPECT_EQ(LenientInt("2147483647"), INT32_MAX);
  EXPECT_EQ(LenientInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(LenientInt("99999999999999999999999"), INT32_MAX);
  EXPECT_EQ(LenientInt("-99999999999999999999999"), INT32_MIN);
  EXPECT_EQ(LenientInt("$FFFFFFFFFFFFFFFFFFFF"), INT32_MAX);
}

TEST(StrictFloat, AcceptsTheNumberSyntax) {
  EXPECT_DOUBLE_EQ(StrictFloat("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(StrictFloat("  -2.25  "), -2.25);
  EXPECT_DOUBLE_EQ(StrictFloat("+3"), 3.0);
  EXPECT_DOUBLE_EQ(StrictFloat(".5"), 0.5);
  EXPECT_DOUBLE_EQ(StrictFloat("5."), 5.0);
  EXPECT_DOUBLE_EQ(StrictFloat("1E3"), 1000.0);
  EXPECT_DOUBLE_EQ(StrictFloat("1.5e-2"), 0.015);
  EXPECT_DOUBLE_EQ(StrictFloat("2e+2"), 200.0);
}

TEST(StrictFloat, UsesTheGivenDecimalSeparator) {
  EXPECT_DOUBLE_EQ(StrictFloat("1,5", ','), 1.5);
  EXPECT_THROW(StrictFloat("1.5", ','), ConvertError);
}

TEST(StrictFloat, RejectsEverythingElseWithTheMessage) {
  for (const char* bad : {"", " ", "abc", "1.2.3", "1,5", "--1", "1e", "e5", "1 2", "12abc", ".", "+", "0x10", "1e5x"}) {
    try {
      StrictFloat(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const ConvertError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid floating point value");
    }
  }
}

TEST(StrictFloat, OverflowIsRejectedUnderflowReadsAsZero) {
  EXPECT_THROW(StrictFloat("1e999"), ConvertError);
  EXPECT_EQ(StrictFloat("1e-999"), 0.0);
}

TEST(InvalidFloatMessage, Text) {
  EXPECT_EQ(InvalidFloatMessage("x y"), "'x y' is not a valid floating point value");
}

TEST(LenientFloat, LongestLeadingNumberOrZero) {
  EXPECT_DOUBLE_EQ(LenientFloat("1.25"), 1.25);
  EXPECT_DOUBLE_EQ(LenientFloat(" 3.5abc"), 3.5);
  EXPECT_DOUBLE_EQ(LenientFloat("2e"), 2.0);
  EXPECT_DOUBLE_EQ(LenientFloat("1,5"), 1.0);  // "." is always the point here
  EXPECT_EQ(LenientFloat(""), 0.0);
  EXPECT_EQ(LenientFloat("abc"), 0.0);
  EXPECT_EQ(LenientFloat("1e999"), 0.0);
}

TEST(StrictInt, WholeNumbersOnly) {
  std::int32_t v = 99;
  EXPECT_TRUE(StrictInt(" -12", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(StrictInt("2147483647", v));
  EXPECT_EQ(v, INT32_MAX);
  v = 99;
  for (const char* bad : {"", "-", "12a", "1.0", "2147483648", "99999999999999999999", "$10", "1 "}) {
    EXPECT_FALSE(StrictInt(bad, v)) << bad;
  }
  EXPECT_EQ(v, 99);
}

TEST(Format83, FixedThreeDecimalsPaddedToEight) {
  EXPECT_EQ(Format83(25), "  25.000");
  EXPECT_EQ(Format83(-1.5), "  -1.500");
  EXPECT_EQ(Format83(12345.678), "12345.678");
  EXPECT_EQ(Format83(0), "   0.000");
  EXPECT_EQ(Format83(0.0005), "   0.001");  // rounds to nearest (0.0005 is just above in binary)
  EXPECT_EQ(Format83(1.5, ','), "   1,500");
}

TEST(Format63, SixWide) {
  EXPECT_EQ(Format63(0.1), " 0.100");
  EXPECT_EQ(Format63(12.5), "12.500");
  EXPECT_EQ(Format63(123.25), "123.250");
}

TEST(FormatGeneral15, WidenedFloatsKeepFifteenDigits) {
  EXPECT_EQ(FormatGeneral15(static_cast<double>(0.1f)), "0.100000001490116");
  EXPECT_EQ(FormatGeneral15(static_cast<double>(0.01f)), "0.00999999977648258");
}

TEST(FormatGeneral15, ShortestPlainForm) {
  EXPECT_EQ(FormatGeneral15(1), "1");
  EXPECT_EQ(FormatGeneral15(75), "75");
  EXPECT_EQ(FormatGeneral15(1.3), "1.3");
  EXPECT_EQ(FormatGeneral15(-2.5), "-2.5");
  EXPECT_EQ(FormatGeneral15(0), "0");
  EXPECT_EQ(FormatGeneral15(0.00001), "0.00001");
}

TEST(FormatGeneral15, ScientificForTinyAndHugeValues) {
  EXPECT_EQ(FormatGeneral15(0.000001), "1E-6");
  EXPECT_EQ(FormatGeneral15(1.5e-7), "1.5E-7");
  EXPECT_EQ(FormatGeneral15(1e15), "1E15");
  EXPECT_EQ(FormatGeneral15(123456789012345.0), "123456789012345");
  EXPECT_EQ(FormatGeneral15(-2e20), "-2E20");
}

TEST(FormatGeneral15, NotANumberAndInfinity) {
  EXPECT_EQ(FormatGeneral15(NAN), "NAN");
  EXPECT_EQ(FormatGeneral15(INFINITY), "INF");
  EXPECT_EQ(FormatGeneral15(-INFINITY), "-INF");
}

TEST(Format83, NotANumberDoesNotCrash) {
  EXPECT_FALSE(Format83(NAN).empty());
  EXPECT_FALSE(Format83(INFINITY).empty());
  EXPECT_EQ(Format83(1e300).size(), 305u);  // 301 integer digits, point, 3 decimals
}

}  // namespace
}  // namespace korvane
