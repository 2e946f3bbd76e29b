// When gathered bytes go to the main thread: the quiet gap, Delay, the
// queue's size, and a device that cannot wait.
#include <gtest/gtest.h>

#include "serial/ReceiveGather.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using T = ReceiveClock::time_point;

struct GapCase {
  std::uint32_t baud;
  std::uint8_t bits;
  std::uint8_t parity;
  std::uint8_t stop;
  std::int64_t us;
};

TEST(QuietGap, IsThreeAndAHalfCharactersAtTheRateAndAtLeastOneMillisecond) {
  const GapCase cases[] = {
      {9600, 8, 0, 0, 3646},     // 10 bits a character
      {4800, 8, 0, 0, 7292},
      {2400, 8, 2, 2, 17500},    // 12 bits
      {9600, 5, 0, 1, 2735},     // 7.5 bits
      {19200, 7, 1, 0, 1823},
      {38400, 8, 0, 0, 1000},    // 912 us: the floor
      {115200, 8, 0, 0, 1000},
      {0, 8, 0, 0, 1000},        // a rate of 0 (custom, unset)
  };
  for (const GapCase& c : cases) {
    Dcb block;
    block.BaudRate = c.baud;
    block.ByteSize = c.bits;
    block.Parity = c.parity;
    block.StopBits = c.stop;
    EXPECT_EQ(QuietGap(block).count(), c.us) << c.baud << " " << int(c.bits);
  }
}

class ReceiveGatherTest : public ::testing::Test {
 protected:
  ReceiveGatherTest() { gather_.SetRules(50ms, 4ms, 100); }
  void Add(const std::string& bytes, T at) { gather_.Add(bytes.data(), bytes.size(), at); }

  ReceiveGather gather_;
  T t0_ = ReceiveClock::now();
};

TEST_F(ReceiveGatherTest, NothingGatheredIsNeverDue) {
  EXPECT_FALSE(gather_.Due(t0_ + 1s, InputWait::Gathered));
  EXPECT_EQ(gather_.NextWait(t0_, t0_ + 50ms), 50ms);
}

TEST_F(ReceiveGatherTest, DueByTheRuleThatComesFirst) {
  struct Case {
    const char* what;
    std::chrono::milliseconds lastRead;  // after the first byte
    std::chrono::milliseconds now;
    InputWait lastWait;
    bool due;
  };
  const Case cases[] = {
      {"quiet gap after a wait without bytes", 0ms, 4ms, InputWait::TimedOut, true},
      {"gap not yet over", 0ms, 3ms, InputWait::TimedOut, false},
      {"bytes came in the last wait", 2ms, 5ms, InputWait::Arrived, false},
      {"a wait that brought bytes proves no gap", 0ms, 30ms, InputWait::Arrived, false},
      {"dribble: Delay after the first byte", 49ms, 50ms, InputWait::Arrived, true},
      {"the device gathered the burst", 0ms, 0ms, InputWait::Gathered, true},
      {"the device cannot wait: age unknown", 0ms, 0ms, InputWait::NotSupported, true},
  };
  for (const Case& c : cases) {
    ReceiveGather gather;
    gather.SetRules(50ms, 4ms, 100);
    gather.Add("a", 1, t0_);
    if (c.lastRead > 0ms) gather.Add("b", 1, t0_ + c.lastRead);
    EXPECT_EQ(gather.Due(t0_ + c.now, c.lastWait), c.due) << c.what;
  }
}

TEST_F(ReceiveGatherTest, AFullDeliveryIsDueAtOnceAndTakesNoMore) {
  Add(std::string(60, 'x'), t0_);
  EXPECT_EQ(gather_.Room(), 40u);
  Add(std::string(40, 'y'), t0_);
  EXPECT_EQ(gather_.Room(), 0u);
  EXPECT_TRUE(gather_.Due(t0_, InputWait::Arrived));
  EXPECT_EQ(gather_.Take(), std::string(60, 'x') + std::string(40, 'y'));
  EXPECT_TRUE(gather_.Empty());
  EXPECT_EQ(gather_.Room(), 100u);
}

TEST_F(ReceiveGatherTest, TheNextWaitEndsAtTheGapTheDelayOrTheNextChecks) {
  Add("a", t0_);
  EXPECT_EQ(gather_.NextWait(t0_, t0_ + 50ms), 4ms);  // the gap
  Add("b", t0_ + 48ms);
  EXPECT_EQ(gather_.NextWait(t0_ + 48ms, t0_ + 100ms), 2ms);  // the first byte's Delay
  EXPECT_EQ(gather_.NextWait(t0_ + 48ms, t0_ + 49ms), 1ms);   // the modem lines first
  EXPECT_EQ(gather_.NextWait(t0_ + 60ms, t0_ + 100ms), 0ms);  // overdue: no wait
  EXPECT_EQ(gather_.LastAt(), t0_ + 48ms);
}

TEST_F(ReceiveGatherTest, NoLimitTakesEverything) {
  gather_.SetRules(50ms, 4ms, 0);
  Add(std::string(100000, 'z'), t0_);
  EXPECT_GT(gather_.Room(), 1000000u);
  EXPECT_FALSE(gather_.Due(t0_, InputWait::Arrived));
}

}  // namespace
}  // namespace korvane
