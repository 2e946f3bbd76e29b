// The component's property rules, names, rates, messages and the
// device-control block, with no device open.
#include <gtest/gtest.h>

#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"
#include "FakeSerialDevice.h"

namespace korvane {
namespace {

class SerialPropertiesTest : public ::testing::Test {
 protected:
  QueueDispatcher main_;
  std::shared_ptr<test::FakeLine> line_ = std::make_shared<test::FakeLine>();
  TSerialPort port_{main_, std::make_shared<test::FakeOpener>(line_)};
};

void ExpectMessage(const std::function<void()>& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "expected \"" << message << "\"";
  } catch (const SerialError& e) {
    EXPECT_EQ(e.what(), message);
  }
}

// ---- Port names ----

TEST(PortNames, NamesAreComAndTheNumberWithoutLeadingZeros) {
  EXPECT_EQ(NameFromPort(spCOM1), "COM1");
  EXPECT_EQ(NameFromPort(spCOM12), "COM12");
  EXPECT_EQ(NameFromPort(spCOM99), "COM99");
  EXPECT_EQ(NameFromPort(spNone), "");
}

TEST(PortNames, OnlyTheExactNamesCom1ToCom99AreRecognised) {
  EXPECT_EQ(PortFromName("COM1"), spCOM1);
  EXPECT_EQ(PortFromName("COM99"), spCOM99);
  for (const char* other : {"", "com3", "Com3", "COM0", "COM100", "COM03", "COM", "COM3 ", " COM3",
                            "COM-1", "COM1a", "LPT1"}) {
    EXPECT_EQ(PortFromName(other), spNone) << other;
  }
}

TEST(PortNames, EveryPortRoundTrips) {
  for (int n = 0; n <= 99; ++n) {
    auto port = static_cast<TCommPort>(n);
    EXPECT_EQ(PortFromName(NameFromPort(port)), port);
  }
}

TEST_F(SerialPropertiesTest, PortSetterStoresTheNameAndLowerCaseReadsAsNone) {
  port_.SetPort(spCOM12);
  EXPECT_EQ(port_.PortName(), "COM12");
  port_.SetPortName("com3");
  EXPECT_EQ(port_.Port(), spNone);
  port_.SetPort(spNone);  // equals the getter: the odd name stays
  EXPECT_EQ(port_.PortName(), "com3");
  port_.SetPort(spCOM3);
  port_.SetPort(spNone);
  EXPECT_EQ(port_.PortName(), "");
}

TEST_F(SerialPropertiesTest, OpenWithoutAPortNameDoesNothingWhileNothingIsConnected) {
  port_.SetPort(spNone);
  EXPECT_NO_THROW(port_.Open());
  EXPECT_EQ(port_.ConnectedPort(), spNone);
  EXPECT_TRUE(line_->Calls().empty());
}

// ---- Defaults ----

TEST_F(SerialPropertiesTest, NewComponentHasTheDocumentedDefaults) {
  EXPECT_EQ(port_.Port(), spCOM2);
  EXPECT_EQ(port_.BaudRate(), br004800);
  EXPECT_EQ(port_.BaudValue(), 4800u);
  EXPECT_EQ(port_.DataWidth(), dw8Bits);
  EXPECT_EQ(port_.StopBits(), sb1Bit);
  EXPECT_EQ(port_.Parity(), pbNone);
  CommTimeouts t = port_.Timeouts();
  EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
  EXPECT_EQ(port_.InputBuffer(), 4096u);
  EXPECT_EQ(port_.Delay(), 50u);
  EXPECT_EQ(port_.ConnectedPort(), spNone);
}

// ---- Baud rates ----

TEST(BaudRates, FixedRatesMapBothWaysAndOthersAreCustom) {
  EXPECT_EQ(BaudRateFromValue(110), br000110);
  EXPECT_EQ(BaudRateFromValue(9600), br009600);
  EXPECT_EQ(BaudRateFromValue(256000), br256000);
  EXPECT_EQ(BaudRateFromValue(250000), brCustom);
  EXPECT_EQ(BaudRateFromValue(0), brCustom);
  EXPECT_EQ(ValueFromBaudRate(br128000, 7), 128000u);
  EXPECT_EQ(ValueFromBaudRate(brCustom, 31250), 31250u);
}

TEST_F(SerialPropertiesTest, CustomRateTakesEffectOnlyWhileTheRateIsNotAFixedOne) {
  port_.SetCustomBaudRate(31250);
  EXPECT_EQ(port_.BaudValue(), 4800u);  // 4800 is a fixed rate
  port_.SetBaudRate(brCustom);
  EXPECT_EQ(port_.BaudValue(), 31250u);
  port_.SetCustomBaudRate(250000);
  EXPECT_EQ(port_.BaudValue(), 250000u);
  EXPECT_EQ(port_.BaudRate(), brCustom);
  port_.SetBaudRate(br009600);
  port_.SetCustomBaudRate(31250);
  EXPECT_EQ(port_.BaudValue(), 9600u);
}

// ---- Data width and stop bits ----

TEST_F(SerialPropertiesTest, FiveDataBitsRefuseTwoStopBitsAndKeepTheOldWidth) {
  port_.SetStopBits(sb2Bits);
  ExpectMessage([&] { port_.SetDataWidth(dw5Bits); }, "Invalid data-width and stop-bits combination.");
  EXPECT_EQ(port_.DataWidth(), dw8Bits);
}

TEST_F(SerialPropertiesTest, OneAndAHalfStopBitsNeedFiveDataBits) {
  ExpectMessage([&] { port_.SetStopBits(sb1_5Bits); }, "Invalid data-width and stop-bits combination.");
  EXPECT_EQ(port_.StopBits(), sb1Bit);
  port_.SetDataWidth(dw5Bits);
  EXPECT_NO_THROW(port_.SetStopBits(sb1_5Bits));
  EXPECT_EQ(port_.StopBits(), sb1_5Bits);
  ExpectMessage([&] { port_.SetDataWidth(dw6Bits); }, "Invalid data-width and stop-bits combination.");
  ExpectMessage([&] { port_.SetStopBits(sb2Bits); }, "Invalid data-width and stop-bits combination.");
  EXPECT_EQ(port_.DataWidth(), dw5Bits);
  EXPECT_EQ(port_.StopBits(), sb1_5Bits);
}

// ---- The device-control block ----

TEST_F(SerialPropertiesTest, DefaultsGiveFlags1011AndTheFixedFields) {
  Dcb block = port_.BuildDcb();
  EXPECT_EQ(block.DCBlength, 28u);
  EXPECT_EQ(block.Flags, 0x1011u);
  EXPECT_EQ(block.BaudRate, 4800u);
  EXPECT_EQ(block.ByteSize, 8);
  EXPECT_EQ(block.Parity, 0);
  EXPECT_EQ(block.StopBits, 0);
  EXPECT_EQ(block.XonChar, 0x11);
  EXPECT_EQ(block.XoffChar, 0x13);
  EXPECT_EQ(block.XonLim, 0);
  EXPECT_EQ(block.ErrorChar, 0);
}

TEST_F(SerialPropertiesTest, DtrOffWithRtsOnGives1001) {
  port_.SetEnableDTROnOpen(false);
  EXPECT_EQ(port_.BuildDcb().Flags, 0x1001u);
}

TEST_F(SerialPropertiesTest, RtsCtsHandshakeWithBothLinesGives3015) {
  port_.SetHwFlowControl(hfRTSCTS);
  EXPECT_EQ(port_.BuildDcb().Flags, 0x3015u);
}

TEST_F(SerialPropertiesTest, XonXoffAndRtsFlowAddTheirBits) {
  port_.SetEnableDTROnOpen(false);
  port_.SetEnableRTSOnOpen(false);
  EXPECT_EQ(port_.BuildDcb().Flags, 0x0001u);
  port_.SetHwFlowControl(hfRTS);
  port_.SetSwFlowControl(sfXONXOFF);
  EXPECT_EQ(port_.BuildDcb().Flags, 0x1301u);
}

TEST_F(SerialPropertiesTest, LineSettingsGoIntoTheBlock) {
  port_.SetBaudRate(br019200);
  port_.SetDataWidth(dw7Bits);
  port_.SetParity(pbSpace);
  port_.SetStopBits(sb2Bits);
  Dcb block = port_.BuildDcb();
  EXPECT_EQ(block.BaudRate, 19200u);
  EXPECT_EQ(block.ByteSize, 7);
  EXPECT_EQ(block.Parity, 4);
  EXPECT_EQ(block.StopBits, 2);
}

// ---- Closed component ----

TEST_F(SerialPropertiesTest, WritesOnAClosedPortRaiseNotOpen) {
  port_.SetPort(spCOM4);
  ExpectMessage([&] { port_.WriteString("x"); }, "COM4 is not open.");
  char byte = 1;
  ExpectMessage([&] { port_.WriteBuffer(&byte, 1); }, "COM4 is not open.");
  port_.SetPort(spNone);
  ExpectMessage([&] { port_.WriteString("x"); }, " is not open.");
}

TEST_F(SerialPropertiesTest, CloseOnAClosedComponentReturnsAtOnce) {
  port_.SetDelay(5000);  // a Close that waited at all would take this long
  auto start = std::chrono::steady_clock::now();
  port_.Close();
  port_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  EXPECT_EQ(port_.ConnectedPort(), spNone);
}

TEST_F(SerialPropertiesTest, SettersOnAClosedPortTouchNoDevice) {
  port_.SetBaudRate(br115200);
  port_.SetInputBuffer(1024);
  port_.SetEnableDTROnOpen(false);
  EXPECT_TRUE(line_->Calls().empty());
}

}  // namespace
}  // namespace korvane
