#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "poll/WriteValue.h"
#include "PollHarness.h"

namespace korvane {
namespace {

// --- the strict number syntax ----------------------------------------------

TEST(ParseWriteNumber, AcceptsDecimalNumbersWithLeadingBlanks) {
  EXPECT_EQ(ParseWriteNumber("25"), 25.0);
  EXPECT_EQ(ParseWriteNumber(" 25.5"), 25.5);
  EXPECT_EQ(ParseWriteNumber("   -10"), -10.0);
  EXPECT_EQ(ParseWriteNumber("+7"), 7.0);
  EXPECT_EQ(ParseWriteNumber("5."), 5.0);
  EXPECT_EQ(ParseWriteNumber(".5"), 0.5);
  EXPECT_EQ(ParseWriteNumber("1e2"), 100.0);
  EXPECT_EQ(ParseWriteNumber("2.5E-1"), 0.25);
  EXPECT_EQ(ParseWriteNumber("-1E+3"), -1000.0);
}

TEST(ParseWriteNumber, RejectsAnythingElse) {
  for (const char* text : {"", "   ", "abc", "25 ", "25\t", "\t25", "12abc", "1,5", "25,000", ".", "-", "+",
                           "1e", "1e+", "e5", "1.2.3", "--1", "+-1", "0x10", "$10", "inf", "nan", "1 000",
                           "1_0", " - 1"}) {
    EXPECT_FALSE(ParseWriteNumber(text).has_value()) << '"' << text << '"';
  }
}

TEST(ParseWriteNumber, NumbersBeyondDoubleAreInfiniteOrZero) {
  EXPECT_EQ(ParseWriteNumber("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseWriteNumber("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseWriteNumber(std::string(400, '9')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseWriteNumber("1e-400"), 0.0);
  EXPECT_EQ(ParseWriteNumber("0.0000001e-400"), 0.0);
  EXPECT_EQ(ParseWriteNumber("1e99999999999999999999"), std::numeric_limits<double>::infinity());
}

// --- scaling and the range that arrives intact -----------------------------

TEST(ScaleWriteValue, RoundsHalvesToEven) {
  EXPECT_EQ(ScaleWriteValue(2.5, 1.0f, "Kd", "2.5").Value, 2);
  EXPECT_EQ(ScaleWriteValue(3.5, 1.0f, "Kd", "3.5").Value, 4);
  EXPECT_EQ(ScaleWriteValue(-2.5, 1.0f, "Kd", "-2.5").Value, -2);
  EXPECT_EQ(ScaleWriteValue(2.6, 1.0f, "Kd", "2.6").Value, 3);
  EXPECT_EQ(ScaleWriteValue(25.0, 0.1f, "setpoint", "25").Value, 250);
  EXPECT_EQ(ScaleWriteValue(25.5, 0.1f, "setpoint", "25.5").Value, 255);
}

TEST(ScaleWriteValue, RangeLimits) {
  EXPECT_TRUE(ScaleWriteValue(65535, 1.0f, "Kp", "").Ok);
  EXPECT_TRUE(ScaleWriteValue(-32768, 1.0f, "Kp", "").Ok);
  EXPECT_TRUE(ScaleWriteValue(65535.4, 1.0f, "Kp", "").Ok);
  EXPECT_FALSE(ScaleWriteValue(65535.6, 1.0f, "Kp", "").Ok);
  EXPECT_FALSE(ScaleWriteValue(-32768.6, 1.0f, "Kp", "").Ok);
  EXPECT_FALSE(ScaleWriteValue(1e300, 1e-30f, "Kp", "").Ok);
  EXPECT_FALSE(ScaleWriteValue(std::numeric_limits<double>::infinity(), 1.0f, "Kp", "").Ok);
  EXPECT_FALSE(ScaleWriteValue(std::nan(""), 1.0f, "Kp", "").Ok);
  EXPECT_FALSE(ScaleWriteValue(1.0, std::numeric_limits<float>::infinity() * 0.0f, "Kp", "").Ok);  // NaN factor
}

TEST(ScaleWriteValue, RefusalsSayWhy) {
  EXPECT_EQ(ScaleWriteValue(5, 0.0f, "Ki", "5").Refusal, "Write refused: the factor of Ki is 0.");
  EXPECT_EQ(ScaleWriteValue(5, -0.0f, "Ki", "5").Refusal, "Write refused: the factor of Ki is 0.");
  const std::pair<std::string, std::string> quoted[] = {{"  70000", "70000"},
                                                        {"12345678901234567890", "12345678901234567890"},
                                                        {"123456789012345678901", "12345678901234567890..."},
                                                        {" " + std::string(10000, '9'), "99999999999999999999..."}};
  for (const auto& [typed, shown] : quoted) {
    EXPECT_EQ(ScaleWriteValue(70000, 1.0f, "setpoint", typed).Refusal,
              "Write refused: setpoint " + shown +
                  " does not fit a controller register (-32768 to 65535 after scaling).");
  }
}

// --- the write step on the line ----------------------------------------------

class WriteStepTest : public ::testing::Test {
 protected:
  // Types `text` into the setpoint box, presses its Write button and ticks.
  void WriteSetpoint(const std::string& text, float factor = 1.0f) {
    h.settings.Map.FactorSP = factor;
    h.view.Entries[ValueBox::SetPt] = text;
    h.cycle.SPWriteClick();
    h.cycle.PollTimerTimer();
  }

  test::PollHarness h;
};

TEST_F(WriteStepTest, SetpointWithFactorTenthGoesToRegister26) {
  WriteSetpoint("25", 0.1f);
  EXPECT_EQ(h.LastSent(), "01 06 00 19 00 FA D8 4E");
  EXPECT_EQ(h.state.WriteAddress, 26);
  EXPECT_EQ(h.state.WriteCount, 1);
  EXPECT_EQ(h.state.WriteValues[0], 250);
  EXPECT_EQ(h.state.ReplyDeadline, 1400);
  EXPECT_EQ(h.view.Status(), "Write -");
}

TEST_F(WriteStepTest, LeadingBlankAndFraction) {
  WriteSetpoint(" 25.5", 0.1f);
  EXPECT_EQ(h.state.WriteValues[0], 255);
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 06 00 19 00 FF");
}

TEST_F(WriteStepTest, HalvesGoToEven) {
  WriteSetpoint("2.5");
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 06 00 19 00 02");
  WriteSetpoint("3.5");
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 06 00 19 00 04");
}

TEST_F(WriteStepTest, NegativeValueGoesOutInTwosComplement) {
  WriteSetpoint("-10", 0.1f);
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 06 00 19 FF 9C");
  WriteSetpoint("-32768");
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 06 00 19 80 00");
  WriteSetpoint("65535");
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 06 00 19 FF FF");
}

TEST_F(WriteStepTest, AsciiFraming) {
  h.settings.Link.RtuMode = false;
  WriteSetpoint("250");
  EXPECT_EQ(h.sent.back(), ":0106001900FAE6\r\n");
}

TEST_F(WriteStepTest, TextsThatDoNotParseSendNothingAndShowNothing) {
  h.view.SetStatus("Poll 7 Data OK");
  for (const char* text : {"25 ", "", "   ", "abc", "12abc", "25,000", "1e"}) {
    WriteSetpoint(text, 0.1f);
    EXPECT_TRUE(h.sent.empty()) << '"' << text << '"';
    EXPECT_EQ(h.cycle.PendingWrite(), 0) << '"' << text << '"';
    EXPECT_EQ(h.view.Status(), "Poll 7 Data OK") << '"' << text << '"';
  }
  EXPECT_TRUE(h.view.Refusals.empty());
  EXPECT_EQ(h.cycle.PollCount(), 0);
}

TEST_F(WriteStepTest, DisplayedValueWithCommaSeparatorDoesNotWriteBack) {
  h.view.Separator = ',';
  h.image.SetHoldingRegister(1, 1, 25);
  h.cycle.DisplayRegs();
  WriteSetpoint(h.view.Shown.at(ValueBox::SetPt));
  EXPECT_TRUE(h.sent.empty());
}

TEST_F(WriteStepTest, DisplayedValueWithPointWritesBackTheSameNumber) {
  h.image.SetHoldingRegister(1, 1, 25);
  h.cycle.DisplayRegs();
  WriteSetpoint(h.view.Shown.at(ValueBox::SetPt));  // "  25.000"
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 06 00 19 00 19");
}

TEST_F(WriteStepTest, LastButtonBeforeTheTickWins) {
  h.view.Entries[ValueBox::Kd] = "3";
  h.view.Entries[ValueBox::Ki] = "0.5";
  h.cycle.KdWriteClick();
  h.cycle.KiWriteClick();
  h.cycle.PollTimerTimer();
  ASSERT_EQ(h.sent.size(), 1u);
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 06 00 0B 00 32");  // register 12, 0.5 / 0.01
}

// One row per rule of where a write goes and how it is carried.
struct WhereRow {
  const char* What;
  void (*Map)(RegisterMap&);
  void (PollCycle::*Click)();
  ValueBox Box;
  const char* Text;
  const char* Frame;  // request without its CRC; empty: nothing sent
};

TEST_F(WriteStepTest, EachButtonWritesWhereTheMapSays) {
  using P = PollCycle;
  const std::vector<WhereRow> rows = {
      {"default SP", [](RegisterMap&) {}, &P::SPWriteClick, ValueBox::SetPt, "25", "01 06 00 19 00 19"},
      {"default Kp", [](RegisterMap&) {}, &P::KWriteClick, ValueBox::K, "1", "01 06 00 0D 00 0A"},
      {"default Ki", [](RegisterMap&) {}, &P::KiWriteClick, ValueBox::Ki, "1", "01 06 00 0B 00 64"},
      {"default Kd", [](RegisterMap&) {}, &P::KdWriteClick, ValueBox::Kd, "1", "01 06 00 0C 00 01"},
      {"Kp read at 3", [](RegisterMap& m) { m.AddrKp = 3; }, &P::KWriteClick, ValueBox::K, "1", "01 06 00 03 00 0A"},
      {"SP of a map unlike the default", [](RegisterMap& m) { m.AddrKp = 3; }, &P::SPWriteClick, ValueBox::SetPt, "25",
       "01 06 00 00 00 19"},
      {"SP at 0 when another value names a write address",
       [](RegisterMap& m) { m.LayoutKd.WriteAddress = 40; }, &P::SPWriteClick, ValueBox::SetPt, "25", "01 06 00 00 00 19"},
      {"SP write address 300", [](RegisterMap& m) { m.LayoutSP.WriteAddress = 300; }, &P::SPWriteClick,
       ValueBox::SetPt, "25", "01 06 01 2C 00 19"},
      {"f32 SP, not rounded",
       [](RegisterMap& m) {
         m.AddrSP = 100;
         m.LayoutSP.Format = RegisterFormat::F32;
       },
       &P::SPWriteClick, ValueBox::SetPt, "123.5", "01 10 00 64 00 02 04 42 F7 00 00"},
      {"s32-CDAB Kp",
       [](RegisterMap& m) {
         m.AddrKp = 200;
         m.FactorKp = 1;
         m.LayoutKp = {RegisterFormat::S32, WordOrder::CDAB};
       },
       &P::KWriteClick, ValueBox::K, "-70000", "01 10 00 C8 00 02 04 EE 90 FF FE"},
      {"Ki with a write address of its own beside Kd's",
       [](RegisterMap& m) {
         m.LayoutKi.WriteAddress = 300;
         m.LayoutKd = {RegisterFormat::S32, WordOrder::ABCD, RegisterTable::Holding, 400};
       },
       &P::KiWriteClick, ValueBox::Ki, "1", "01 06 01 2C 00 64"},
      {"SP in an input register", [](RegisterMap& m) { m.LayoutSP.Table = RegisterTable::Input; }, &P::SPWriteClick,
       ValueBox::SetPt, "25", ""},
  };
  for (const WhereRow& row : rows) {
    SCOPED_TRACE(row.What);
    test::PollHarness fresh;
    row.Map(fresh.settings.Map);
    fresh.view.Entries[row.Box] = row.Text;
    (fresh.cycle.*row.Click)();
    fresh.cycle.PollTimerTimer();
    const std::string frame = row.Frame;
    if (frame.empty()) {
      EXPECT_TRUE(fresh.sent.empty());
      ASSERT_EQ(fresh.view.Refusals.size(), 1u);
      EXPECT_EQ(fresh.view.Refusals[0], "Write refused: the setpoint is read from an input register, which cannot be written.");
    } else {
      EXPECT_EQ(fresh.LastSent().substr(0, frame.size()), frame);
    }
  }
}

// --- what the write observers (the tuning journal) are told -------------------

class WriteLog : public WriteObserver {
 public:
  void WriteSent(std::string_view what, double oldValue, double newValue) override {
    char line[96];
    std::snprintf(line, sizeof line, "%.*s %g -> %g", static_cast<int>(what.size()), what.data(), oldValue, newValue);
    lines.emplace_back(line);
  }
  void WriteAnswered(const std::string& text) override { lines.push_back(text); }
  void WriteRefused(std::string_view what, const std::string& reason) override {
    lines.push_back(std::string(what) + ": " + reason);
  }
  std::vector<std::string> lines;
};

struct ObservedWrite {
  ValueBox box;
  const char* text;
  const char* told;
  void (*map)(RegisterMap&) = nullptr;  // a layout other than the default's
};

void PrintTo(const ObservedWrite& w, std::ostream* os) { *os << w.told; }

class WriteObserverTest : public WriteStepTest, public ::testing::WithParamInterface<ObservedWrite> {};

// The controller shows SP 75, Kp 10, Ki 0.5 and Kd 7 (default map and
// factors); each write is told from the value shown to the value written.
TEST_P(WriteObserverTest, TellsTheShownValueAndTheWrittenOne) {
  WriteLog log;
  h.cycle.AddWriteObserver(&log);
  if (GetParam().map != nullptr) GetParam().map(h.settings.Map);
  std::vector<std::uint16_t> registers(20, 0);
  registers[0] = 75;
  registers[13] = 100;
  registers[11] = 50;
  registers[12] = 7;
  h.cycle.PollTimerTimer();
  h.cycle.Serial1PortReceive(test::HoldingReply(registers));
  h.cycle.WriteTextClick(GetParam().box, GetParam().text);
  h.cycle.PollTimerTimer();
  h.cycle.Serial1PortReceive(h.sent.back());  // a register write is answered with its echo
  h.cycle.RemoveWriteObserver(&log);
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines[0], GetParam().told);
  if (GetParam().map == nullptr) {
    EXPECT_EQ(log.lines, (std::vector<std::string>{GetParam().told, "Write -  Data OK"}));
  }
}

INSTANTIATE_TEST_SUITE_P(EachParameter, WriteObserverTest,
                         ::testing::Values(ObservedWrite{ValueBox::SetPt, "80", "setpoint 75 -> 80"},
                                           ObservedWrite{ValueBox::K, "12.5", "Kp 10 -> 12.5"},
                                           ObservedWrite{ValueBox::Ki, "0.25", "Ki 0.5 -> 0.25"},
                                           ObservedWrite{ValueBox::Kd, "9", "Kd 7 -> 9"},
                                           // Kp 100 in s32 CDAB at 13..14: told as written, whatever the order.
                                           ObservedWrite{ValueBox::K, "-70000", "Kp 100 -> -70000", [](RegisterMap& m) {
                                                           m.FactorKp = 1;
                                                           m.LayoutKp = {RegisterFormat::S32, WordOrder::CDAB};
                                                         }}));

// --- writes refused ----------------------------------------------------------

TEST_F(WriteStepTest, FactorZeroIsRefusedOnceAndTheNextTickReads) {
  WriteSetpoint("25", 0.0f);
  EXPECT_TRUE(h.sent.empty());
  EXPECT_EQ(h.cycle.PendingWrite(), 0);
  ASSERT_EQ(h.view.Refusals.size(), 1u);
  EXPECT_EQ(h.view.Refusals[0], "Write refused: the factor of setpoint is 0.");
  h.cycle.PollTimerTimer();
  EXPECT_EQ(h.LastSent(), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(h.view.Refusals.size(), 1u);
}

TEST_F(WriteStepTest, ValuesThatDoNotFitARegisterAreRefused) {
  for (const char* text : {"65536", "-32769", "1e10", "1e400", "-1e400"}) {
    WriteSetpoint(text);
    EXPECT_TRUE(h.sent.empty()) << text;
    EXPECT_EQ(h.cycle.PendingWrite(), 0) << text;
  }
  EXPECT_EQ(h.view.Refusals.size(), 5u);
  EXPECT_TRUE(h.view.Statuses.empty());
}

TEST_F(WriteStepTest, TinyFactorThatPushesTheValueOutOfRangeIsRefused) {
  WriteSetpoint("1", 1e-6f);
  EXPECT_TRUE(h.sent.empty());
  EXPECT_EQ(h.view.Refusals.size(), 1u);
}

}  // namespace
}  // namespace korvane
