// The Windows device on real lines: scripts/test-windows.sh maps COM1 and
// COM2 to pseudo-terminals. Behind COM1 runs the libmodbus RTU slave
// (started with --values 250,-100,7), behind COM2 an echo of every byte.
// Modem lines, exclusive use and parity cannot be shown on a
// pseudo-terminal under wine: the fake device tests cover them.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "base/TickCount.h"
#include "master/MasterCode.h"
#include "poll/ControllerSession.h"
#include "ports/DeviceOpener.h"
#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"
#include "serial/Win32SerialDevice.h"
#include "support/FakePollView.h"
#include "SerialTestSupport.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

std::string AllByteValues() {
  std::string bytes(256, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
  return bytes;
}

TEST(Win32Device, ClearErrorsCountsExactlyWhatReadThenDelivers) {
  auto device = Win32SerialDevice::Open("COM2");
  ASSERT_NE(device, nullptr) << "COM2 is not mapped (run scripts/test-windows.sh)";
  Dcb block;
  block.BaudRate = 9600;
  block.ByteSize = 8;
  block.Flags = 0x1011;
  ASSERT_TRUE(device->SetState(block));
  ASSERT_TRUE(device->SetTimeouts(CommTimeouts{0xFFFFFFFFu, 0, 0, 100, 1000}));
  ASSERT_TRUE(device->SetupQueues(1024, 1024));
  const std::string sent = AllByteValues();
  ASSERT_EQ(device->Write(sent.data(), sent.size()), sent.size());

  CommStatus status;
  const std::uint32_t start = TickCount();
  while (device->ClearErrors(&status) && status.InQueue < sent.size() && TickCount() - start < 3000u) {
  }
  ASSERT_EQ(status.InQueue, sent.size());
  std::string got(sent.size(), '\0');
  EXPECT_EQ(device->Read(got.data(), got.size()), sent.size());
  EXPECT_EQ(got, sent);
  ASSERT_TRUE(device->ClearErrors(&status));
  EXPECT_EQ(status.InQueue, 0u);
  EXPECT_TRUE(device->Purge());
  device->Close();
  EXPECT_FALSE(device->IsOpen());
}

// A wait is a ReadFile with an interval and a total time-out; the
// component's own time-outs (return at once) are back in force after it.
TEST(Win32Device, AWaitGathersABurstAndPutsTheComponentsTimeOutsBack) {
  auto device = Win32SerialDevice::Open("COM2");
  ASSERT_NE(device, nullptr) << "COM2 is not mapped (run scripts/test-windows.sh)";
  Dcb block;
  block.BaudRate = 9600;
  block.ByteSize = 8;
  block.Flags = 0x1011;
  ASSERT_TRUE(device->SetState(block));
  ASSERT_TRUE(device->SetTimeouts(CommTimeouts{0xFFFFFFFFu, 0, 0, 100, 1000}));
  ASSERT_TRUE(device->SetupQueues(1024, 1024));
  EXPECT_EQ(device->WaitForInput(20ms, 4ms), InputWait::TimedOut);

  const std::string sent = "\x01\x03\x02\x00\x07";
  ASSERT_EQ(device->Write(sent.data(), sent.size()), sent.size());
  EXPECT_EQ(device->WaitForInput(3s, 4ms), InputWait::Gathered);
  CommStatus status;
  ASSERT_TRUE(device->ClearErrors(&status));
  EXPECT_EQ(status.InQueue, sent.size());
  std::string got(sent.size(), '\0');
  EXPECT_EQ(device->Read(got.data(), got.size()), sent.size());
  EXPECT_EQ(got, sent);

  // With the wait's total time-out of 3 s still set, this would take 3 s.
  const std::uint32_t start = TickCount();
  char byte = 0;
  EXPECT_EQ(device->Read(&byte, 1), 0u);
  EXPECT_LT(TickCount() - start, 2000u);
  device->Close();
}

TEST(Win32Port, AReplyGoesOnOnceTheLineIsQuietNotAfterDelay) {
  QueueDispatcher main;
  test::EventLog events;
  TSerialPort port{main, SystemSerialDeviceOpener()};
  events.Attach(port);
  port.SetPort(spCOM2);
  port.SetBaudRate(br009600);
  // Longer than the test waits for the reply; a stop is seen within one
  // wait, so no longer than Close should take.
  port.SetDelay(2000);
  port.Open();
  ASSERT_EQ(port.ConnectedPort(), spCOM2);
  main.PumpFor(50ms);
  const std::string sent("\x01\x03\x04\x00\x00\x00\x00\xFA\x33", 9);
  EXPECT_EQ(port.WriteBuffer(sent.data(), sent.size()), sent.size());
  EXPECT_TRUE(main.PumpUntil([&] { return events.ReceivedAll().size() >= sent.size(); }, 1500ms));
  EXPECT_EQ(events.ReceivedAll(), sent);
  port.Close();
}

TEST(Win32Port, EveryByteValueMakesTheRoundTripThroughTheComponent) {
  QueueDispatcher main;
  test::EventLog events;
  TSerialPort port{main, SystemSerialDeviceOpener()};
  events.Attach(port);
  port.SetPort(spCOM2);
  port.SetDelay(5);
  port.Open();
  ASSERT_EQ(port.ConnectedPort(), spCOM2);
  const std::string sent = AllByteValues();
  EXPECT_EQ(port.WriteBuffer(sent.data(), sent.size()), sent.size());
  main.PumpUntil([&] { return events.ReceivedAll().size() >= sent.size(); }, 3s);
  EXPECT_EQ(events.ReceivedAll(), sent);
  port.Close();
  EXPECT_EQ(events.disconnects, std::vector<TCommPort>{spCOM2});
}

// The window's whole poll, minus the window: port control opens COM1, the
// master sends a read of holding registers 1..20, the receive thread hands
// the reply to the master's check. Reply deadlines run on GetTickCount.
TEST(Win32Port, RtuPollAgainstTheLibmodbusSlaveFillsTheImage) {
  QueueDispatcher main;
  test::FakePollView view;
  ControllerSession session{main, SystemSerialDeviceOpener(), &TickCount, view};
  Settings& settings = session.settings;
  settings.Link.RtuMode = true;
  settings.Link.PortNumber = 1;
  settings.Poll.TableType = 3;
  settings.Poll.StartRegister = 1;
  settings.Poll.RegisterCount = 20;
  std::int32_t result = Pending;
  session.port.OnReceive = [&](TSerialPort&, const std::string& buffer) {
    const std::int32_t r = session.master.MasterCheckRTU(static_cast<std::int32_t>(buffer.size()), buffer);
    if (r != Pending) result = r;
  };
  session.control.OpenComm(1, 1024, 1024, 9600, 8, 0, 1);
  session.control.PortActivate();
  ASSERT_EQ(session.port.ConnectedPort(), spCOM1) << "COM1 is not mapped (run scripts/test-windows.sh)";
  // The slave may take the "Open Port" text for the start of a frame: poll
  // again, as the poll cycle does a second later.
  for (int attempt = 0; attempt < 4 && result != DataOk; ++attempt) {
    session.state.ChunkStart = 1;
    session.state.ChunkSize = 20;
    session.state.ByteCount = 0;
    session.state.ReplyDeadline = static_cast<std::int32_t>(TickCount() + 3000);
    result = Pending;
    session.master.MasterPollPLC();
    main.PumpUntil([&] { return result != Pending; }, 3s);
  }
  ASSERT_EQ(result, DataOk);
  EXPECT_EQ(session.image.HoldingRegister(1, 1), 250);
  EXPECT_EQ(session.image.HoldingRegister(1, 2), -100);
  EXPECT_EQ(session.image.HoldingRegister(1, 3), 7);
  EXPECT_EQ(session.image.HoldingRegister(1, 20), 1019);
  session.control.CloseComm();
  EXPECT_EQ(session.port.ConnectedPort(), spNone);
}

}  // namespace
}  // namespace korvane
