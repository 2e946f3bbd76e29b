// Modbus slave handling and RTU/ASCII framing of the simulator.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ControllerDevice.h"
#include "Framer.h"
#include "SlaveEngine.h"
#include "SlaveProtocol.h"
#include "support/TestSupport.h"

namespace korvane::sim {
namespace {

using korvane::test::FromHex;
using korvane::test::ToHex;

DeviceParams Quiet() {
  DeviceParams d;
  d.Process.Noise = 0;
  d.Setpoint = 100;
  return d;
}

struct Slave {
  ControllerDevice device{Quiet()};
  std::optional<std::string> Ask(std::string_view hex) { return HandleRequest(device, 1, FromHex(hex)); }
};

TEST(SlaveProtocol, ReadsTwentyRegistersFromAddressZero) {
  Slave s;
  auto reply = s.Ask("01 03 00 00 00 14");
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->size(), 3u + 40u);
  EXPECT_EQ(ToHex(reply->substr(0, 3)), "01 03 28");
  EXPECT_EQ(ToHex(reply->substr(3, 2)), "00 64");        // SP 100
  EXPECT_EQ(ToHex(reply->substr(3 + 2 * 13, 2)), "00 50");  // Kp 8.0 % as 80
  EXPECT_EQ(ToHex(reply->substr(3 + 2 * 11, 2)), "00 FA");  // Ki 2.50 as 250
}

TEST(SlaveProtocol, FunctionFourReadsTheSameMap) {
  Slave s;
  EXPECT_EQ(ToHex(*s.Ask("01 04 00 19 00 01")), "01 04 02 00 64");
}

TEST(SlaveProtocol, UnsupportedFunctionsAnswerException1) {
  Slave s;
  EXPECT_EQ(ToHex(*s.Ask("01 01 00 00 00 08")), "01 81 01");
  EXPECT_EQ(ToHex(*s.Ask("01 05 00 00 FF 00")), "01 85 01");
  EXPECT_EQ(ToHex(*s.Ask("01 2B 0E 01 00")), "01 AB 01");
}

TEST(SlaveProtocol, AddressesOutsideTheMapAnswerException2) {
  Slave s;
  EXPECT_EQ(ToHex(*s.Ask("01 03 00 1F 00 01")).substr(0, 5), "01 03");  // last register exists
  EXPECT_EQ(ToHex(*s.Ask("01 03 00 1F 00 02")), "01 83 02");
  EXPECT_EQ(ToHex(*s.Ask("01 03 FF FF 00 01")), "01 83 02");
  EXPECT_EQ(ToHex(*s.Ask("01 06 00 01 00 05")), "01 86 02");  // PV is read only
  EXPECT_EQ(ToHex(*s.Ask("01 10 00 0C 00 03 06 00 05 00 06 00 07")), "01 90 02");
}

TEST(SlaveProtocol, BadQuantitiesAndValuesAnswerException3) {
  Slave s;
  EXPECT_EQ(ToHex(*s.Ask("01 03 00 00 00 00")), "01 83 03");
  EXPECT_EQ(ToHex(*s.Ask("01 03 00 00 00 7E")), "01 83 03");
  EXPECT_EQ(ToHex(*s.Ask("01 10 00 0B 00 02 03 00 05 00 06")), "01 90 03");  // byte count
  EXPECT_EQ(ToHex(*s.Ask("01 06 00 19 01 F5")), "01 86 03");  // setpoint 501 beyond the span
}

TEST(SlaveProtocol, WritesEchoAndTakeEffect) {
  Slave s;
  EXPECT_EQ(ToHex(*s.Ask("01 06 00 19 00 FA")), "01 06 00 19 00 FA");
  EXPECT_EQ(s.device.Read(reg::SP), 250);
  EXPECT_EQ(ToHex(*s.Ask("01 10 00 0B 00 03 06 00 64 00 05 00 C8")), "01 10 00 0B 00 03");
  EXPECT_DOUBLE_EQ(s.device.Controller().Factors().Integral, 1.0);
  EXPECT_DOUBLE_EQ(s.device.Controller().Factors().Derivative, 5.0);
  EXPECT_DOUBLE_EQ(s.device.Controller().Factors().ProportionalBand, 20.0);
}

TEST(SlaveProtocol, MultipleWriteIsAllOrNothing) {
  Slave s;
  // Ki and Kd fine, register 13 given 10000 (over 999.9 %): nothing written.
  EXPECT_EQ(ToHex(*s.Ask("01 10 00 0B 00 03 06 00 64 00 05 27 10")), "01 90 03");
  EXPECT_DOUBLE_EQ(s.device.Controller().Factors().Integral, 2.5);
}

TEST(SlaveProtocol, OtherAddressesAreIgnoredAndBroadcastWritesSilent) {
  Slave s;
  EXPECT_FALSE(s.Ask("02 03 00 00 00 14"));
  EXPECT_FALSE(s.Ask("F7 06 00 19 00 FA"));
  EXPECT_EQ(s.device.Read(reg::SP), 100);
  EXPECT_FALSE(s.Ask("00 06 00 19 00 C8"));
  EXPECT_EQ(s.device.Read(reg::SP), 200);
  EXPECT_FALSE(s.Ask("00 03 00 00 00 01"));
}

TEST(SlaveProtocol, TheFloatMapServesCdabFloatsInBothTables) {
  DeviceParams params = Quiet();
  params.Map = FindSimMap("float");
  ASSERT_NE(params.Map, nullptr);
  Slave s{ControllerDevice(params)};
  const std::vector<std::pair<const char*, const char*>> rows = {
      {"01 03 0B B8 00 02", "01 03 04 00 00 42 C8"},              // SP 100.0 at 3000
      {"01 04 10 00 00 04", "01 04 08 00 00 41 A0 00 00 00 00"},  // PV 20.0, Out 0.0 at input 4096
      {"01 03 10 00 00 02", "01 03 04 00 00 41 00"},              // Kp 8.0 at holding 4096
      {"01 10 0B B8 00 02 04 00 00 42 F7", "01 10 0B B8 00 02"},  // SP 123.5 written whole
      {"01 03 0B B8 00 02", "01 03 04 00 00 42 F7"},
      {"01 06 0B B8 00 00", "01 86 02"},                          // half a float
      {"01 03 0B B7 00 02", "01 83 02"},                          // outside the map's areas
      {"01 10 0B B8 00 02 04 00 00 44 00", "01 90 03"},           // SP 512 beyond the span
  };
  for (const auto& [request, reply] : rows) EXPECT_EQ(ToHex(*s.Ask(request)), reply) << request;
}

// ---- framing ----

TEST(RtuFramer, EncodesTheModbusCrcLowByteFirst) {
  RtuFramer f(5);
  EXPECT_EQ(ToHex(f.Encode(FromHex("01 03 00 00 00 14"), false)), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(ToHex(f.Encode(FromHex("01 83 02"), false)), "01 83 02 C0 F1");
  EXPECT_NE(ToHex(f.Encode(FromHex("01 83 02"), true)), "01 83 02 C0 F1");
}

TEST(RtuFramer, CompletesAFrameInPiecesByItsLength) {
  RtuFramer f(5);
  EXPECT_TRUE(f.Feed(FromHex("01 03 00"), 0).empty());
  EXPECT_TRUE(f.Feed(FromHex("00 00 14 45"), 1).empty());
  auto frames = f.Feed(FromHex("C5"), 2);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(ToHex(frames[0]), "01 03 00 00 00 14");
  EXPECT_FALSE(f.Deadline());
}

TEST(RtuFramer, SkipsNoiseBeforeAFrameAndTakesTwoFramesBackToBack) {
  RtuFramer f(5);
  auto frames = f.Feed(FromHex("00 FF 4F 70 01 03 00 00 00 14 45 C5 01 06 00 19 00 FA D8 4E"), 0);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(ToHex(frames[1]), "01 06 00 19 00 FA");
}

TEST(RtuFramer, ABadCrcGivesNothingAndTheNextFrameAfterTheGapIsTaken) {
  RtuFramer f(5);
  EXPECT_TRUE(f.Feed(FromHex("01 03 00 00 00 14 45 C6"), 0).empty());
  ASSERT_TRUE(f.Deadline());
  EXPECT_TRUE(f.Expire(*f.Deadline()).empty());
  EXPECT_EQ(f.Rejected(), 1u);
  EXPECT_EQ(f.Feed(FromHex("01 03 00 00 00 14 45 C5"), 100).size(), 1u);
}

TEST(RtuFramer, AFrameOfUnknownLengthEndsAtTheSilence) {
  RtuFramer f(5);
  std::string frame = f.Encode(FromHex("01 2B 0E 01 00"), false);
  EXPECT_TRUE(f.Feed(frame, 10).empty());
  EXPECT_EQ(*f.Deadline(), 15);
  auto frames = f.Expire(15);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(ToHex(frames[0]), "01 2B 0E 01 00");
}

TEST(RtuFramer, TheGapFollowsTheBitRate) {
  EXPECT_EQ(RtuGap(9600, 1), 5);    // 3.5 x 11 bits = 4.01 ms, rounded up
  EXPECT_EQ(RtuGap(2400, 1), 17);
  EXPECT_EQ(RtuGap(115200, 1), 2);
  EXPECT_EQ(RtuGap(115200, 5), 5);
}

TEST(AsciiFramer, DecodesEitherCaseChecksTheLrcAndEncodesUpperCase) {
  AsciiFramer f;
  auto frames = f.Feed(":010300000014e8\r\n", 0);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(ToHex(frames[0]), "01 03 00 00 00 14");
  EXPECT_TRUE(f.Feed(":010300000014E9\r\n", 1).empty());
  EXPECT_EQ(f.Rejected(), 1u);
  EXPECT_EQ(f.Encode(FromHex("01 83 02"), false), ":0183027A\r\n");
  EXPECT_EQ(f.Encode(FromHex("01 83 02"), true), ":0183027B\r\n");
}

TEST(AsciiFramer, AColonRestartsAndNoiseOutsideFramesIsDropped) {
  AsciiFramer f;
  auto frames = f.Feed("Open Port:0103\n:01030000", 0);
  EXPECT_TRUE(frames.empty());
  frames = f.Feed("0014E8\r\n", 1);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(f.Rejected(), 1u);  // the abandoned ":0103"
}

TEST(AsciiFramer, OddDigitsNonHexAndUnfinishedFramesAreDropped) {
  AsciiFramer f(1000);
  EXPECT_TRUE(f.Feed(":01030000014E8\r", 0).empty());
  EXPECT_TRUE(f.Feed(":0103000G0014E8\r", 0).empty());
  EXPECT_TRUE(f.Feed(":0103", 0).empty());
  EXPECT_EQ(*f.Deadline(), 1000);
  f.Expire(1000);
  EXPECT_TRUE(f.Feed("000014E8\r", 1001).empty());
  EXPECT_EQ(f.Rejected(), 3u);
}

// ---- the engine: a whole line exchange ----

struct Line {
  ControllerDevice device{Quiet()};
  FaultPlan faults;
  RtuFramer rtu{5};
  AsciiFramer ascii;
  SlaveEngine engine;
  explicit Line(bool useRtu = true) : engine(device, useRtu ? static_cast<Framer&>(rtu) : ascii, faults, 1, 5) {}
  std::string Exchange(std::string_view wire, Millis now) {
    engine.Receive(wire, now);
    engine.Expire(now + 10);
    return engine.TakeDue(now + 10);
  }
};

TEST(MbapFramer, TakesFramesByTheirLengthAndAnswersUnderTheirTransaction) {
  MbapFramer f;
  // Two requests in one piece and the start of a third.
  auto bodies = f.Feed(FromHex("00 07 00 00 00 06 01 03 00 00 00 14  00 08 00 00 00 06 01 06 00 19 00 FA  00 09 00"), 0);
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_EQ(ToHex(bodies[0]), "01 03 00 00 00 14");
  EXPECT_EQ(ToHex(f.Encode(FromHex("01 83 02"), false)), "00 07 00 00 00 03 01 83 02");
  EXPECT_EQ(ToHex(f.Encode(FromHex("01 06 00 19 00 FA"), true)), "00 08 00 01 00 06 01 06 00 19 00 FA");
  bodies = f.Feed(FromHex("00 00 06 01 03 00 00 00 01"), 1);
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(ToHex(f.Encode(FromHex("01 03 02 00 64"), false).substr(0, 2)), "00 09");
}

TEST(MbapFramer, AHeaderThatIsNoModbusThrowsTheStreamAway) {
  MbapFramer f;
  EXPECT_TRUE(f.Feed("GET / HTTP/1.1\r\n", 0).empty());
  EXPECT_EQ(f.Rejected(), 1u);
  EXPECT_EQ(f.Feed(FromHex("00 01 00 00 00 06 01 03 00 00 00 14"), 1).size(), 1u);
}

TEST(SlaveEngine, AnswersOnlyItsOwnGoodFrames) {
  Line l;
  EXPECT_EQ(ToHex(l.Exchange(FromHex("01 03 00 1F 00 02 F5 CD"), 0)), "01 83 02 C0 F1");
  EXPECT_EQ(l.Exchange(FromHex("02 03 00 00 00 14 45 F6"), 100), "");
  EXPECT_EQ(l.Exchange(FromHex("01 03 00 00 00 14 45 C4"), 200), "");
  EXPECT_EQ(l.engine.Requests(), 2u);
  EXPECT_EQ(l.engine.Replies(), 1u);
}

TEST(SlaveEngine, AnswersAnUnknownFunctionAfterTheSilence) {
  Line l;
  RtuFramer enc(5);
  l.engine.Receive(enc.Encode(FromHex("01 2B 0E 01 00"), false), 0);
  EXPECT_EQ(l.engine.TakeDue(0), "");
  EXPECT_EQ(*l.engine.NextEvent(), 5);
  l.engine.Expire(5);
  EXPECT_EQ(ToHex(l.engine.TakeDue(5)), ToHex(enc.Encode(FromHex("01 AB 01"), false)));
}

TEST(SlaveEngine, AsciiExchange) {
  Line l(false);
  std::string reply = l.Exchange(":010300000014E8\r\n", 0);
  EXPECT_EQ(reply.size(), 91u);
  EXPECT_EQ(reply.substr(0, 7), ":010328");
  EXPECT_EQ(l.Exchange(":0103001F0002DB\r\n", 100), ":0183027A\r\n");
}

}  // namespace
}  // namespace korvane::sim
