// The frame monitor's core: the ring keeps the latest frames in bounded
// memory, and each frame is decoded into words.
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <ostream>
#include <string>

#include "link/FrameDecode.h"
#include "link/FrameRing.h"
#include "master/MasterCode.h"
#include "support/TestSupport.h"

namespace korvane {
namespace {

using test::FromHex;

struct Case {
  bool rtu;
  FrameDirection direction;
  std::string bytes;  // hex for RTU, text for ASCII
  std::string meaning;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.meaning; }

class DescribeFrameTest : public ::testing::TestWithParam<Case> {};

TEST_P(DescribeFrameTest, GivesTheFramesMeaning) {
  const Case& c = GetParam();
  FrameRecord r;
  r.Rtu = c.rtu;
  r.Direction = c.direction;
  r.Bytes = c.rtu ? FromHex(c.bytes) : c.bytes;
  EXPECT_EQ(DescribeFrame(r), c.meaning);
}

constexpr auto TX = FrameDirection::Sent;
constexpr auto RX = FrameDirection::Received;

INSTANTIATE_TEST_SUITE_P(
    Frames, DescribeFrameTest,
    ::testing::Values(
        Case{true, TX, "01 03 00 00 00 14 45 C5", "slave 1 read holding registers start 0 count 20, CRC good"},
        Case{true, TX, "01 03 00 00 00 14 45 C6", "slave 1 read holding registers start 0 count 20, CRC bad"},
        Case{true, TX, "01 06 00 19 00 C8 59 9B", "slave 1 write register address 25 value 200, CRC good"},
        Case{true, RX, "01 03 04 00 FA FF F6 1B B4", "slave 1 read holding registers reply, 4 bytes: 250 65526, CRC good"},
        Case{true, RX, "01 83 02 C0 F1", "slave 1 read holding registers exception EC2 Illegal Data Address, CRC good"},
        Case{true, RX, "01 83 02 C0 F1 00 FF", "slave 1 read holding registers exception EC2 Illegal Data Address, CRC good, 2 more bytes"},
        Case{true, RX, "01 03 28 00", "incomplete frame, 4 bytes"},
        Case{true, TX, "01 04 10 00 00 04 F5 09", "slave 1 read input registers start 4096 count 4, CRC good"},
        Case{true, RX, "01 04 08 00 00 41 A0 00 00 00 00 AB 05",
             "slave 1 read input registers reply, 8 bytes: 0 16800 0 0, CRC good"},
        Case{true, TX, "01 10 0B B8 00 02 04 00 00 42 F7 FB 6B",
             "slave 1 write registers start 3000 count 2 values 0 17143, CRC good"},
        Case{true, RX, "01 10 0B B8 00 02 C3 C9", "slave 1 write registers start 3000 count 2, CRC good"},
        Case{false, TX, ":010300000014E8\r\n", "slave 1 read holding registers start 0 count 20, LRC good"},
        Case{false, RX, ":0183027A\r\n", "slave 1 read holding registers exception EC2 Illegal Data Address, LRC good"},
        Case{false, RX, ":0183027B\r\n", "slave 1 read holding registers exception EC2 Illegal Data Address, LRC bad"},
        Case{false, RX, "\r\n", "no frame start"}));

// A received record carries the check result that ended it; a late reply
// and an over-long one say so, a checksum error is told by the CRC alone.
struct ResultCase {
  bool rtu;
  std::string bytes;  // hex for RTU, text for ASCII
  std::int32_t result;
  std::string meaning;
};

void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.meaning; }

class DescribeResultTest : public ::testing::TestWithParam<ResultCase> {};

TEST_P(DescribeResultTest, NamesHowTheReplyEnded) {
  const ResultCase& c = GetParam();
  FrameRecord r;
  r.Rtu = c.rtu;
  r.Direction = RX;
  r.Bytes = c.rtu ? FromHex(c.bytes) : c.bytes;
  r.Result = c.result;
  EXPECT_EQ(DescribeFrame(r), c.meaning);
}

INSTANTIATE_TEST_SUITE_P(
    Results, DescribeResultTest,
    ::testing::Values(
        ResultCase{true, "01 03 04 00 FA FF F6 1B B4", DataOk, "slave 1 read holding registers reply, 4 bytes: 250 65526, CRC good"},
        ResultCase{true, "01 03 04 00 FA FF F6 1B B4", TimeOut, "slave 1 read holding registers reply, 4 bytes: 250 65526, CRC good (after the response time)"},
        ResultCase{true, "01 03 04 00 FA FF F6 1B B5", ChecksumError, "slave 1 read holding registers reply, 4 bytes: 250 65526, CRC bad"},
        ResultCase{true, "01 03 28 00", TimeOut, "incomplete frame, 4 bytes (after the response time)"},
        ResultCase{true, "01 03 28 00", PacketTooLong, "incomplete frame, 4 bytes (packet too long)"},
        ResultCase{false, ":0183027B\r\n", ChecksumError, "slave 1 read holding registers exception EC2 Illegal Data Address, LRC bad"},
        ResultCase{false, "\r\n", TimeOut, "no frame start (after the response time)"}));

TEST(FrameRing, StaysBoundedOverAMillionFrames) {
  FrameRing ring(1000);
  FrameRecord r;
  for (int i = 0; i < 1'000'000; ++i) {
    r.WallMs = i;
    r.Bytes = std::to_string(i);
    ring.Push(r);
  }
  ASSERT_EQ(ring.Size(), 1000u);
  EXPECT_EQ(ring.Capacity(), 1000u);
  EXPECT_EQ(ring.Pushed(), 1'000'000u);
  EXPECT_EQ(ring.At(0).Bytes, "999000");
  EXPECT_EQ(ring.At(999).Bytes, "999999");
  r.Bytes.assign(5000, 'x');  // an over-long frame keeps its start only
  ring.Push(r);
  EXPECT_EQ(ring.At(999).Bytes.size(), FrameRing::kMaxFrameBytes);
  ring.Clear();
  EXPECT_EQ(ring.Size(), 0u);
}

TEST(FrameLine, StampsDirectionHexAndMeaning) {
  // 10:42:07 local time on a winter day, whatever the machine's time zone.
  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mday = 15;
  local.tm_hour = 10;
  local.tm_min = 42;
  local.tm_sec = 7;
  local.tm_isdst = -1;
  FrameRecord r;
  r.WallMs = std::int64_t{std::mktime(&local)} * 1000 + 42;
  r.Text = true;
  r.Bytes = "Open Port";
  EXPECT_EQ(FrameLine(r), "10:42:07.042  TX  4F 70 65 6E 20 50 6F 72 74  text \"Open Port\"");
}

}  // namespace
}  // namespace korvane
