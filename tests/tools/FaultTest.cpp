// Fault injection and the stdin commands, with simulated time.

#include <gtest/gtest.h>

#include "ControllerDevice.h"
#include "Faults.h"
#include "Framer.h"
#include "SimCommands.h"
#include "SimOptions.h"
#include "SlaveEngine.h"
#include "support/TestSupport.h"

namespace korvane::sim {
namespace {

using korvane::test::FromHex;
using korvane::test::ToHex;

const std::string kRead = FromHex("01 03 00 00 00 01 84 0A");

DeviceParams Quiet() {
  DeviceParams d;
  d.Process.Noise = 0;
  d.Setpoint = 100;
  return d;
}

struct Line {
  ControllerDevice device{Quiet()};
  FaultPlan faults{7};
  RtuFramer framer{5};
  SlaveEngine engine{device, framer, faults, 1, 5};
  std::string good = framer.Encode(FromHex("01 03 02 00 64"), false);

  void Fault(std::string_view text) {
    struct Fault f;
    std::string error;
    ASSERT_TRUE(ParseFault(text, f, &error)) << error;
    faults.Set(f);
  }
  // Sends a read at `now`; returns what the slave sent from then until `until`.
  std::string Ask(Millis now, Millis until) {
    engine.Receive(kRead, now);
    std::string out;
    for (Millis t = now; t <= until; ++t) {
      engine.Expire(t);
      out += engine.TakeDue(t);
    }
    return out;
  }
};

TEST(Faults, CorruptEveryThirdReply) {
  Line l;
  l.Fault("corrupt-crc:every=3");
  EXPECT_EQ(l.Ask(0, 20), l.good);
  EXPECT_EQ(l.Ask(100, 120), l.good);
  std::string bad = l.Ask(200, 220);
  ASSERT_EQ(bad.size(), l.good.size());
  EXPECT_EQ(bad.substr(0, 5), l.good.substr(0, 5));
  EXPECT_NE(bad, l.good);
  EXPECT_EQ(l.Ask(300, 320), l.good);
}

TEST(Faults, LateReplyComesAfterTheDelayAndNotBefore) {
  Line l;
  l.Fault("late 1500");
  EXPECT_EQ(l.Ask(0, 1499), "");
  EXPECT_EQ(*l.engine.NextEvent(), 1500);
  EXPECT_EQ(l.engine.TakeDue(1500), l.good);
}

TEST(Faults, SplitReplyComesInPiecesWithPauses) {
  Line l;
  l.Fault("split 3 pause=100");
  l.engine.Receive(kRead, 0);
  std::string a = l.engine.TakeDue(99);
  std::string b = l.engine.TakeDue(199);
  std::string c = l.engine.TakeDue(200);
  EXPECT_EQ(a.size(), 2u);
  EXPECT_EQ(b.size(), 2u);
  EXPECT_EQ(c.size(), 3u);
  EXPECT_EQ(a + b + c, l.good);
}

TEST(Faults, DropOnceThenAnswerAgain) {
  Line l;
  l.Fault("drop:count=1");
  EXPECT_EQ(l.Ask(0, 50), "");
  EXPECT_EQ(l.Ask(100, 150), l.good);
  EXPECT_TRUE(l.faults.Empty());
}

TEST(Faults, ExceptionReplacesTheReply) {
  Line l;
  l.Fault("exception:code=2");
  EXPECT_EQ(ToHex(l.Ask(0, 20)), "01 83 02 C0 F1");
}

TEST(Faults, SilentAnswersNothingUntilCleared) {
  Line l;
  l.Fault("silent");
  EXPECT_EQ(l.Ask(0, 50), "");
  EXPECT_EQ(l.Ask(100, 150), "");
  l.faults.Clear();
  EXPECT_EQ(l.Ask(200, 250), l.good);
}

TEST(Faults, NoiseFollowsTheReplyAfterAGap) {
  Line l;
  l.Fault("noise 6");
  l.engine.Receive(kRead, 0);
  EXPECT_EQ(l.engine.TakeDue(4), l.good);
  std::string noise = l.engine.TakeDue(5);
  EXPECT_EQ(noise.size(), 6u);
}

TEST(Faults, VanishStopsTheEngine) {
  Line l;
  l.Fault("vanish:every=2");
  EXPECT_EQ(l.Ask(0, 10), l.good);
  EXPECT_FALSE(l.engine.Vanished());
  EXPECT_EQ(l.Ask(100, 110), "");
  EXPECT_TRUE(l.engine.Vanished());
}

TEST(Faults, ParsingBothFormsAndRefusals) {
  Fault f;
  std::string e;
  ASSERT_TRUE(ParseFault("late:ms=700,count=2", f, &e));
  EXPECT_EQ(Describe(f), "late ms=700 count=2");
  ASSERT_TRUE(ParseFault("split 4 50 every=2", f, &e));
  EXPECT_EQ(Describe(f), "split pause=50 pieces=4 every=2");
  EXPECT_FALSE(ParseFault("late fast", f, &e));
  EXPECT_FALSE(ParseFault("jam", f, &e));
  EXPECT_FALSE(ParseFault("drop 3", f, &e));
  EXPECT_FALSE(ParseFault("exception 0", f, &e));
  EXPECT_FALSE(ParseFault("corrupt every=0", f, &e));
  EXPECT_FALSE(ParseFault("late -5", f, &e));
}

TEST(Commands, SwitchFaultsAndWriteTheController) {
  ControllerDevice device(Quiet());
  FaultPlan faults;
  EXPECT_EQ(RunCommand("fault late 1500", device, faults).Reply, "fault late ms=1500");
  EXPECT_EQ(faults.Active().size(), 1u);
  EXPECT_EQ(RunCommand("fault corrupt", device, faults).Reply, "fault corrupt");
  EXPECT_EQ(faults.Active().size(), 2u);
  EXPECT_EQ(RunCommand("fault none", device, faults).Reply, "fault none");
  EXPECT_TRUE(faults.Empty());
  EXPECT_EQ(RunCommand("fault wobble", device, faults).Reply.substr(0, 6), "error:");
  EXPECT_EQ(RunCommand("sp 150\r", device, faults).Reply, "sp 150");
  EXPECT_DOUBLE_EQ(device.Setpoint(), 150);
  EXPECT_EQ(RunCommand("sp 120.5", device, faults).Reply, "sp 120.5");
  EXPECT_DOUBLE_EQ(device.Setpoint(), 120.5);
  EXPECT_EQ(RunCommand("sp 9999", device, faults).Reply.substr(0, 6), "error:");
  EXPECT_EQ(RunCommand("sp 12,5", device, faults).Reply, "error: sp takes a number");
  EXPECT_EQ(RunCommand("set 13 50", device, faults).Reply, "set 13 50");
  EXPECT_DOUBLE_EQ(device.Controller().Factors().ProportionalBand, 5.0);
  EXPECT_EQ(RunCommand("set 1 50", device, faults).Reply.substr(0, 6), "error:");
  EXPECT_TRUE(RunCommand("vanish", device, faults).Vanish);
  EXPECT_TRUE(RunCommand("quit", device, faults).Quit);
  EXPECT_EQ(RunCommand("   ", device, faults).Reply, "");
  EXPECT_NE(RunCommand("show", device, faults).Reply.find("sp=120.5"), std::string::npos);
}

TEST(Options, ParsesLineProcessAndFaultOptions) {
  const char* argv[] = {"korvane-sim", "--ascii", "--baud", "19200", "--slave", "17", "--com", "COM7",
                        "--tau", "5", "--speed", "4", "--fault", "corrupt-lrc:every=3",
                        "--fault", "late:ms=900", "--tau2", "7", "--integrating", "--balance", "35"};
  SimOptions o;
  std::string e;
  ASSERT_TRUE(ParseOptions(21, argv, o, &e)) << e;
  EXPECT_DOUBLE_EQ(o.Device_.Process.SecondLag, 7);
  EXPECT_TRUE(o.Device_.Process.Integrating);
  EXPECT_DOUBLE_EQ(o.Device_.Process.Balance, 35);
  EXPECT_FALSE(o.Rtu);
  EXPECT_EQ(o.Baud, 19200);
  EXPECT_EQ(o.Slave, 17);
  EXPECT_EQ(o.ComName, "COM7");
  EXPECT_DOUBLE_EQ(o.Device_.Process.TimeConstant, 5);
  EXPECT_DOUBLE_EQ(o.Speed, 4);
  ASSERT_EQ(o.Faults.size(), 2u);
  EXPECT_EQ(o.Faults[0].Every, 3);
}

TEST(Options, TcpAndRtuOverTcpNameTheScheme) {
  const char* tcp[] = {"korvane-sim", "--tcp", "5020"};
  const char* rtu[] = {"korvane-sim", "--rtu-tcp", "0", "--ascii"};
  SimOptions o;
  std::string e;
  ASSERT_TRUE(ParseOptions(3, tcp, o, &e)) << e;
  EXPECT_EQ(o.TcpScheme, "tcp");
  EXPECT_EQ(o.TcpPort, 5020);
  SimOptions r;
  ASSERT_TRUE(ParseOptions(4, rtu, r, &e)) << e;
  EXPECT_EQ(r.TcpScheme, "rtu+tcp");
  EXPECT_FALSE(r.Rtu);
}

TEST(Options, RefusesNonsense) {
  std::string e;
  for (auto bad : std::vector<std::vector<const char*>>{{"x", "--slave", "0"},
                                                         {"x", "--com", "COM100"},
                                                         {"x", "--com", "LPT1"},
                                                         {"x", "--parity", "X"},
                                                         {"x", "--speed", "0"},
                                                         {"x", "--fault", "jam"},
                                                         {"x", "--setpoint", "900"},
                                                         {"x", "--baud"},
                                                         {"x", "--tcp", "65536"},
                                                         {"x", "--rtu-tcp", "-1"},
                                                         {"x", "--tcp", "0", "--device", "/dev/null"},
                                                         {"x", "--tau2", "-1"},
                                                         {"x", "--balance", "101"},
                                                         {"x", "--frobnicate"}}) {
    SimOptions o;
    EXPECT_FALSE(ParseOptions(static_cast<int>(bad.size()), bad.data(), o, &e)) << bad[1];
  }
}

}  // namespace
}  // namespace korvane::sim
