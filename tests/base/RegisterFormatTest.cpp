// Register words <-> numbers, per format and wire byte order. Every row is
// given as the bytes on the wire, never through a library's order names.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "base/RegisterFormat.h"

namespace korvane {
namespace {

struct WireRow {
  const char* Format;              // as a preset writes it
  std::vector<std::uint8_t> Wire;  // register bytes in the order they travel
  double Number;
};

std::array<std::uint16_t, 2> Words(const std::vector<std::uint8_t>& wire) {
  std::array<std::uint16_t, 2> words{};
  for (std::size_t i = 0; i + 1 < wire.size(); i += 2) words[i / 2] = static_cast<std::uint16_t>(wire[i] << 8 | wire[i + 1]);
  return words;
}

TEST(RegisterFormat, WordsAndNumbersBothWays) {
  const std::vector<WireRow> rows = {
      {"s16", {0xFF, 0xF6}, -10},
      {"u16", {0xFF, 0xF6}, 65526},
      {"u16", {0x9C, 0x40}, 40000},
      {"f32", {0x47, 0xF1, 0x20, 0x00}, 123456.0},
      {"f32-ABCD", {0x47, 0xF1, 0x20, 0x00}, 123456.0},
      {"f32-CDAB", {0x20, 0x00, 0x47, 0xF1}, 123456.0},
      {"f32-BADC", {0xF1, 0x47, 0x00, 0x20}, 123456.0},
      {"f32-DCBA", {0x00, 0x20, 0xF1, 0x47}, 123456.0},
      {"f32", {0x42, 0xF7, 0x00, 0x00}, 123.5},
      {"s32", {0xFF, 0xFE, 0xEE, 0x90}, -70000},
      {"s32-CDAB", {0xEE, 0x90, 0xFF, 0xFE}, -70000},
      {"s32-BADC", {0xFE, 0xFF, 0x90, 0xEE}, -70000},
      {"s32-DCBA", {0x90, 0xEE, 0xFE, 0xFF}, -70000},
      {"u32-CDAB", {0xEE, 0x90, 0xFF, 0xFE}, 4294897296.0},
      {"u32", {0x00, 0x01, 0x00, 0x00}, 65536},
      // The low end of each integer range is carried too.
      {"s16", {0x80, 0x00}, -32768},
      {"u16", {0x00, 0x00}, 0},
      {"s32", {0x80, 0x00, 0x00, 0x00}, -2147483648.0},
      {"u32", {0x00, 0x00, 0x00, 0x00}, 0},
  };
  for (const WireRow& row : rows) {
    SCOPED_TRACE(row.Format);
    const std::optional<RegisterLayout> layout = ParseFormatText(row.Format);
    ASSERT_TRUE(layout);
    EXPECT_EQ(DecodeRegisters(layout->Format, layout->Order, Words(row.Wire)), row.Number);
    const auto words = EncodeRegisters(layout->Format, layout->Order, row.Number);
    ASSERT_TRUE(words);
    EXPECT_EQ(*words, Words(row.Wire));
  }
}

TEST(RegisterFormat, NumbersAFormatCannotCarry) {
  const std::vector<std::pair<const char*, double>> rows = {
      {"s16", 32768}, {"s16", -32769}, {"u16", -1}, {"u16", 65536}, {"s32", 2147483648.0},
      {"u32", -1}, {"u32", 4294967296.0}, {"s32", 1.5}, {"f32", 1e39}, {"f32", INFINITY}, {"f32", NAN},
  };
  for (const auto& [format, number] : rows) {
    SCOPED_TRACE(format);
    const auto layout = ParseFormatText(format);
    ASSERT_TRUE(layout);
    EXPECT_FALSE(EncodeRegisters(layout->Format, layout->Order, number)) << number;
  }
}

TEST(RegisterFormat, TextsThatNameNoFormat) {
  for (const char* text : {"", "s8", "S16", "f64", "s16-CDAB", "f32-", "f32-abcd", "f32-ACBD", "f32 CDAB", "f32-CDABX"}) {
    EXPECT_FALSE(ParseFormatText(text)) << text;
  }
}

}  // namespace
}  // namespace korvane
