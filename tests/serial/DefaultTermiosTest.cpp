// The component's own line set-up on a pseudo-terminal that nobody put in
// raw mode: the side the component opens keeps the kernel's defaults (line
// editing, echo, CR to LF, XON/XOFF, signal characters) until the component
// applies its settings, as a UART would.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"
#include "serial/LineTermios.h"
#include "serial/PosixSerialDevice.h"
#include "serial/QueueDispatcher.h"
#include "support/TestSupport.h"
#include "SerialTestSupport.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

class DefaultTermiosTest : public ::testing::Test {
 protected:
  DefaultTermiosTest() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw std::runtime_error("no pty");
    if (!map_.Add("COM5", ::ptsname(master_))) throw std::runtime_error("cannot map COM5");
    port_.SetPort(spCOM5);
    events_.Attach(port_);
  }
  ~DefaultTermiosTest() override {
    port_.Close();
    ::close(master_);
  }

  // Everything the far end receives until `count` bytes came, then whatever
  // follows within a short grace (an echo or an added CR would show there).
  std::string FarEndReads(std::size_t count) {
    std::string all;
    const auto end = std::chrono::steady_clock::now() + 3s;
    for (;;) {
      const bool enough = all.size() >= count;
      if (!enough && std::chrono::steady_clock::now() >= end) return all;
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, enough ? 100 : 50) <= 0) {
        if (enough) return all;
        continue;
      }
      char buf[512];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) return all;
      all.append(buf, static_cast<std::size_t>(n));
    }
  }

  termios FarEndTermios() const {
    termios t{};
    if (::tcgetattr(master_, &t) != 0) ADD_FAILURE() << "tcgetattr on the master failed";
    return t;
  }

  static std::string AllByteValues() {
    std::string bytes(256, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
    return bytes;
  }

  int master_ = -1;
  test::TempDir dir_;
  ComNameMap map_{dir_.Path() + "/ports"};
  QueueDispatcher main_;
  test::EventLog events_;
  TSerialPort port_{main_, MappedSerialDeviceOpener(map_)};
};

TEST_F(DefaultTermiosTest, EveryByteValuePassesUnchangedInBothDirections) {
  // The side the component is about to open still edits lines and maps CR.
  const termios before = FarEndTermios();
  ASSERT_NE(before.c_iflag & ICRNL, 0u);
  ASSERT_NE(before.c_lflag & (ICANON | ECHO), 0u);
  ASSERT_NE(before.c_oflag & OPOST, 0u);

  port_.Open();
  const std::string bytes = AllByteValues();  // CR, LF, XON, XOFF, ^C, ^D, ^V, DEL, 0xFF ...
  ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_TRUE(main_.PumpUntil([&] { return events_.ReceivedAll().size() >= bytes.size(); }, 3000ms))
      << test::ToHex(events_.ReceivedAll());
  main_.PumpFor(100ms);
  EXPECT_EQ(test::ToHex(events_.ReceivedAll()), test::ToHex(bytes));
  EXPECT_EQ(FarEndReads(0), "") << "echoed back";

  EXPECT_EQ(port_.WriteBuffer(bytes.data(), bytes.size()), bytes.size());
  EXPECT_EQ(test::ToHex(FarEndReads(bytes.size())), test::ToHex(bytes));
}

struct LineCase {
  const char* name;
  TBaudRate rate;
  std::int32_t customRate;
  TStopBits stop;
  THwFlowControl hardware;
  TSwFlowControl software;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class DefaultTermiosSettingsTest : public DefaultTermiosTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(DefaultTermiosSettingsTest, TheFarEndSeesTheConfiguredSettings) {
  const LineCase& c = GetParam();
  port_.SetCustomBaudRate(c.customRate);
  port_.SetBaudRate(c.rate);
  port_.SetStopBits(c.stop);
  port_.SetHwFlowControl(c.hardware);
  port_.SetSwFlowControl(c.software);
  port_.Open();
  const LineTermios want = TermiosFromDcb(port_.BuildDcb());
  ASSERT_TRUE(want.Valid);

  TerminalReadback seen;
  ASSERT_TRUE(ReadTerminalSettings(master_, &seen));
  const termios t = FarEndTermios();
  EXPECT_EQ(seen.Speed, want.Speed);
  EXPECT_EQ(seen.ControlFlags & (CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS), want.ControlFlags);
  EXPECT_EQ(seen.ControlFlags & (CREAD | CLOCAL | HUPCL), static_cast<std::uint32_t>(CREAD | CLOCAL));
  // No input translation at all: only the configured flow control is left.
  EXPECT_EQ(seen.InputFlags & ~static_cast<std::uint32_t>(IUTF8), want.InputFlags);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
}

INSTANTIATE_TEST_SUITE_P(Lines, DefaultTermiosSettingsTest,
                         ::testing::Values(LineCase{"Rate9600", br009600, 0, sb1Bit, hfNONE, sfNONE},
                                           LineCase{"TwoStopBitsXonXoff", br115200, 0, sb2Bits, hfNONE, sfXONXOFF},
                                           LineCase{"Custom250000RtsCts", brCustom, 250000, sb1Bit, hfRTSCTS, sfNONE}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace korvane
