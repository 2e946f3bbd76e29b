// The main window's port control over a fake device: settings handed to the
// component, the order of DTR and RTS drops, and the send path.
#include <gtest/gtest.h>

#include "ports/PortControl.h"
#include "serial/FakeSerialDevice.h"
#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"

namespace korvane {
namespace {

class PortControlTest : public ::testing::Test {
 protected:
  QueueDispatcher main_;
  std::shared_ptr<test::FakeLine> line_ = std::make_shared<test::FakeLine>();
  TSerialPort port_{main_, std::make_shared<test::FakeOpener>(line_)};
  LinkSettings link_;
  PortControl control_{port_, link_};

  // As the configuration dialog's OK does it.
  void Confirm(int portNumber, int baud, int dataBits, int parityCode, int stopCode, bool active) {
    control_.CloseComm();
    link_.PortNumber = portNumber;
    control_.OpenComm(portNumber, 1024, 1024, baud, dataBits, parityCode, stopCode);
    if (active) control_.PortActivate();
  }
};

TEST_F(PortControlTest, NothingIsSentBeforeThePortIsActivated) {
  control_.SendCommStr("\x01\x03");
  EXPECT_FALSE(control_.PortActive());
  EXPECT_TRUE(line_->Calls().empty());
}

TEST_F(PortControlTest, ConfirmingTheDialogConfiguresOpensAndWritesOpenPort) {
  Confirm(3, 19200, 8, 1, 1, true);
  EXPECT_EQ(port_.PortName(), "COM3");
  EXPECT_EQ(port_.BaudValue(), 19200u);
  EXPECT_EQ(port_.DataWidth(), dw8Bits);
  EXPECT_EQ(port_.Parity(), pbEven);
  EXPECT_EQ(port_.StopBits(), sb1Bit);
  EXPECT_EQ(port_.InputBuffer(), 1024u);
  EXPECT_EQ(port_.OutputBuffer(), 1024u);
  EXPECT_TRUE(control_.PortActive());
  EXPECT_EQ(port_.ConnectedPort(), spCOM3);
  EXPECT_EQ(line_->States().front().Flags, 0x1011u);  // DTR and RTS raised
  EXPECT_EQ(line_->Written(), "Open Port");
}

TEST_F(PortControlTest, ParityCodesFollowTheDialogsOrder) {
  control_.OpenComm(1, 1024, 1024, 9600, 7, 2, 2);
  EXPECT_EQ(port_.Parity(), pbOdd);
  EXPECT_EQ(port_.DataWidth(), dw7Bits);
  EXPECT_EQ(port_.StopBits(), sb2Bits);
  control_.OpenComm(1, 1024, 1024, 9600, 6, 9, 0);  // unknown values leave the settings
  EXPECT_EQ(port_.Parity(), pbOdd);
  EXPECT_EQ(port_.DataWidth(), dw7Bits);
  EXPECT_EQ(port_.StopBits(), sb2Bits);
}

TEST_F(PortControlTest, OnlyPorts1To10AreSelectedOthersLeaveThePreviousPort) {
  const std::pair<int, TCommPort> cases[] = {{1, spCOM1}, {10, spCOM10}, {11, spCOM4}, {0, spCOM4}};
  for (const auto& [number, expected] : cases) {
    Confirm(4, 9600, 8, 0, 1, false);
    Confirm(number, 9600, 8, 0, 1, true);
    EXPECT_EQ(port_.ConnectedPort(), expected) << number;
  }
}

TEST_F(PortControlTest, Rate250000SelectsTheCustomRateZeroWhichTheDeviceRefuses) {
  Confirm(2, 250000, 8, 0, 1, false);
  EXPECT_EQ(port_.BaudRate(), brCustom);
  EXPECT_EQ(port_.BaudValue(), 0u);
  // A rate of 0 would hang the line up on a terminal; the POSIX device
  // refuses it like a Windows driver does. The fake refuses it explicitly.
  line_->SetRefuseState(true);
  EXPECT_THROW(control_.PortActivate(), SerialError);
  EXPECT_FALSE(control_.PortActive());
  EXPECT_EQ(line_->Written(), "");
}

TEST_F(PortControlTest, CloseCommDropsDtrThenRtsBeforeClosing) {
  Confirm(1, 9600, 8, 0, 1, true);
  control_.CloseComm();
  auto calls = line_->Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[calls.size() - 4], "state 1001");  // DTR low
  EXPECT_EQ(calls[calls.size() - 3], "state 0001");  // then RTS low
  EXPECT_EQ(calls[calls.size() - 2], "purge");
  EXPECT_EQ(calls.back(), "close");
  EXPECT_FALSE(control_.PortActive());
  EXPECT_EQ(link_.PortNumber, 0);
}

TEST_F(PortControlTest, SecondCloseCommDoesNothing) {
  Confirm(1, 9600, 8, 0, 1, true);
  control_.CloseComm();
  const auto calls = line_->Calls().size();
  control_.CloseComm();
  EXPECT_EQ(line_->Calls().size(), calls);
}

TEST_F(PortControlTest, PortNumberZeroMakesCloseCommDoNothing) {
  Confirm(1, 9600, 8, 0, 1, true);
  link_.PortNumber = 0;
  control_.CloseComm();
  EXPECT_TRUE(control_.PortActive());
  EXPECT_EQ(port_.ConnectedPort(), spCOM1);
}

TEST_F(PortControlTest, RefusedLineChangeInCloseCommEndsItThere) {
  Confirm(1, 9600, 8, 0, 1, true);
  line_->SetRefuseState(true);
  EXPECT_THROW(control_.CloseComm(), SerialError);
  EXPECT_TRUE(control_.PortActive());
  EXPECT_EQ(link_.PortNumber, 1);
}

TEST_F(PortControlTest, AnRtuFrameWithZeroBytesIsSentWhole) {
  Confirm(1, 9600, 8, 0, 1, true);
  const std::string frame("\x01\x03\x00\x00\x00\x14\x45\xC5", 8);
  control_.SendCommStr(frame);
  EXPECT_EQ(line_->Written(), "Open Port" + frame);
}

TEST_F(PortControlTest, FramesBeyondTheSendBufferGoOutWhole) {
  Confirm(1, 9600, 8, 0, 1, true);
  for (std::size_t size : {PortControl::kSendBufferSize, PortControl::kSendBufferSize + 1,
                           std::size_t{513}, std::size_t{5000}}) {
    std::string frame(size, '\0');
    for (std::size_t i = 0; i < size; ++i) frame[i] = static_cast<char>(i * 7);
    const std::size_t before = line_->Written().size();
    control_.SendCommStr(frame);
    EXPECT_EQ(line_->Written().substr(before), frame) << size;
  }
}

TEST_F(PortControlTest, AnEmptyFrameSendsNothing) {
  Confirm(1, 9600, 8, 0, 1, true);
  EXPECT_NO_THROW(control_.SendCommStr(""));
  EXPECT_EQ(line_->Written(), "Open Port");
}

TEST_F(PortControlTest, SendingOnAPortThatWentAwayRaisesNotOpen) {
  Confirm(2, 9600, 8, 0, 1, true);
  line_->SetGone();
  ASSERT_TRUE(main_.PumpUntil([&] { return port_.ConnectedPort() == spNone; },
                              std::chrono::seconds(3)));
  try {
    control_.SendCommStr("\x01");
    ADD_FAILURE() << "no error";
  } catch (const SerialError& e) {
    EXPECT_STREQ(e.what(), "COM2 is not open.");
  }
}

}  // namespace
}  // namespace korvane
