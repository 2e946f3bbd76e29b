#include <gtest/gtest.h>

#include <chrono>

#include "PollHarness.h"
#include "poll/ControllerSession.h"

namespace korvane {
namespace {

// Register values of the default map: SP 75 at 0, PV 250 at 1, Out 400 (40.0) at 2,
// Ki 50 (0.5) at 11, Kd 7 at 12, Kp 100 (10.0) at 13.
std::vector<std::uint16_t> ControllerRegisters() {
  std::vector<std::uint16_t> regs(20, 0);
  regs[0] = 75;
  regs[1] = 250;
  regs[2] = 400;
  regs[11] = 50;
  regs[12] = 7;
  regs[13] = 100;
  return regs;
}

class ReceiveTest : public ::testing::Test {
 protected:
  void SetUp() override { h.cycle.PollTimerTimer(); }  // Poll 1 is in flight
  test::PollHarness h;
};

// --- a good reply -------------------------------------------------------------

TEST_F(ReceiveTest, GoodReplyShowsDataOkAndTheValues) {
  h.view.Clock = 3.5f;
  h.cycle.Serial1PortReceive(test::HoldingReply(ControllerRegisters()));
  EXPECT_EQ(h.view.Status(), "Poll 1 Data OK");
  EXPECT_EQ(h.view.Shown.at(ValueBox::PV), " 250.000");
  EXPECT_EQ(h.view.Shown.at(ValueBox::Out), "  40.000");
  EXPECT_EQ(h.view.Shown.at(ValueBox::SetPt), "  75.000");
  EXPECT_EQ(h.view.Shown.at(ValueBox::K), "  10.000");
  EXPECT_EQ(h.view.Shown.at(ValueBox::Ki), "   0.500");
  EXPECT_EQ(h.view.Shown.at(ValueBox::Kd), "   7.000");
  ASSERT_EQ(h.view.Samples.size(), 1u);
  EXPECT_FLOAT_EQ(h.view.Samples[0].Time, 3.5f);
  EXPECT_FLOAT_EQ(h.view.Samples[0].PV, 250.0f);
  EXPECT_FLOAT_EQ(h.view.Samples[0].SP, 75.0f);
  EXPECT_FLOAT_EQ(h.view.Samples[0].Out, 40.0f);
  EXPECT_EQ(h.view.RePlots, 1);
}

TEST_F(ReceiveTest, ReplyInTwoPiecesAddsTwoChartPoints) {
  const std::string reply = test::HoldingReply(ControllerRegisters());
  h.cycle.Serial1PortReceive(reply.substr(0, 10));
  EXPECT_EQ(h.view.Status(), "Poll 1");
  h.cycle.Serial1PortReceive(reply.substr(10));
  EXPECT_EQ(h.view.Status(), "Poll 1 Data OK");
  ASSERT_EQ(h.view.Samples.size(), 2u);
  EXPECT_FLOAT_EQ(h.view.Samples[0].PV, 0.0f);  // first piece: the previous values
  EXPECT_FLOAT_EQ(h.view.Samples[1].PV, 250.0f);
  EXPECT_EQ(h.view.RePlots, 2);
}

TEST_F(ReceiveTest, AsciiReplyGivesTheSameValues) {
  h.settings.Link.RtuMode = false;
  h.cycle.PollTimerTimer();  // Poll 2, ASCII
  std::string bytes = test::Bytes("01 03 28");
  for (std::uint16_t r : ControllerRegisters()) {
    bytes.push_back(static_cast<char>(r >> 8));
    bytes.push_back(static_cast<char>(r & 0xFF));
  }
  bytes.push_back(static_cast<char>(Lrc(bytes)));
  std::string ascii = ":";
  for (char c : test::Hex(bytes)) {
    if (c != ' ') ascii.push_back(c);
  }
  ascii += "\r\n";
  h.cycle.Serial1PortReceive(ascii);
  EXPECT_EQ(h.view.Status(), "Poll 2 Data OK");
  EXPECT_EQ(h.view.Shown.at(ValueBox::PV), " 250.000");
  EXPECT_EQ(h.view.Shown.at(ValueBox::K), "  10.000");
}

// --- failed replies -------------------------------------------------------------

TEST_F(ReceiveTest, ExceptionReplyKeepsTheValues) {
  h.cycle.Serial1PortReceive(test::HoldingReply(ControllerRegisters()));
  h.cycle.PollTimerTimer();  // Poll 2
  h.view.ShowCalls.clear();
  h.cycle.Serial1PortReceive(test::Bytes("01 83 02 C0 F1"));
  EXPECT_EQ(h.view.Status(), "Poll 2 EC2 Illegal Data Address");
  EXPECT_TRUE(h.view.ShowCalls.empty());
  EXPECT_FLOAT_EQ(h.cycle.Values().PV, 250.0f);
  ASSERT_EQ(h.view.Samples.size(), 2u);
  EXPECT_FLOAT_EQ(h.view.Samples[1].PV, 250.0f);  // the failed reply plots the previous values
}

TEST_F(ReceiveTest, ExceptionCodeElevenShowsTheNumber) {
  h.cycle.Serial1PortReceive(test::WithCrc(test::Bytes("01 83 0B")));
  EXPECT_EQ(h.view.Status(), "Poll 1 EC11");
}

TEST_F(ReceiveTest, ChecksumErrorKeepsTheValues) {
  std::string reply = test::HoldingReply(ControllerRegisters());
  reply.back() = static_cast<char>(reply.back() ^ 0x55);
  h.cycle.Serial1PortReceive(reply);
  EXPECT_EQ(h.view.Status(), "Poll 1 Checksum incorrect");
  EXPECT_FLOAT_EQ(h.cycle.Values().PV, 0.0f);
}

// --- the write prefix ------------------------------------------------------------

TEST_F(ReceiveTest, WriteEchoReadsWithTheWritePrefix) {
  h.view.Entries[ValueBox::SetPt] = "250";
  h.cycle.SPWriteClick();
  h.cycle.PollTimerTimer();
  h.cycle.Serial1PortReceive(test::Bytes("01 06 00 19 00 FA D8 4E"));
  EXPECT_EQ(h.view.Status(), "Write -  Data OK");
}

// --- chart pause and chart errors ---------------------------------------------

TEST_F(ReceiveTest, PausedChartGetsNoPointsButTheBoxesUpdate) {
  h.view.Paused = true;
  h.cycle.Serial1PortReceive(test::HoldingReply(ControllerRegisters()));
  EXPECT_EQ(h.view.Status(), "Poll 1 Data OK");
  EXPECT_EQ(h.view.Shown.at(ValueBox::PV), " 250.000");
  EXPECT_TRUE(h.view.Samples.empty());
  EXPECT_EQ(h.view.RePlots, 0);
}

TEST_F(ReceiveTest, ChartErrorReachesTheCallerAfterTheReplyIsHandled) {
  h.view.ChartFails = true;
  EXPECT_THROW(h.cycle.Serial1PortReceive(test::HoldingReply(ControllerRegisters())), std::runtime_error);
  EXPECT_EQ(h.view.Status(), "Poll 1 Data OK");
  EXPECT_FLOAT_EQ(h.cycle.Values().PV, 250.0f);
  h.view.ChartFails = false;
  h.cycle.PollTimerTimer();
  h.cycle.Serial1PortReceive(test::HoldingReply(ControllerRegisters()));
  EXPECT_EQ(h.view.Status(), "Poll 2 Data OK");
}

TEST_F(ReceiveTest, ChunkedReadsFillTheImageOverSeveralTicks) {
  h.settings.Link.Baud = 300;  // 4 registers per read: 5..8, 9..12, 13..16, 17..20, 1..4
  const auto regs = ControllerRegisters();
  for (int tick = 0; tick < 5; ++tick) {
    h.cycle.PollTimerTimer();
    const int first = h.state.ChunkStart;
    std::vector<std::uint16_t> chunk(regs.begin() + (first - 1), regs.begin() + (first + 3));
    h.cycle.Serial1PortReceive(test::HoldingReply(chunk));
    EXPECT_EQ(h.view.Status(), "Poll " + std::to_string(tick + 2) + " Data OK");
  }
  EXPECT_EQ(h.view.Shown.at(ValueBox::PV), " 250.000");
  EXPECT_EQ(h.view.Shown.at(ValueBox::K), "  10.000");
}

// --- result observers ------------------------------------------------------

struct RecordingObserver : ResultObserver {
  void RequestSent(bool write) override { events.push_back(write ? "sent write" : "sent read"); }
  void ReplyChecked(std::int32_t result, bool write) override {
    events.push_back(std::string(write ? "write " : "read ") + std::to_string(result));
  }
  std::vector<std::string> events;
};

TEST_F(ReceiveTest, ObserversSeeEveryRequestAndEveryCheckedPieceUntilRemoved) {
  RecordingObserver observer;
  h.cycle.AddResultObserver(&observer);
  const std::string reply = test::HoldingReply(ControllerRegisters());
  h.cycle.Serial1PortReceive(reply.substr(0, 5));
  h.cycle.Serial1PortReceive(reply.substr(5));
  h.view.Entries[ValueBox::SetPt] = "80";
  h.cycle.SPWriteClick();
  h.cycle.PollTimerTimer();
  h.cycle.Serial1PortReceive(test::WithCrc(test::Bytes("01 06 00 19 00 50")));
  h.cycle.RemoveResultObserver(&observer);
  h.cycle.PollTimerTimer();
  EXPECT_EQ(observer.events, (std::vector<std::string>{"read 0", "read 1", "sent write", "write 1"}));
}

struct TickObserver : ResultObserver {
  void RequestSent(bool) override {}
  void ReplyChecked(std::int32_t, bool) override {}
  void PieceReceived(std::string_view, std::uint32_t tick) override { ticks.push_back(tick); }
  std::vector<std::uint32_t> ticks;
};

TEST_F(ReceiveTest, ObserversGetThePiecesArrivalTickOrNowWithoutOne) {
  TickObserver observer;
  h.cycle.AddResultObserver(&observer);
  h.now = 5000;
  h.cycle.Serial1PortReceive("\x01", 4990);
  h.cycle.Serial1PortReceive("\x03");
  h.cycle.RemoveResultObserver(&observer);
  EXPECT_EQ(observer.ticks, (std::vector<std::uint32_t>{4990, 5000}));
}

TEST(ArrivalTick, IsNowLessTheAgeOfTheReadOrNowWithoutAUsableRead) {
  const auto now = std::chrono::steady_clock::now();
  EXPECT_EQ(ArrivalTick(1000, now - std::chrono::milliseconds(7)), 993u);
  EXPECT_EQ(ArrivalTick(3, now - std::chrono::milliseconds(7)), 0xFFFFFFFCu);  // wraps with the tick
  EXPECT_EQ(ArrivalTick(1000, std::chrono::steady_clock::time_point{}), 1000u);
  EXPECT_EQ(ArrivalTick(1000, now + std::chrono::seconds(5)), 1000u);
  EXPECT_EQ(ArrivalTick(1000, now - std::chrono::minutes(5)), 1000u);
}

}  // namespace
}  // namespace korvane
