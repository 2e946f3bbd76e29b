// What a pseudo-terminal under wine cannot show (it lets a second program
// open a port, and carries no parity), shown on the fake device for every
// platform: a port in use refuses a second component, and the parity set on
// the component reaches the device in the block it applies.
#include <gtest/gtest.h>

#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"
#include "FakeSerialDevice.h"
#include "SerialTestSupport.h"

namespace korvane {
namespace {

class PortRulesFakeTest : public ::testing::Test {
 protected:
  QueueDispatcher main_;
  std::shared_ptr<test::FakeLine> line_ = std::make_shared<test::FakeLine>();
  std::shared_ptr<test::FakeOpener> opener_ = std::make_shared<test::FakeOpener>(line_);
  TSerialPort holder_{main_, opener_};
  TSerialPort other_{main_, opener_};
};

TEST_F(PortRulesFakeTest, APortInUseRefusesASecondComponentUntilItIsClosed) {
  holder_.SetPort(spCOM3);
  other_.SetPort(spCOM3);
  holder_.Open();
  EXPECT_EQ(test::MessageOf([&] { other_.Open(); }), "Cannot connect to COM3.");
  EXPECT_EQ(holder_.ConnectedPort(), spCOM3);
  EXPECT_EQ(other_.ConnectedPort(), spNone);
  holder_.Close();
  EXPECT_NO_THROW(other_.Open());
  EXPECT_EQ(other_.ConnectedPort(), spCOM3);
}

class ParityFakeTest : public PortRulesFakeTest, public ::testing::WithParamInterface<int> {};

TEST_P(ParityFakeTest, TheParityCodeReachesTheDevice) {
  holder_.SetPort(spCOM3);
  holder_.SetDataWidth(dw7Bits);
  holder_.SetParity(static_cast<TParityBits>(GetParam()));  // pbNone .. pbSpace
  holder_.Open();
  const auto states = line_->States();
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.back().Parity, GetParam());
  EXPECT_EQ(states.back().ByteSize, 7);
}

INSTANTIATE_TEST_SUITE_P(AllParities, ParityFakeTest,
                         ::testing::Range(static_cast<int>(pbNone), static_cast<int>(pbSpace) + 1));

}  // namespace
}  // namespace korvane
