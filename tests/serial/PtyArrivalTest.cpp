// The receive thread waiting on a real pseudo-terminal: a reply goes on once
// the line is quiet, a dribble within Delay, and a stop ends the wait.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "PtyFixture.h"
#include "ports/DeviceOpener.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

class PtyArrivalTest : public test::PtyPortFixture {
 protected:
  PtyArrivalTest() { port_.SetBaudRate(br009600); }
};

TEST_F(PtyArrivalTest, AReplyGoesOnOnceTheLineIsQuietNotAfterDelay) {
  port_.SetDelay(60000);
  port_.Open();
  main_.PumpFor(20ms);
  const std::string reply("\x01\x03\x04\x00\x00\x00\x00\xFA\x33", 9);
  const auto written = std::chrono::steady_clock::now();
  pty_->Write(reply);
  ASSERT_TRUE(Pump([&] { return !events_.receives.empty(); }));
  EXPECT_EQ(events_.receives, std::vector<std::string>{reply});
  // Read after it was written, and before its event.
  EXPECT_GE(port_.ReceivedAt(), written);
  EXPECT_LE(port_.ReceivedAt(), std::chrono::steady_clock::now());
}

TEST_F(PtyArrivalTest, ADribbleThatNeverFallsQuietIsStillDeliveredEveryDelay) {
  port_.SetDelay(40);
  port_.Open();
  std::atomic<bool> stop{false};
  std::string sent;
  std::thread writer([&] {
    for (int i = 0; i < 10000 && !stop.load(); ++i) {
      const std::string byte(1, static_cast<char>('a' + i % 26));
      pty_->Write(byte);
      sent += byte;
      std::this_thread::sleep_for(1ms);  // the 3.6 ms gap never comes
    }
  });
  const bool during = Pump([&] { return events_.receives.size() >= 3; });
  stop.store(true);
  writer.join();
  ASSERT_TRUE(during) << "events held back while bytes kept coming";
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll().size() == sent.size(); }));
  EXPECT_EQ(events_.ReceivedAll(), sent);
}

TEST_F(PtyArrivalTest, StoppingEndsAWaitAtOnce) {
  auto port = std::make_unique<TSerialPort>(main_, MappedSerialDeviceOpener(map_));
  port->SetPort(spCOM5);
  port->SetDelay(60000);
  port->Open();
  main_.PumpFor(20ms);
  const auto start = std::chrono::steady_clock::now();
  port.reset();  // stops the thread and joins it
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

}  // namespace
}  // namespace korvane
