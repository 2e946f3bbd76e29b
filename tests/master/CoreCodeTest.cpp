// CRC-16, LRC and hex digits.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "master/CoreCode.h"
#include "support/TestSupport.h"

namespace korvane {
namespace {

using test::FromHex;

TEST(CrcTables, BeginAsPublished) {
  const std::vector<int> high{0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41};
  const std::vector<int> low{0x00, 0xC0, 0xC1, 0x01, 0xC3, 0x03, 0x02, 0xC2};
  for (std::size_t i = 0; i < high.size(); ++i) {
    EXPECT_EQ(CrcHighTable()[i], high[i]) << i;
    EXPECT_EQ(CrcLowTable()[i], low[i]) << i;
  }
  // The last entries of the published tables.
  EXPECT_EQ(CrcHighTable()[255], 0x40);
  EXPECT_EQ(CrcLowTable()[255], 0x40);
  EXPECT_EQ(CrcLowTable()[254], 0x80);
}

TEST(Crc16, ReadRequestVector) {
  EXPECT_EQ(CRC16(FromHex("01 03 00 00 00 14"), 6), 0x45C5);
}

TEST(Crc16, KnownFramesFromTheWire) {
  EXPECT_EQ(CRC16(FromHex("01 06 00 19 00 FA"), 6), 0xD84E);
  EXPECT_EQ(CRC16(FromHex("01 06 00 19 FF 9C"), 6), 0x1994);
  EXPECT_EQ(CRC16(FromHex("01 83 02"), 3), 0xC0F1);
}

TEST(Crc16, NoBytesGivesFFFF) {
  EXPECT_EQ(CRC16(std::string_view(), 0), 0xFFFF);
  EXPECT_EQ(CRC16(FromHex("01 03"), 0), 0xFFFF);
}

TEST(Crc16, CountsOnlyTheFirstNBytes) {
  EXPECT_EQ(CRC16(FromHex("01 03 00 00 00 14 99 99"), 6), 0x45C5);
}

TEST(Crc16, LengthOutsideTheDataIsClamped) {
  std::string data = FromHex("01 03 00 00 00 14");
  EXPECT_EQ(CRC16(data, 1000), 0x45C5);
  EXPECT_EQ(CRC16(data, -5), 0xFFFF);
  EXPECT_EQ(CRC16(data, INT32_MIN), 0xFFFF);
}

TEST(Crc16, ByteSpanAndTextAgree) {
  std::string data = FromHex("11 22 FF 00 80");
  std::vector<std::uint8_t> bytes(data.begin(), data.end());
  EXPECT_EQ(CRC16(bytes, 5), CRC16(data, 5));
}

TEST(Crc16, AFrameWithItsCrcChecksToZeroResidue) {
  // A frame followed by its CRC as sent leaves a zero remainder.
  EXPECT_EQ(CRC16(FromHex("01 03 00 00 00 14 45 C5"), 8), 0);
}

TEST(Lrc, ReadRequestVector) {
  EXPECT_EQ(Lrc(FromHex("01 03 00 00 00 14")), 0xE8);
}

TEST(Lrc, TwosComplementOfTheByteSum) {
  EXPECT_EQ(Lrc(""), 0);
  EXPECT_EQ(Lrc(FromHex("01 06 00 19 00 FA")), 0xE6);
  EXPECT_EQ(Lrc(FromHex("01 06 00 19 FF 9C")), 0x45);
  EXPECT_EQ(Lrc(FromHex("80 80")), 0);       // sum wraps to 0
  EXPECT_EQ(Lrc(FromHex("FF FF FF")), 0x03);  // 0x2FD mod 256 = 0xFD
}

TEST(GetAsciiValue, UpperCaseHexDigits) {
  EXPECT_EQ(GetAsciiValue('0'), 0);
  EXPECT_EQ(GetAsciiValue('9'), 9);
  EXPECT_EQ(GetAsciiValue('A'), 10);
  EXPECT_EQ(GetAsciiValue('F'), 15);
}

TEST(GetAsciiValue, AnythingElseIsZero) {
  for (int c : std::initializer_list<int>{'a', 'f', 'G', 'g', ':', '/', '@', ' ', 0, 255, -1, 1000, INT32_MIN}) {
    EXPECT_EQ(GetAsciiValue(c), 0) << c;
  }
}

}  // namespace
}  // namespace korvane
