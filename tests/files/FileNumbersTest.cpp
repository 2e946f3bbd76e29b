#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "base/Convert.h"
#include "files/FileNumbers.h"

namespace korvane {
namespace {

std::string Printf83(float value) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%8.3f", static_cast<double>(value));
  return buf;
}

TEST(FileDecimalSeparator, CommaBecomesPointOthersStay) {
  EXPECT_EQ(FileDecimalSeparator(','), '.');
  EXPECT_EQ(FileDecimalSeparator('.'), '.');
  EXPECT_EQ(FileDecimalSeparator('\''), '\'');
}

TEST(Fixed83, MatchesPrintfOnChosenValues) {
  const float values[] = {0.0f, -0.0f, -1.5f, 12345.678f, 74.2f, 0.0625f, 0.1875f, -0.0625f, 2.0005f,
                          0.0005f, -0.0004f, 999.9995f, 1e7f, 123456789.0f, 9.99999e14f, 1e15f, -1e15f,
                          3.4028235e38f, -3.4028235e38f, 1e-45f, INFINITY, -INFINITY, NAN, -NAN};
  for (float v : values) EXPECT_EQ(Fixed83(v, '.'), Printf83(v)) << v;
  EXPECT_EQ(Fixed83(-1.5f, '.'), "  -1.500");
  EXPECT_EQ(Fixed83(12345.678f, '.'), "12345.678");
  EXPECT_EQ(Fixed83(1.5f, '\''), "   1'500");
}

TEST(Fixed83, MatchesPrintfAndFormat83OnRandomFloats) {
  std::mt19937 rng(83);
  std::uniform_real_distribution<float> ordinary(-20000.0f, 20000.0f);
  for (int i = 0; i < 200000; ++i) {
    float v;
    if (i % 2 == 0) {
      v = ordinary(rng);
    } else {
      const auto bits = static_cast<std::uint32_t>(rng());
      std::memcpy(&v, &bits, sizeof v);
    }
    const std::string mine = Fixed83(v, '.');
    ASSERT_EQ(mine, Printf83(v)) << "bits of the value differ";
    if (!std::isnan(v)) {
      ASSERT_EQ(mine, Format83(v)) << v;
    }
  }
}

// The fast reading must accept and read exactly what StrictFloat does.
void ExpectSameAsStrictFloat(const std::string& text, char sep) {
  std::optional<double> expected;
  try {
    expected = StrictFloat(text, sep);
  } catch (const ConvertError&) {
  }
  const std::optional<double> mine = ParseFileFloat(text, sep);
  ASSERT_EQ(mine.has_value(), expected.has_value()) << "'" << text << "'";
  if (mine) {
    ASSERT_EQ(std::memcmp(&*mine, &*expected, sizeof(double)), 0) << "'" << text << "'";
  }
}

TEST(ParseFileFloat, AgreesWithStrictFloatOnTrickyFields) {
  const char* texts[] = {"", " ", "0", "-0", "+0", "5", "5.", ".5", ".", "-.", "+-1", "--1", " 1 ", "\t1\t",
                         "1 2", "1,5", "1e", "1e+", "1e-", "1E5", "1e-5", "-1.5e+3 ", "1.2.3", "1.5e3.2",
                         "  75.000", "74.200", "31.5", "1e400", "-1e400", "1e-400", "-1e-400", "0x10", "inf",
                         "nan", "1e-310", "0.000000000000000000000000000000000000000000000000000000000000001",
                         "123456789012345678901234567890123456789012345678901234567890.5e-2", "1e0000000000000000000000000000000000000000000000000000000000000000005",
                         "1 e5", "e5", "Time", "12345.678", "1\n", "\x01"};
  for (const char* text : texts) {
    for (char sep : {'.', ','}) ExpectSameAsStrictFloat(text, sep);
  }
}

TEST(ParseFileFloat, AgreesWithStrictFloatOnRandomTexts) {
  std::mt19937 rng(5);
  const std::string alphabet = " \t+-0123456789..,eE9x";
  for (int i = 0; i < 100000; ++i) {
    std::string text(rng() % 12, ' ');
    for (char& c : text) c = alphabet[rng() % alphabet.size()];
    ExpectSameAsStrictFloat(text, i % 3 == 0 ? ',' : '.');
  }
}

}  // namespace
}  // namespace korvane
