// The read plan: which requests fetch a map's registers.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <string>
#include <vector>

#include "PollHarness.h"
#include "support/TestSupport.h"
#include "poll/ReadPlan.h"

namespace korvane {
namespace {

constexpr RegisterTable H = RegisterTable::Holding;
constexpr RegisterTable I = RegisterTable::Input;

struct PlanRow {
  const char* What;
  std::array<ValueRegisters, 7> Values;  // PV, SP, Out, Hys, Kp, Ki, Kd
  std::vector<PlanRequest> Plan;
};

TEST(ReadPlan, FewestRequestsThatFit) {
  const std::vector<PlanRow> rows = {
      {"default map: today's read",
       {{{H, 1, 1}, {H, 0, 1}, {H, 2, 1}, {H, 17, 1}, {H, 13, 1}, {H, 11, 1}, {H, 12, 1}}},
       {{H, 0, 20}}},
      {"a 32-bit value ending at 19 still fits today's block",
       {{{H, 1, 1}, {H, 0, 1}, {H, 2, 1}, {H, 17, 1}, {H, 13, 1}, {H, 11, 1}, {H, 18, 2}}},
       {{H, 0, 20}}},
      {"input values in 0..19 come from the input table, not today's block",
       {{{I, 1, 1}, {H, 0, 1}, {I, 2, 1}, {H, 17, 1}, {H, 13, 1}, {H, 11, 1}, {H, 12, 1}}},
       {{H, 0, 20}, {I, 1, 2}}},
      {"float map: three areas",
       {{{I, 4096, 2}, {H, 3000, 2}, {I, 4098, 2}, {H, 3002, 2}, {H, 4096, 2}, {H, 4098, 2}, {H, 4100, 2}}},
       {{H, 3000, 4}, {H, 4096, 6}, {I, 4096, 4}}},
      {"a gap of 9 registers is joined, one of 10 is not",
       {{{H, 100, 1}, {H, 110, 1}, {H, 200, 1}, {H, 211, 1}, {H, 211, 1}, {H, 211, 1}, {H, 211, 1}}},
       {{H, 100, 11}, {H, 200, 1}, {H, 211, 1}}},
      {"at most 125 registers per request",
       {{{H, 0, 1}, {H, 8, 1}, {H, 16, 1}, {H, 24, 1}, {H, 120, 1}, {H, 124, 2}, {H, 126, 1}}},
       {{H, 0, 25}, {H, 120, 7}}},
      {"three areas: holding 100 and 500, input 9000",
       {{{I, 9000, 1}, {H, 100, 1}, {I, 9001, 1}, {H, 101, 1}, {H, 500, 1}, {H, 501, 1}, {H, 502, 1}}},
       {{H, 100, 2}, {H, 500, 3}, {I, 9000, 2}}},
      {"registers outside 0..65535 are not read",
       {{{H, -1, 1}, {H, 65535, 2}, {H, 65535, 1}, {H, 65536, 1}, {H, 65535, 1}, {H, 65535, 1}, {H, 65535, 1}}},
       {{H, 65535, 1}}},
  };
  for (const PlanRow& row : rows) {
    SCOPED_TRACE(row.What);
    EXPECT_EQ(MakeReadPlan(row.Values), row.Plan);
  }
}

// The poll cycle walks the plan: one request after the other within a tick.
TEST(ReadPlan, EachRequestFollowsTheReplyBeforeIt) {
  test::PollHarness h;
  RegisterMap& m = h.settings.Map;
  m.AddrPV = 4096;
  m.LayoutPV = {RegisterFormat::F32, WordOrder::CDAB, RegisterTable::Input};
  m.AddrKd = 3000;
  m.LayoutKd = {RegisterFormat::S32, WordOrder::DCBA};
  m.FactorKd = 1;
  h.cycle.PollTimerTimer();
  ASSERT_EQ(h.sent.size(), 1u);
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 03 00 00 00 12");  // SP 0 .. Hys 17
  h.cycle.Serial1PortReceive(test::HoldingReply(std::vector<std::uint16_t>(18, 0)));
  ASSERT_EQ(h.sent.size(), 2u);
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 03 0B B8 00 02");
  h.cycle.Serial1PortReceive(test::WithCrc(test::Bytes("01 03 04 90 EE FE FF")));  // Kd -70000 in DCBA
  ASSERT_EQ(h.sent.size(), 3u);
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 04 10 00 00 02");
  h.cycle.Serial1PortReceive(test::WithCrc(test::Bytes("01 04 04 20 00 47 F1")));  // PV 123456.0 in CDAB
  EXPECT_EQ(h.sent.size(), 3u);
  EXPECT_FLOAT_EQ(h.cycle.Values().Kd, -70000.0f);
  EXPECT_FLOAT_EQ(h.cycle.Values().PV, 123456.0f);
  EXPECT_EQ(h.view.Status(), "Poll 1 Data OK");
}

TEST(ReadPlan, AFailedRequestKeepsItsValuesAndTheTickShowsItsFirstFailure) {
  test::PollHarness h;
  RegisterMap& m = h.settings.Map;
  m = RegisterMap{};
  m.AddrPV = 4096;
  m.LayoutPV.Table = RegisterTable::Input;
  for (std::int32_t* a : {&m.AddrSP, &m.AddrOut, &m.AddrHys, &m.AddrKp, &m.AddrKi, &m.AddrKd}) *a = 3000;
  const auto reply = [&](const char* hex) { h.cycle.Serial1PortReceive(test::WithCrc(test::Bytes(hex))); };
  h.cycle.PollTimerTimer();
  reply("01 03 02 00 07");  // SP and the rest: 7
  reply("01 04 02 00 05");  // PV 5
  h.cycle.PollTimerTimer();
  reply("01 83 02");
  EXPECT_EQ(h.view.Status(), "Poll 2 EC2 Illegal Data Address");
  reply("01 04 02 00 06");
  EXPECT_EQ(h.view.Status(), "Poll 2 EC2 Illegal Data Address");
  EXPECT_FLOAT_EQ(h.cycle.Values().PV, 6.0f);
  EXPECT_FLOAT_EQ(h.cycle.Values().SP, 7.0f);
  // A request that gets no answer at all: the next goes once its time is up.
  h.cycle.PollTimerTimer();
  ASSERT_EQ(h.sent.size(), 5u);
  h.cycle.CheckPlanDeadline();
  EXPECT_EQ(h.sent.size(), 5u);
  h.now += static_cast<std::uint32_t>(h.settings.Poll.ResponseTime) + 1;
  h.cycle.CheckPlanDeadline();
  EXPECT_EQ(h.view.Status(), "Poll 3 Time Out occurred");
  ASSERT_EQ(h.sent.size(), 6u);
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 04 10 00 00 01");
}

}  // namespace
}  // namespace korvane

// Pseudo-terminals are POSIX only.
#ifndef _WIN32
namespace korvane {
namespace {

// A scripted peer on a pseudo-terminal answers the first request of a plan
// late. Its late reply is never taken for the request after it: the values
// of that request come from its own reply. The tick count is the test's.
struct LateRow {
  const char* What;
  bool Rtu;
  std::int32_t SpCount;        // registers of the first request (SP at 100, Hys after it)
  bool PartBeforeDeadline;     // part of the late reply arrives before the deadline
  const char* Status;
};

TEST(ReadPlan, ALateReplyIsNeverTakenForTheNextRequest) {
  const LateRow rows[] = {
      {"RTU, late reply of another length after the next request", true, 3, false, "Poll 1 Time Out occurred"},
      {"ASCII, late reply of another length after the next request", false, 3, false, "Poll 1 Time Out occurred"},
      {"RTU, late reply still arriving when its time is up", true, 2, true, "Poll 1 Time Out occurred"},
      // An ASCII reply that has begun (its ':' is in) has 3 s to end: it is in time.
      {"ASCII, reply begun before its time is up", false, 2, true, "Poll 1 Data OK"},
  };
  for (const LateRow& row : rows) {
    SCOPED_TRACE(row.What);
    test::PtyPair line;
    test::PollHarness h;
    h.settings.Link.RtuMode = row.Rtu;
    RegisterMap& m = h.settings.Map;
    m.AddrSP = 100;
    m.AddrHys = 100 + row.SpCount - 1;
    m.AddrKp = 500;
    m.AddrKi = m.AddrKd = 501;
    m.AddrPV = 9000;
    m.AddrOut = 9001;
    m.LayoutPV.Table = m.LayoutOut.Table = RegisterTable::Input;
    m.FactorKp = m.FactorKi = m.FactorKd = 1;
    // Korvane's end of the line: what the cycle sends goes out, what arrives is checked.
    const auto deliver = [&] {
      const std::string request = h.sent.back();
      ASSERT_EQ(::write(line.SlaveFd(), request.data(), request.size()), static_cast<ssize_t>(request.size()));
      line.ReadAtLeast(request.size(), test::Millis(2000));  // the peer reads it
    };
    const auto receive = [&](const std::string& bytes) {
      line.Write(bytes);
      std::string piece(bytes.size(), '\0');
      ASSERT_EQ(::read(line.SlaveFd(), piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
      h.cycle.Serial1PortReceive(piece);
    };
    const auto frame = [&](std::string bytes) {
      if (row.Rtu) return test::WithCrc(bytes);
      std::string ascii = ":" + test::Hex(bytes + static_cast<char>(Lrc(bytes))) + "\r\n";
      ascii.erase(std::remove(ascii.begin(), ascii.end(), ' '), ascii.end());
      return ascii;
    };
    std::string late = test::Bytes("01 03");
    late.push_back(static_cast<char>(2 * row.SpCount));
    for (int i = 0; i < row.SpCount; ++i) late += test::Bytes("00 0A");
    late = frame(late);

    h.cycle.PollTimerTimer();  // SP's request: no answer in time
    deliver();
    if (row.PartBeforeDeadline) {
      h.now += 399;
      receive(late.substr(0, 4));
    }
    h.now += row.PartBeforeDeadline ? 2 : 401;
    h.cycle.CheckPlanDeadline();
    if (row.PartBeforeDeadline) {
      receive(late.substr(4));  // the rest, while the line settles: discarded
      h.now += 10;
      h.cycle.CheckPlanDeadline();
    }
    ASSERT_EQ(h.sent.size(), 2u);
    deliver();
    if (!row.PartBeforeDeadline) receive(late);  // after the next request went out
    receive(frame(test::Bytes("01 03 04 00 07 00 08")));  // K 7, Ki 8, Kd 8
    EXPECT_FLOAT_EQ(h.cycle.Values().Kp, 7.0f);
    EXPECT_FLOAT_EQ(h.cycle.Values().Ki, 8.0f);
    EXPECT_EQ(h.sent.size(), 3u);  // and the plan went on to its input request
    EXPECT_EQ(h.view.Status(), row.Status);
  }
}

}  // namespace
}  // namespace korvane
#endif

namespace korvane {
namespace {

// Polls never pile up: a tick while the round before is still on the line sends nothing.
TEST(ReadPlan, ATickSendsNoSecondRoundOnTopOfTheFirst) {
  struct Row {
    const char* What;
    std::uint32_t After;     // ms after the round's first request
    const char* LatePiece;   // arrives just before the tick ("" none)
    bool NewRound;
  };
  const Row rows[] = {
      {"its reply is awaited within the response time", 100, "", false},
      {"its reply is overdue and the line quiet", 401, "", true},
      {"the line is still busy after the deadline", 401, "01 03", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.What);
    test::PollHarness h;
    h.settings.Map.AddrKp = 500;  // two requests: holding 0..19 and 500
    h.cycle.PollTimerTimer();
    h.now += row.After;
    if (*row.LatePiece != '\0') h.cycle.Serial1PortReceive(test::Bytes(row.LatePiece));
    h.cycle.PollTimerTimer();
    EXPECT_EQ(h.cycle.PollCount(), row.NewRound ? 2 : 1);
    ASSERT_EQ(h.sent.size(), row.NewRound ? 2u : 1u);
    EXPECT_EQ(h.sent.back(), h.sent.front());  // a new round starts at the plan's first request
  }
}

}  // namespace
}  // namespace korvane
