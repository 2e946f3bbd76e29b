// The Windows device's pure parts: the device path of a COM name (also what
// the COM-name map answers there), the block laid over the system's DCB
// bit-fields, and the time-outs of a wait for input.
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>

#include "ports/ComNameMap.h"
#include "serial/Win32SerialDevice.h"

namespace korvane {
namespace {

TEST(Win32Names, ComNamesOpenThemselvesAndOtherTextsNothing) {
  EXPECT_EQ(DevicePathOf("COM1"), "\\\\.\\COM1");
  EXPECT_EQ(DevicePathOf("COM99"), "\\\\.\\COM99");
  for (const char* other : {"", "com3", "COM0", "COM100", "COM03", "LPT1"}) {
    EXPECT_EQ(DevicePathOf(other), "") << other;
  }
}

TEST(Win32WaitTimeouts, IntervalIsTheGapTotalTheTimeOutInWholeMillisecondsWritesKept) {
  const COMMTIMEOUTS configured{MAXDWORD, 0, 0, 100, 1000};
  struct Case {
    std::chrono::microseconds timeout, gap;
    DWORD interval, total;
  };
  const Case cases[] = {
      {std::chrono::milliseconds(50), std::chrono::microseconds(3646), 4, 10},  // a write waits for it
      {std::chrono::milliseconds(9), std::chrono::microseconds(3646), 4, 9},
      {std::chrono::microseconds(1500), std::chrono::microseconds(1000), 1, 2},
      {std::chrono::microseconds(0), std::chrono::microseconds(200), 1, 1},  // never all zeros
  };
  for (const Case& c : cases) {
    const COMMTIMEOUTS t = WaitTimeouts(configured, c.timeout, c.gap);
    EXPECT_EQ(t.ReadIntervalTimeout, c.interval);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, c.total);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
  }
}

TEST(Win32Names, TheMapNamesThePortAndMapsNothing) {
  const ComNameMap map = ComNameMap::UserDefault();
  EXPECT_EQ(map.DevicePath("COM3"), "\\\\.\\COM3");
  EXPECT_FALSE(map.IsMapped("COM3"));
  std::string error;
  EXPECT_FALSE(ComNameMap("ports").Add("COM3", "x", &error));
  EXPECT_EQ(error, "COM3 cannot be mapped to a device: on Windows it opens the port itself");
}

struct FlagCase {
  std::uint32_t flags;
  unsigned binary, outxCts, dtr, outX, inX, rts;
};
void PrintTo(const FlagCase& c, std::ostream* os) { *os << std::hex << c.flags; }

class Win32Flags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(Win32Flags, FlagWordLandsOnTheBitFields) {
  const FlagCase& c = GetParam();
  Dcb block;
  block.Flags = c.flags;
  const DCB out = ToWindowsDcb(block);
  EXPECT_EQ(out.fBinary, c.binary);
  EXPECT_EQ(out.fOutxCtsFlow, c.outxCts);
  EXPECT_EQ(out.fDtrControl, c.dtr);
  EXPECT_EQ(out.fOutX, c.outX);
  EXPECT_EQ(out.fInX, c.inX);
  EXPECT_EQ(out.fRtsControl, c.rts);
  EXPECT_EQ(out.fParity, 0u);
}

// The component's words: defaults, DTR off with RTS on, RTS/CTS hand-shake
// (its "enable" and "hand-shake" bits together read as RTS toggle), and
// XON/XOFF on both sides.
INSTANTIATE_TEST_SUITE_P(ComponentWords, Win32Flags,
                         ::testing::Values(FlagCase{0x1011, 1, 0, 1, 0, 0, 1},
                                           FlagCase{0x1001, 1, 0, 0, 0, 0, 1},
                                           FlagCase{0x3015, 1, 1, 1, 0, 0, 3},
                                           FlagCase{0x3311, 1, 0, 1, 1, 1, 3}));

TEST(Win32Block, FieldsCopyInOrderAndTheLengthIsTheSystems) {
  Dcb block;
  block.DCBlength = 0;
  block.BaudRate = 31250;
  block.XonLim = 2048;
  block.XoffLim = 512;
  block.ByteSize = 7;
  block.Parity = 2;
  block.StopBits = 2;
  block.XonChar = 0x11;
  block.XoffChar = 0x13;
  const DCB out = ToWindowsDcb(block);
  EXPECT_EQ(out.DCBlength, sizeof(DCB));
  EXPECT_EQ(out.BaudRate, 31250u);
  EXPECT_EQ(out.XonLim, 2048);
  EXPECT_EQ(out.XoffLim, 512);
  EXPECT_EQ(out.ByteSize, 7);
  EXPECT_EQ(out.Parity, EVENPARITY);
  EXPECT_EQ(out.StopBits, TWOSTOPBITS);
  EXPECT_EQ(out.XonChar, 0x11);
  EXPECT_EQ(out.XoffChar, 0x13);
}

}  // namespace
}  // namespace korvane
