// The component and its receive thread on a real pseudo-terminal.
#include <gtest/gtest.h>
#include <termios.h>

#include "ports/DeviceOpener.h"
#include "ports/PortControl.h"
#include "serial/PosixSerialDevice.h"
#include "PtyFixture.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using PtyPortTest = test::PtyPortFixture;
using test::MessageOf;

// ---- Open and close ----

TEST_F(PtyPortTest, OpenConnectsOnceAndASecondOpenDoesNothing) {
  port_.Open();
  EXPECT_EQ(port_.ConnectedPort(), spCOM5);
  EXPECT_NO_THROW(port_.Open());
  EXPECT_EQ(events_.connects, std::vector<TCommPort>{spCOM5});
  EXPECT_TRUE(events_.disconnects.empty());
}

TEST_F(PtyPortTest, ADeviceThatDoesNotExistRaisesCannotConnectWithoutEvents) {
  ASSERT_TRUE(map_.Add("COM7", dir_.Path() + "/no-such-device"));
  port_.SetPort(spCOM7);
  EXPECT_EQ(MessageOf([&] { port_.Open(); }), "Cannot connect to COM7.");
  EXPECT_EQ(port_.ConnectedPort(), spNone);
  main_.PumpFor(100ms);
  EXPECT_TRUE(events_.connects.empty());
  EXPECT_TRUE(events_.disconnects.empty());
}

TEST_F(PtyPortTest, AFileThatIsNoTerminalCannotBeOpened) {
  ASSERT_TRUE(map_.Add("COM8", "/dev/null"));
  port_.SetPort(spCOM8);
  EXPECT_EQ(MessageOf([&] { port_.Open(); }), "Cannot connect to COM8.");
}

TEST_F(PtyPortTest, APseudoTerminalShowsAtTheFirstLookThatItHasNoModemLines) {
  auto device = PosixSerialDevice::Open(pty_->SlavePath());
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(device->HasModemLines());  // nothing known before the first look
  std::uint32_t status = 0xFF;
  EXPECT_FALSE(device->ModemStatus(&status));
  EXPECT_EQ(status, 0u);
  EXPECT_FALSE(device->HasModemLines());
}

TEST_F(PtyPortTest, APortInUseCannotBeOpenedByAnotherComponent) {
  port_.Open();
  TSerialPort other(main_, MappedSerialDeviceOpener(map_));
  other.SetPort(spCOM5);
  EXPECT_EQ(MessageOf([&] { other.Open(); }), "Cannot connect to COM5.");
  port_.Close();
  EXPECT_NO_THROW(other.Open());
  other.Close();
}

TEST_F(PtyPortTest, CloseRaisesOneDisconnectAndLeavesNothingOpen) {
  port_.Open();
  port_.Close();
  EXPECT_EQ(port_.ConnectedPort(), spNone);
  EXPECT_EQ(events_.disconnects, std::vector<TCommPort>{spCOM5});
  EXPECT_EQ(MessageOf([&] { port_.WriteString("x"); }), "COM5 is not open.");
  port_.Close();
  EXPECT_EQ(events_.disconnects.size(), 1u);
}

TEST_F(PtyPortTest, BytesThatArrivedBeforeOpenAreDiscarded) {
  pty_->Write("stale");
  main_.PumpFor(20ms);
  port_.Open();
  main_.PumpFor(200ms);
  EXPECT_TRUE(events_.receives.empty());
}

// ---- Line settings seen from the far end ----

TEST_F(PtyPortTest, RateAndFlowControlShowOnTheOtherSide) {
  port_.SetBaudRate(br019200);
  port_.Open();
  TerminalReadback seen;
  ASSERT_TRUE(ReadTerminalSettings(pty_->MasterFd(), &seen));
  EXPECT_EQ(seen.Speed, 19200u);
  EXPECT_EQ(seen.ControlFlags & CRTSCTS, 0u);
  EXPECT_EQ(seen.InputFlags & (IXON | IXOFF), 0u);

  port_.SetHwFlowControl(hfRTSCTS);
  port_.SetSwFlowControl(sfXONXOFF);
  ASSERT_TRUE(ReadTerminalSettings(pty_->MasterFd(), &seen));
  EXPECT_NE(seen.ControlFlags & CRTSCTS, 0u);
  EXPECT_EQ(seen.InputFlags & (IXON | IXOFF), static_cast<std::uint32_t>(IXON | IXOFF));
}

TEST_F(PtyPortTest, NonStandardRatesReachTheDriver) {
  port_.Open();
  port_.SetCustomBaudRate(250000);
  port_.SetBaudRate(brCustom);
  TerminalReadback seen;
  ASSERT_TRUE(ReadTerminalSettings(pty_->MasterFd(), &seen));
  EXPECT_EQ(seen.Speed, 250000u);
  port_.SetCustomBaudRate(31250);
  ASSERT_TRUE(ReadTerminalSettings(pty_->MasterFd(), &seen));
  EXPECT_EQ(seen.Speed, 31250u);
}

// ---- Sending ----

TEST_F(PtyPortTest, OpenPortArrivesAtTheFarEnd) {
  LinkSettings link;
  link.PortNumber = 5;
  PortControl control(port_, link);
  control.OpenComm(5, 1024, 1024, 9600, 8, 0, 1);
  control.PortActivate();
  EXPECT_EQ(pty_->ReadAtLeast(9, 2000ms), "Open Port");
}

TEST_F(PtyPortTest, AFrameWithZeroBytesIsSentWhole) {
  LinkSettings link;
  link.PortNumber = 5;
  PortControl control(port_, link);
  control.OpenComm(5, 1024, 1024, 9600, 8, 0, 1);
  control.PortActivate();
  ASSERT_EQ(pty_->ReadAtLeast(9, 2000ms), "Open Port");
  const std::string frame("\x01\x06\x00\x00\x00\x00\x89\xCA", 8);
  control.SendCommStr(frame);
  EXPECT_EQ(pty_->ReadAtLeast(8, 2000ms), frame);
}

TEST_F(PtyPortTest, WritesGiveUpAfterTheirTimeOut) {
  // Nobody reads the far end, so the pseudo-terminal's queue fills up.
  port_.SetWriteTotalTimeoutMultiplier(0);
  port_.SetWriteTotalTimeoutConstant(200);
  port_.Open();
  const std::string big(4 << 20, 'w');
  auto start = std::chrono::steady_clock::now();
  const std::size_t written = port_.WriteBuffer(big.data(), big.size());
  EXPECT_LT(written, big.size());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// ---- Receiving ----

TEST_F(PtyPortTest, AFrameWithZeroBytesArrivesWhole) {
  port_.Open();
  const std::string reply("\x01\x03\x04\x00\x00\x00\x00\xFA\x33", 9);
  pty_->Write(reply);
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll().size() >= reply.size(); }));
  ASSERT_EQ(events_.receives.size(), 1u);
  EXPECT_EQ(events_.receives[0], reply);
  EXPECT_EQ(port_.ReceivedData(), reply);
}

TEST_F(PtyPortTest, ThreeHundredBytesWrittenAtOnceArriveAsOneEvent) {
  port_.Open();
  std::string block(300, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i);
  pty_->Write(block);
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll().size() >= block.size(); }));
  ASSERT_EQ(events_.receives.size(), 1u);
  EXPECT_EQ(events_.receives[0], block);
}

TEST_F(PtyPortTest, AReplyStraddlingAPauseArrivesInTwoEvents) {
  port_.Open();
  const std::string reply("\x01\x06\x00\x19\x00\xFA\xD8\x4E", 8);
  pty_->Write(reply.substr(0, 5));
  ASSERT_TRUE(Pump([&] { return events_.receives.size() == 1; }));
  pty_->Write(reply.substr(5));
  ASSERT_TRUE(Pump([&] { return events_.receives.size() == 2; }));
  EXPECT_EQ(events_.receives[0].size(), 5u);
  EXPECT_EQ(events_.receives[1].size(), 3u);
  EXPECT_EQ(events_.ReceivedAll(), reply);
}

TEST_F(PtyPortTest, NoEventWhileNothingIsQueued) {
  port_.Open();
  main_.PumpFor(300ms);
  EXPECT_TRUE(events_.receives.empty());
  EXPECT_TRUE(events_.lines.empty());  // a pty has no modem lines: all off, as before
}

TEST_F(PtyPortTest, AThrowingHandlerDoesNotStopTheLoop) {
  int calls = 0;
  port_.OnReceive = [&](TSerialPort&, const std::string&) {
    ++calls;
    throw SerialError("handler failed");
  };
  port_.Open();
  pty_->Write("a");
  ASSERT_TRUE(Pump([&] { return calls == 1; }));
  pty_->Write("b");
  ASSERT_TRUE(Pump([&] { return calls == 2; }));
  EXPECT_EQ(port_.ReceivedData(), "b");
}

}  // namespace
}  // namespace korvane
