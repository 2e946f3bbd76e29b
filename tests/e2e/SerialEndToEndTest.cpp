// A whole poll without the GUI: port control, the Modbus master and the
// component's receive thread against real Modbus slaves (libmodbus RTU,
// pymodbus ASCII) on the far end of a pseudo-terminal line.
#include <gtest/gtest.h>

#include <chrono>

#include "master/MasterCode.h"
#include "poll/ControllerSession.h"
#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"
#include "ports/PortControl.h"
#include "serial/PtyBridge.h"
#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"
#include "serial/SerialTestSupport.h"
#include "support/FakePollView.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

std::uint32_t TickMs() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

class EndToEndTest : public ::testing::Test {
 protected:
  EndToEndTest() {
    if (!map_.Add("COM3", bridge_.PathA())) throw std::runtime_error("cannot map COM3");
    settings_.Poll.TableType = 3;
    settings_.Poll.StartRegister = 1;
    settings_.Poll.RegisterCount = 20;
    // The master's reply checks alone, without the poll cycle's display.
    port_.OnReceive = [this](TSerialPort&, const std::string& buffer) {
      const auto n = static_cast<std::int32_t>(buffer.size());
      std::int32_t r = settings_.Link.RtuMode ? master_.MasterCheckRTU(n, buffer)
                                              : master_.MasterCheckASCII(n, buffer);
      if (r != Pending) result_ = r;
    };
  }

  // The configuration dialog's OK with "Port Active" ticked, on COM3.
  void Activate() {
    control_.CloseComm();
    settings_.Link.PortNumber = 3;  // the dialog reads its port box back here
    control_.OpenComm(3, 1024, 1024, 9600, 8, 0, 1);
    control_.PortActivate();
  }

  // One poll of holding registers 1..20, as the poll cycle sends it; the
  // first reply's result (Pending when none came within the time).
  std::int32_t PollOnce() {
    state_.ChunkStart = 1;
    state_.ChunkSize = 20;
    state_.ByteCount = 0;
    state_.ReplyDeadline = static_cast<std::int32_t>(TickMs() + 3000);
    result_ = Pending;
    master_.MasterPollPLC();
    main_.PumpUntil([this] { return result_ != Pending; }, 3s);
    return result_;
  }

  // The slave may take the "Open Port" text for the start of a frame; the
  // poll cycle simply polls again a second later, and so does this.
  std::int32_t PollUntilAnswered() {
    std::int32_t r = Pending;
    for (int attempt = 0; attempt < 4 && r != DataOk; ++attempt) r = PollOnce();
    return r;
  }

  test::TempDir dir_;
  ComNameMap map_{dir_.Path() + "/ports"};
  test::PtyBridge bridge_;
  QueueDispatcher main_;
  test::FakePollView view_;
  ControllerSession session_{main_, MappedSerialDeviceOpener(map_), TickMs, view_};
  Settings& settings_ = session_.settings;
  MasterState& state_ = session_.state;
  RegisterImage& image_ = session_.image;
  std::int32_t result_ = Pending;
  TSerialPort& port_ = session_.port;
  PortControl& control_ = session_.control;
  TMaster& master_ = session_.master;
};

TEST_F(EndToEndTest, RtuPollAgainstALibmodbusSlaveFillsTheImage) {
  auto slave = test::StartRtuSlave(bridge_.PathB(), {"--values", "250,-100,7"});
  settings_.Link.RtuMode = true;
  Activate();
  ASSERT_EQ(PollUntilAnswered(), DataOk);
  EXPECT_EQ(image_.HoldingRegister(1, 1), 250);
  EXPECT_EQ(image_.HoldingRegister(1, 2), -100);
  EXPECT_EQ(image_.HoldingRegister(1, 3), 7);
  EXPECT_EQ(image_.HoldingRegister(1, 4), 1003);
  EXPECT_EQ(image_.HoldingRegister(1, 20), 1019);
  // And again: the line stays in step.
  EXPECT_EQ(PollOnce(), DataOk);
  control_.CloseComm();
  EXPECT_EQ(port_.ConnectedPort(), spNone);
}

TEST_F(EndToEndTest, AsciiPollAgainstAPymodbusSlaveFillsTheImage) {
  auto slave = test::StartAsciiSlave(bridge_.PathB(), {"--values", "321,-5"});
  settings_.Link.RtuMode = false;
  Activate();
  ASSERT_EQ(PollUntilAnswered(), DataOk);
  EXPECT_EQ(image_.HoldingRegister(1, 1), 321);
  EXPECT_EQ(image_.HoldingRegister(1, 2), -5);
  EXPECT_EQ(image_.HoldingRegister(1, 3), 1002);
  EXPECT_EQ(image_.HoldingRegister(1, 20), 1019);
  control_.CloseComm();
}

}  // namespace
}  // namespace korvane
