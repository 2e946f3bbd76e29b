// A device that disappears while the port is open (the far end of the
// pseudo-terminal closes, as when a USB adapter is unplugged).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <thread>

#include "PtyFixture.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using VanishedDeviceTest = test::PtyPortFixture;

std::chrono::microseconds ProcessCpu() {
  rusage use{};
  ::getrusage(RUSAGE_SELF, &use);
  return std::chrono::seconds(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
         std::chrono::microseconds(use.ru_utime.tv_usec + use.ru_stime.tv_usec);
}

TEST_F(VanishedDeviceTest, TheIdleReceiveThreadUsesLittleCpu) {
  port_.Open();
  auto before = port_.ReceiveThreadCpuTime();
  ASSERT_TRUE(before.has_value());
  main_.PumpFor(1500ms);
  auto after = port_.ReceiveThreadCpuTime();
  ASSERT_TRUE(after.has_value());
  EXPECT_LT(*after - *before, 150ms);  // a spinning thread would use ~1500 ms
}

TEST_F(VanishedDeviceTest, TheConnectionEndsWithADisconnectAndNothingSpins) {
  port_.Open();
  pty_.reset();
  ASSERT_TRUE(Pump([&] { return port_.ConnectedPort() == spNone; }));
  EXPECT_EQ(events_.disconnects, std::vector<TCommPort>{spCOM5});
  EXPECT_THROW(port_.WriteString("x"), SerialError);

  auto cpuBefore = ProcessCpu();
  std::this_thread::sleep_for(2s);
  EXPECT_LT(ProcessCpu() - cpuBefore, 200ms);  // a spinning thread would use ~2000 ms
}

TEST_F(VanishedDeviceTest, CloseRightAfterTheDeviceVanishedReturnsWithinItsBound) {
  port_.Open();
  pty_.reset();
  auto start = std::chrono::steady_clock::now();
  port_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
  EXPECT_EQ(port_.ConnectedPort(), spNone);
  EXPECT_EQ(events_.disconnects, std::vector<TCommPort>{spCOM5});
}

TEST_F(VanishedDeviceTest, ALaterOpenWorksWhenTheDeviceIsBack) {
  port_.Open();
  pty_.reset();
  ASSERT_TRUE(Pump([&] { return port_.ConnectedPort() == spNone; }));
  ReplaceDevice();
  port_.Open();
  EXPECT_EQ(port_.ConnectedPort(), spCOM5);
  EXPECT_EQ(events_.connects, (std::vector<TCommPort>{spCOM5, spCOM5}));
  pty_->Write("back");
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll() == "back"; }));
  port_.WriteString("hello");
  EXPECT_EQ(pty_->ReadAtLeast(5, 2000ms), "hello");
}

TEST_F(VanishedDeviceTest, ReopenAfterCloseOnAVanishedDevice) {
  port_.Open();
  pty_.reset();
  port_.Close();
  ReplaceDevice();
  port_.Open();
  pty_->Write("ok");
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll() == "ok"; }));
}

}  // namespace
}  // namespace korvane
