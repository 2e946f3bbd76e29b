// The receive thread on a device that waits for input: bytes go on once the
// line is quiet, within Delay of their arrival when it never is, in
// deliveries no larger than the receive queue; a hang-up and a stop end a
// wait at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"
#include "FakeSerialDevice.h"
#include "SerialTestSupport.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

// The far end sends one byte at a time with the given spacing until told to
// stop (or for at most 10 s); the bytes count up 0, 1, 2 ... modulo 256.
class Sender {
 public:
  Sender(test::FakeLine& line, std::chrono::microseconds spacing)
      : thread_([this, &line, spacing] {
          const auto end = std::chrono::steady_clock::now() + 10s;
          while (!stop_.load() && std::chrono::steady_clock::now() < end) {
            line.Send(std::string(1, static_cast<char>(sent_.load())));
            sent_.fetch_add(1);
            std::this_thread::sleep_for(spacing);
          }
        }) {}
  ~Sender() { Stop(); }
  void Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
  }
  int Sent() const { return sent_.load(); }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> sent_{0};
  std::thread thread_;
};

bool CountsUp(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) != i % 256) return false;
  }
  return true;
}

class ReceiveArrivalTest : public ::testing::Test {
 protected:
  ReceiveArrivalTest() {
    line_->SetCanWait(true);
    port_->SetPort(spCOM4);
    port_->SetBaudRate(br009600);  // a quiet gap of 3.6 ms
    events_.Attach(*port_);
  }
  bool Pump(const std::function<bool()>& pred) { return main_.PumpUntil(pred, 3s); }

  QueueDispatcher main_;
  std::shared_ptr<test::FakeLine> line_ = std::make_shared<test::FakeLine>();
  test::EventLog events_;
  std::unique_ptr<TSerialPort> port_ =
      std::make_unique<TSerialPort>(main_, std::make_shared<test::FakeOpener>(line_));
};

TEST_F(ReceiveArrivalTest, AReplyGoesOnOnceTheLineIsQuietNotAfterDelay) {
  port_->SetDelay(60000);  // a pass far longer than the test may wait
  port_->Open();
  line_->Send(std::string("\x01\x03\x02\x00\x07\xF8\x46", 7));
  ASSERT_TRUE(Pump([&] { return !events_.receives.empty(); }));
  EXPECT_EQ(events_.receives, std::vector<std::string>{std::string("\x01\x03\x02\x00\x07\xF8\x46", 7)});
}

TEST_F(ReceiveArrivalTest, ADribbleThatNeverFallsQuietIsStillDeliveredEveryDelay) {
  port_->SetDelay(40);
  port_->Open();
  Sender sender(*line_, 1000us);  // the 3.6 ms gap never comes
  const bool during = Pump([&] { return events_.receives.size() >= 3; });
  sender.Stop();
  ASSERT_TRUE(during) << "events held back while bytes kept coming";
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll().size() == static_cast<std::size_t>(sender.Sent()); }));
  EXPECT_TRUE(CountsUp(events_.ReceivedAll()));
}

TEST_F(ReceiveArrivalTest, AFloodComesInFewLargeDeliveries) {
  port_->SetDelay(20);
  port_->Open();
  Sender sender(*line_, 20us);
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll().size() >= 2000; }));
  sender.Stop();
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll().size() == static_cast<std::size_t>(sender.Sent()); }));
  EXPECT_TRUE(CountsUp(events_.ReceivedAll()));
  EXPECT_LT(events_.receives.size() * 10, events_.ReceivedAll().size());  // far from one per byte
}

TEST_F(ReceiveArrivalTest, NoDeliveryIsLargerThanTheReceiveQueue) {
  port_->SetInputBuffer(64);
  port_->SetDelay(60000);
  port_->Open();
  std::string block(1000, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i);
  line_->Send(block);
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll().size() == block.size(); }));
  EXPECT_EQ(events_.ReceivedAll(), block);
  for (const std::string& piece : events_.receives) EXPECT_LE(piece.size(), 64u);
}

TEST_F(ReceiveArrivalTest, AHangUpEndsTheWaitAndTheConnection) {
  port_->SetDelay(60000);
  port_->Open();
  main_.PumpFor(20ms);  // the thread is waiting now
  line_->SetGone();
  ASSERT_TRUE(Pump([&] { return port_->ConnectedPort() == spNone; }));
  EXPECT_EQ(events_.disconnects, std::vector<TCommPort>{spCOM4});
  EXPECT_TRUE(events_.receives.empty());  // nothing was gathered: no empty event
}

TEST_F(ReceiveArrivalTest, BytesGatheredBeforeAHangUpAreStillHandedOn) {
  port_->SetBaudRate(br000110);  // a quiet gap of 318 ms
  port_->SetDelay(60000);
  port_->Open();
  main_.PumpFor(20ms);
  line_->Send("xyz");
  ASSERT_TRUE(Pump([&] { return line_->Unread() == 0; }));
  line_->SetGone();  // read, but (most likely) before the quiet gap is over
  ASSERT_TRUE(Pump([&] { return port_->ConnectedPort() == spNone; }));
  EXPECT_EQ(events_.ReceivedAll(), "xyz");
}

TEST_F(ReceiveArrivalTest, ModemLinesAreStillCheckedEveryDelayWhileBytesFlow) {
  port_->SetDelay(20);
  port_->Open();
  Sender sender(*line_, 500us);
  line_->SetModemStatus(modem::kCtsOn);
  ASSERT_TRUE(Pump([&] { return events_.lines.size() == 1; }));
  EXPECT_EQ(events_.lines[0], LineStatusBit(lsCTS));
}

TEST_F(ReceiveArrivalTest, TheReadTimeLiesBetweenTheSendAndTheEvent) {
  port_->Open();
  main_.PumpFor(10ms);
  const auto sent = std::chrono::steady_clock::now();
  line_->Send("abc");
  ASSERT_TRUE(Pump([&] { return !events_.receives.empty(); }));
  EXPECT_GE(port_->ReceivedAt(), sent);
  EXPECT_LE(port_->ReceivedAt(), std::chrono::steady_clock::now());
}

// At 110 baud the quiet gap (set when the line settings are applied) is
// 350 ms: bytes 20 ms apart are one reply, handed on once and stamped with
// the read of its last byte, a gap before the hand-over.
TEST_F(ReceiveArrivalTest, ASlowLineGathersByItsOwnGapAndStampsTheLastRead) {
  port_->SetBaudRate(br000110);
  port_->SetDelay(60000);
  port_->Open();
  main_.PumpFor(10ms);
  for (char c : std::string("abcde")) {
    line_->Send(std::string(1, c));
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(Pump([&] { return !events_.receives.empty(); }));
  const auto handedOn = std::chrono::steady_clock::now();
  EXPECT_EQ(events_.receives, std::vector<std::string>{"abcde"});
  EXPECT_LE(port_->ReceivedAt(), handedOn - 300ms);
}

TEST_F(ReceiveArrivalTest, StoppingDoesNotWaitOutALongDelay) {
  port_->SetDelay(60000);
  port_->Open();
  main_.PumpFor(20ms);
  const auto start = std::chrono::steady_clock::now();
  port_.reset();  // stops the thread and joins it
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(events_.disconnects, std::vector<TCommPort>{spCOM4});
}

}  // namespace
}  // namespace korvane
