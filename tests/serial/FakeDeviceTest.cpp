// The component and its receive thread over a fake device: modem lines,
// refused settings, the calls made at open and close, writes and handler
// errors.
#include <gtest/gtest.h>

#include <chrono>

#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"
#include "FakeSerialDevice.h"
#include "SerialTestSupport.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using test::MessageOf;

class FakeDeviceTest : public ::testing::Test {
 protected:
  FakeDeviceTest() {
    port_.SetPort(spCOM4);
    port_.SetDelay(5);
    events_.Attach(port_);
  }
  bool Pump(const std::function<bool()>& pred) { return main_.PumpUntil(pred, 3s); }

  QueueDispatcher main_;
  std::shared_ptr<test::FakeLine> line_ = std::make_shared<test::FakeLine>();
  std::shared_ptr<test::FakeOpener> opener_ = std::make_shared<test::FakeOpener>(line_);
  test::EventLog events_;  // before the port: its destructor still raises OnDisconnect
  TSerialPort port_{main_, opener_};
};

// ---- Open and close ----

TEST_F(FakeDeviceTest, OpenAppliesSettingsTimeoutsAndQueuesInThatOrder) {
  port_.Open();
  auto calls = line_->Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], "open COM4");
  EXPECT_EQ(calls[1], "state 1011");
  EXPECT_EQ(calls[2], "timeouts");
  EXPECT_EQ(calls[3], "queues 4096/4096");
  EXPECT_EQ(line_->Timeouts().WriteTotalTimeoutConstant, 1000u);
  EXPECT_EQ(port_.ConnectedPort(), spCOM4);
  EXPECT_EQ(events_.connects, std::vector<TCommPort>{spCOM4});
}

TEST_F(FakeDeviceTest, CloseRaisesDisconnectThenPurgesAndCloses) {
  port_.Open();
  port_.Close();
  EXPECT_EQ(port_.ConnectedPort(), spNone);
  EXPECT_EQ(events_.disconnects, std::vector<TCommPort>{spCOM4});
  auto calls = line_->Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2], "purge");
  EXPECT_EQ(calls.back(), "close");
  EXPECT_FALSE(line_->Open());
}

TEST_F(FakeDeviceTest, RefusedSettingsAtOpenRaiseCannotConnectAndCloseTheDevice) {
  line_->SetRefuseState(true);
  EXPECT_EQ(MessageOf([&] { port_.Open(); }), "Cannot connect to COM4.");
  EXPECT_EQ(port_.ConnectedPort(), spNone);
  EXPECT_TRUE(events_.connects.empty());
  EXPECT_TRUE(events_.disconnects.empty());
  EXPECT_FALSE(line_->Open());
  line_->SetRefuseState(false);
  EXPECT_NO_THROW(port_.Open());  // the device was given back
  EXPECT_EQ(port_.ConnectedPort(), spCOM4);
}

TEST_F(FakeDeviceTest, RefusedSettingOnAnOpenPortRaisesKeepsTheValueAndThePort) {
  port_.Open();
  line_->SetRefuseState(true);
  EXPECT_EQ(MessageOf([&] { port_.SetBaudRate(br057600); }), "Cannot connect to COM4.");
  EXPECT_EQ(port_.BaudValue(), 57600u);
  EXPECT_EQ(port_.ConnectedPort(), spCOM4);
}

TEST_F(FakeDeviceTest, LineSettersReapplyTheWholeBlockEvenWithoutAChange) {
  port_.Open();
  const std::size_t before = line_->States().size();
  port_.SetParity(pbNone);
  port_.SetDataWidth(dw8Bits);
  port_.SetEnableDTROnOpen(true);  // unchanged: not re-applied
  port_.SetHwFlowControl(hfRTSCTS);
  auto states = line_->States();
  ASSERT_EQ(states.size(), before + 3);
  EXPECT_EQ(states.back().Flags, 0x3015u);
}

TEST_F(FakeDeviceTest, AnAbsentDeviceRaisesWithoutEvents) {
  opener_->SetAbsent("COM4");
  EXPECT_EQ(MessageOf([&] { port_.Open(); }), "Cannot connect to COM4.");
  EXPECT_TRUE(events_.connects.empty());
  EXPECT_TRUE(events_.disconnects.empty());
}

TEST_F(FakeDeviceTest, OpenOnAnotherPortClosesTheFirstConnection) {
  port_.Open();
  port_.SetPort(spCOM5);
  port_.Open();
  EXPECT_EQ(port_.ConnectedPort(), spCOM5);
  EXPECT_EQ(events_.disconnects, std::vector<TCommPort>{spCOM4});
  EXPECT_EQ(events_.connects, (std::vector<TCommPort>{spCOM4, spCOM5}));
}

// ---- Modem lines ----

TEST_F(FakeDeviceTest, LinesAlreadyOnAtOpenAreReportedOnTheFirstPass) {
  line_->SetModemStatus(modem::kCtsOn | modem::kDsrOn);
  port_.Open();
  ASSERT_TRUE(Pump([&] { return !events_.lines.empty(); }));
  EXPECT_EQ(events_.lines[0], LineStatusBit(lsCTS) | LineStatusBit(lsDSR));
  EXPECT_EQ(port_.LastLineStatus(), 0x03);
  main_.PumpFor(50ms);
  EXPECT_EQ(events_.lines.size(), 1u);  // unchanged lines: no further event
}

TEST_F(FakeDeviceTest, NoLinesOnAndNothingReportedBeforeGivesNoEvent) {
  port_.Open();
  main_.PumpFor(100ms);
  EXPECT_TRUE(events_.lines.empty());
}

// The lines are looked at once per Delay (5 ms here); those of a device
// without lines, once a second at most.
TEST_F(FakeDeviceTest, LinesAreLookedAtEveryDelayAndSeldomWithoutThem) {
  for (const bool has : {true, false}) {
    SCOPED_TRACE(has ? "with lines" : "without lines");
    line_->SetNoModemLines(!has);
    const int before = line_->ModemReads();
    port_.Open();
    main_.PumpFor(300ms);
    const int reads = line_->ModemReads() - before;
    port_.Close();
    if (has) {
      EXPECT_GE(reads, 10);
    } else {
      EXPECT_LE(reads, 2);
    }
  }
}

TEST_F(FakeDeviceTest, EachChangeOfTheLinesIsReportedOnce) {
  port_.Open();
  line_->SetModemStatus(modem::kRingOn | modem::kRlsdOn);
  ASSERT_TRUE(Pump([&] { return events_.lines.size() == 1; }));
  EXPECT_EQ(events_.lines[0], LineStatusBit(lsRING) | LineStatusBit(lsRLSD));
  line_->SetModemStatusFails(true);  // a failed query counts as all off
  ASSERT_TRUE(Pump([&] { return events_.lines.size() == 2; }));
  EXPECT_EQ(events_.lines[1], 0);
}

TEST_F(FakeDeviceTest, LastReportedLinesSurviveAReopen) {
  line_->SetModemStatus(modem::kCtsOn);
  port_.Open();
  ASSERT_TRUE(Pump([&] { return events_.lines.size() == 1; }));
  port_.Close();
  port_.Open();
  main_.PumpFor(60ms);
  EXPECT_EQ(events_.lines.size(), 1u);  // still CTS only: nothing new
}

// ---- Receiving ----

TEST_F(FakeDeviceTest, EverythingQueuedArrivesAsOneEvent) {
  port_.SetDelay(100);
  port_.Open();
  main_.PumpFor(20ms);
  line_->Send(std::string("\x01\x00\x02", 3));
  line_->Send(std::string(500, 'x'));
  ASSERT_TRUE(Pump([&] { return !events_.receives.empty(); }));
  ASSERT_EQ(events_.receives.size(), 1u);
  EXPECT_EQ(events_.receives[0].size(), 503u);
  EXPECT_EQ(port_.ReceivedData(), events_.receives[0]);
}

TEST_F(FakeDeviceTest, AThrowingReceiveHandlerDoesNotStopTheLoop) {
  int calls = 0;
  port_.OnReceive = [&](TSerialPort&, const std::string&) {
    ++calls;
    throw std::runtime_error("handler failed");
  };
  port_.Open();
  line_->Send("a");
  ASSERT_TRUE(Pump([&] { return calls == 1; }));
  line_->Send("b");
  ASSERT_TRUE(Pump([&] { return calls == 2; }));
  EXPECT_EQ(port_.ConnectedPort(), spCOM4);
}

TEST_F(FakeDeviceTest, AThrowingLineHandlerDoesNotStopTheLoop) {
  port_.OnLineStatusChange = [](TSerialPort&, TLineStatusSet) { throw 42; };
  line_->SetModemStatus(modem::kCtsOn);
  port_.Open();
  line_->Send("z");
  ASSERT_TRUE(Pump([&] { return !events_.receives.empty(); }));
  EXPECT_EQ(events_.receives[0], "z");
}

TEST_F(FakeDeviceTest, AHungUpDeviceEndsTheConnectionWithADisconnect) {
  port_.Open();
  line_->SetGone();
  ASSERT_TRUE(Pump([&] { return port_.ConnectedPort() == spNone; }));
  EXPECT_EQ(events_.disconnects, std::vector<TCommPort>{spCOM4});
  EXPECT_FALSE(line_->Open());
  EXPECT_EQ(MessageOf([&] { port_.WriteString("x"); }), "COM4 is not open.");
  port_.Close();
  EXPECT_NO_THROW(port_.Open());  // the device is back
  EXPECT_EQ(port_.ConnectedPort(), spCOM4);
}

// ---- Writing ----

TEST_F(FakeDeviceTest, WriteStringStopsAtTheFirstZeroByte) {
  port_.Open();
  EXPECT_EQ(port_.WriteString(std::string("ab\0cd", 5)), 2u);
  EXPECT_EQ(line_->Written(), "ab");
  EXPECT_EQ(events_.sends, std::vector<std::string>{"ab"});
}

TEST_F(FakeDeviceTest, WriteStringOfNothingStillReportsTheSend) {
  port_.Open();
  EXPECT_EQ(port_.WriteString(""), 0u);
  EXPECT_EQ(events_.sends, std::vector<std::string>{""});
}

TEST_F(FakeDeviceTest, WriteBufferSendsZeroBytesAndReportsAnEmptySend) {
  port_.Open();
  const std::string frame("\x01\x06\x00\x00\x00\x00\x89\xCA", 8);
  EXPECT_EQ(port_.WriteBuffer(frame.data(), frame.size()), 8u);
  EXPECT_EQ(line_->Written(), frame);
  EXPECT_EQ(events_.sends, std::vector<std::string>{""});
}

TEST_F(FakeDeviceTest, WriteBufferOfZeroBytesRaisesNotOpenOnAnOpenPort) {
  port_.Open();
  char byte = 0;
  EXPECT_EQ(MessageOf([&] { port_.WriteBuffer(&byte, 0); }), "COM4 is not open.");
}

TEST_F(FakeDeviceTest, AThrowingSendHandlerBecomesNotOpen) {
  port_.Open();
  port_.OnSend = [](TSerialPort&, const std::string&) { throw std::runtime_error("no"); };
  EXPECT_EQ(MessageOf([&] { port_.WriteString("x"); }), "COM4 is not open.");
  EXPECT_EQ(line_->Written(), "x");
}

// ---- Lifetime ----

// Sleeps a tenth of what it is asked, so Close's 500-pass bound runs out fast.
class QuickSleepDispatcher : public QueueDispatcher {
 public:
  void Sleep(unsigned milliseconds) override { QueueDispatcher::Sleep(milliseconds / 10); }
};

TEST(SerialPortLifetime, CloseGivesUpAfterItsBoundAndTheThreadIsStillJoinedLater) {
  // A receive handler that calls Close: the thread waits for the handler,
  // so Close runs out its bound, forgets the thread and returns; the
  // destructor then joins the thread without touching freed memory.
  QuickSleepDispatcher main_;
  auto line = std::make_shared<test::FakeLine>();
  auto port = std::make_unique<TSerialPort>(main_, std::make_shared<test::FakeOpener>(line));
  port->SetPort(spCOM6);
  port->SetDelay(1);
  bool inHandler = false;
  port->OnReceive = [&](TSerialPort& sender, const std::string&) {
    if (inHandler) return;
    inHandler = true;
    sender.Close();  // inside the handler: the thread waits for this very call
  };
  port->Open();
  line->Send("x");
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(main_.PumpUntil([&] { return inHandler; }, 3s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(port->ConnectedPort(), spNone);
  EXPECT_THROW(port->WriteString("x"), SerialError);
  port.reset();  // joins the abandoned thread
  EXPECT_FALSE(line->Open());
}

}  // namespace
}  // namespace korvane
