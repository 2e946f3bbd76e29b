// The frame monitor's core: the ring keeps the latest frames in bounded
// memory, and each frame is decoded into words.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "link/FrameDecode.h"
#include "link/FrameRing.h"
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
        Case{false, TX, ":010300000014E8\r\n", "slave 1 read holding registers start 0 count 20, LRC good"},
        Case{false, RX, ":0183027A\r\n", "slave 1 read holding registers exception EC2 Illegal Data Address, LRC good"},
        Case{false, RX, ":0183027B\r\n", "slave 1 read holding registers exception EC2 Illegal Data Address, LRC bad"},
        Case{false, RX, "\r\n", "no frame start"}));

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
  FrameRecord r;
  r.WallMs = 1'700'000'000'042;
  r.Text = true;
  r.Bytes = "Open Port";
  const std::string line = FrameLine(r);
  EXPECT_EQ(line.substr(8), ".042  TX  4F 70 65 6E 20 50 6F 72 74  text \"Open Port\"");
}

}  // namespace
}  // namespace korvane
