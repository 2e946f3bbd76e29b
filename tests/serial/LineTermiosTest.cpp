// The mapping of the device-control block onto terminal settings.
#include <gtest/gtest.h>
#include <termios.h>

#include "serial/LineTermios.h"

namespace korvane {
namespace {

// BOTHER of <asm/termbits.h>, which cannot be included beside <termios.h>.
constexpr std::uint32_t kBother = 0x1000;

Dcb Block(std::uint32_t flags, std::uint32_t baud = 9600, std::uint8_t bits = 8,
          std::uint8_t parity = 0, std::uint8_t stop = 0) {
  Dcb block;
  block.Flags = flags;
  block.BaudRate = baud;
  block.ByteSize = bits;
  block.Parity = parity;
  block.StopBits = stop;
  return block;
}

TEST(LineTermios, DefaultsRaiseBothLinesWithoutFlowControl) {
  LineTermios t = TermiosFromDcb(Block(0x1011));
  ASSERT_TRUE(t.Valid);
  EXPECT_TRUE(t.RaiseDtr);
  EXPECT_TRUE(t.RaiseRts);
  EXPECT_EQ(t.ControlFlags, static_cast<std::uint32_t>(CS8));
  EXPECT_EQ(t.InputFlags, 0u);
  EXPECT_EQ(t.SpeedCode, static_cast<std::uint32_t>(B9600));
}

TEST(LineTermios, DtrOffKeepsRtsRaised) {
  LineTermios t = TermiosFromDcb(Block(0x1001));
  EXPECT_FALSE(t.RaiseDtr);
  EXPECT_TRUE(t.RaiseRts);
}

TEST(LineTermios, BinaryFlagAloneLowersBothLines) {
  LineTermios t = TermiosFromDcb(Block(0x0001));
  EXPECT_FALSE(t.RaiseDtr);
  EXPECT_FALSE(t.RaiseRts);
}

TEST(LineTermios, RtsCtsHandshakeSelectsCrtscts) {
  LineTermios t = TermiosFromDcb(Block(0x3015));
  EXPECT_NE(t.ControlFlags & CRTSCTS, 0u);
  EXPECT_TRUE(t.RaiseRts);
  EXPECT_TRUE(t.RaiseDtr);
}

TEST(LineTermios, RtsFlowWithoutCtsIsNoHandshake) {
  LineTermios t = TermiosFromDcb(Block(0x1001));
  EXPECT_EQ(t.ControlFlags & CRTSCTS, 0u);
}

TEST(LineTermios, XonXoffSelectsBothDirections) {
  LineTermios t = TermiosFromDcb(Block(0x0301));
  EXPECT_EQ(t.InputFlags, static_cast<std::uint32_t>(IXON | IXOFF));
}

TEST(LineTermios, DataBitsParityAndStopBits) {
  EXPECT_EQ(TermiosFromDcb(Block(1, 9600, 5)).ControlFlags, static_cast<std::uint32_t>(CS5));
  EXPECT_EQ(TermiosFromDcb(Block(1, 9600, 7, 2)).ControlFlags,
            static_cast<std::uint32_t>(CS7 | PARENB));
  EXPECT_EQ(TermiosFromDcb(Block(1, 9600, 7, 1)).ControlFlags,
            static_cast<std::uint32_t>(CS7 | PARENB | PARODD));
  EXPECT_EQ(TermiosFromDcb(Block(1, 9600, 8, 3)).ControlFlags,
            static_cast<std::uint32_t>(CS8 | PARENB | PARODD | CMSPAR));
  EXPECT_EQ(TermiosFromDcb(Block(1, 9600, 8, 4)).ControlFlags,
            static_cast<std::uint32_t>(CS8 | PARENB | CMSPAR));
  EXPECT_EQ(TermiosFromDcb(Block(1, 9600, 8, 0, 2)).ControlFlags,
            static_cast<std::uint32_t>(CS8 | CSTOPB));
  EXPECT_EQ(TermiosFromDcb(Block(1, 9600, 5, 0, 1)).ControlFlags,
            static_cast<std::uint32_t>(CS5 | CSTOPB));
}

TEST(LineTermios, NonStandardRatesGoAsNumbers) {
  for (std::uint32_t rate : {31250u, 250000u, 128000u, 14400u}) {
    LineTermios t = TermiosFromDcb(Block(1, rate));
    ASSERT_TRUE(t.Valid);
    EXPECT_EQ(t.SpeedCode, kBother) << rate;
    EXPECT_EQ(t.Speed, rate);
  }
  EXPECT_EQ(TermiosFromDcb(Block(1, 115200)).SpeedCode, static_cast<std::uint32_t>(B115200));
}

TEST(LineTermios, UnusableBlocksAreRefused) {
  EXPECT_FALSE(TermiosFromDcb(Block(1, 0)).Valid);  // rate 0 would hang the line up
  EXPECT_FALSE(TermiosFromDcb(Block(1, 9600, 4)).Valid);
  EXPECT_FALSE(TermiosFromDcb(Block(1, 9600, 9)).Valid);
  EXPECT_FALSE(TermiosFromDcb(Block(1, 9600, 8, 5)).Valid);
  EXPECT_FALSE(TermiosFromDcb(Block(1, 9600, 8, 0, 3)).Valid);
}

}  // namespace
}  // namespace korvane
