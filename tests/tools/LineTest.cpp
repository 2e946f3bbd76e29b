// Several controllers on one line, with simulated time: faults stay with
// their controller, replies reach the line in the right frame, commands and
// --controller options act on the controller they name.

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <sstream>

#include "Framer.h"
#include "SimCommands.h"
#include "SimOptions.h"
#include "SimUnit.h"
#include "SlaveEngine.h"
#include "master/Mbap.h"
#include "support/TestSupport.h"

namespace korvane::sim {
namespace {

using korvane::test::FromHex;
using korvane::test::ToHex;

// Requests for each controller's setpoint, and the replies.
const std::string kAsk[] = {"", "01 03 00 00 00 01", "02 03 00 00 00 01", "03 03 0B B8 00 02"};
const std::string kSp1 = "01 03 02 00 64", kSp2 = "02 03 02 00 96", kSp3 = "03 03 04 00 00 42 A0";

// Controllers 1 (SP 100) and 2 (SP 150) with the default map and 3 (SP 80)
// with the float map.
struct ThreeOnALine {
  explicit ThreeOnALine(std::unique_ptr<Framer> f = std::make_unique<RtuFramer>(5)) : framer(std::move(f)) {
    for (int a : {1, 2, 3}) {
      ControllerSetup c{a, {}, {}};
      c.Device.Process.Noise = 0;
      c.Device.Setpoint = a == 1 ? 100 : a == 2 ? 150 : 80;
      if (a == 3) c.Device.Map = FindSimMap("float");
      units.push_back(controllers.emplace_back(c, false).Unit());
      engine.Add(units.back());
    }
  }
  void Fault(int address, const std::string& text) {
    struct Fault f;
    ASSERT_TRUE(ParseFault(text, f, nullptr)) << text;
    controllers[static_cast<std::size_t>(address - 1)].Faults().Set(f);
  }
  // Requests (time, address) in RTU; what the line carried until `until`, as "TIME: wire".
  std::vector<std::string> Run(const std::vector<std::pair<Millis, int>>& asks, Millis until) {
    std::vector<std::string> out;
    for (Millis t = 0; t <= until; ++t) {
      for (const auto& [at, address] : asks) {
        if (at == t) engine.Receive(framer->Encode(FromHex(kAsk[address]), false), t);
      }
      engine.Expire(t);
      if (std::string sent = engine.TakeDue(t); !sent.empty()) out.push_back(std::to_string(t) + ": " + ToHex(sent));
    }
    return out;
  }
  std::unique_ptr<Framer> framer;
  SlaveEngine engine{*framer, 5};
  std::deque<SimController> controllers;
  std::vector<SimUnit> units;
};

TEST(Line, FaultsOfOneControllerLeaveTheOthersAlone) {
  struct Row {
    const char* fault;  // of controller 2
    std::vector<std::pair<Millis, int>> asks;
    std::vector<std::pair<Millis, std::string>> replies;
  };
  const Row rows[] = {
      {"silent", {{0, 2}, {100, 1}, {200, 2}}, {{100, kSp1}}},
      // The late reply goes out at its time; 1 and 3 are served meanwhile.
      {"late 1500", {{0, 2}, {1000, 1}, {1100, 3}}, {{1000, kSp1}, {1100, kSp3}, {1500, kSp2}}},
      {"as-address 7 count=1", {{0, 2}, {100, 1}, {200, 2}}, {{0, "07 03 02 00 96"}, {100, kSp1}, {200, kSp2}}},
      {"exception 4", {{0, 2}, {100, 3}}, {{0, "02 83 04"}, {100, kSp3}}},
  };
  for (const Row& row : rows) {
    ThreeOnALine line;
    line.Fault(2, row.fault);
    std::vector<std::string> expected;
    for (const auto& [t, body] : row.replies) {
      expected.push_back(std::to_string(t) + ": " + ToHex(line.framer->Encode(FromHex(body), false)));
    }
    EXPECT_EQ(line.Run(row.asks, 2000), expected) << row.fault;
    EXPECT_TRUE(line.controllers[0].Faults().Empty());
  }
}

// The replies in wire form, worked out by hand: as-address with the
// checksum of the changed frame, and Modbus TCP replies under their own
// transaction past requests nobody answers (another unit, a broadcast).
TEST(Line, RepliesKeepTheirFrameInEveryFraming) {
  struct Row {
    const char* name;
    std::unique_ptr<Framer> (*framer)();
    std::string in, out;
  };
  auto rtu = [] { return std::unique_ptr<Framer>(new RtuFramer(5)); };
  auto ascii = [] { return std::unique_ptr<Framer>(new AsciiFramer()); };
  auto tcp = [] { return std::unique_ptr<Framer>(new MbapFramer()); };
  const Row rows[] = {
      {"rtu", rtu, RtuFramer(5).Encode(FromHex(kAsk[2]), false), FromHex("07 03 02 00 96 B0 2A")},
      {"ascii", ascii, ":020300000001FA\r\n", ":07030200965E\r\n"},
      {"tcp", tcp, MbapFrame(0x1234, FromHex(kAsk[2])), FromHex("12 34 00 00 00 05 07 03 02 00 96")},
      {"tcp after unit 9", tcp, MbapFrame(1, FromHex("09 03 00 00 00 01")) + MbapFrame(2, FromHex(kAsk[1])),
       MbapFrame(2, FromHex(kSp1))},
      {"tcp after a broadcast", tcp, MbapFrame(3, FromHex("00 06 00 19 00 78")) + MbapFrame(4, FromHex(kAsk[1])),
       MbapFrame(4, FromHex("01 03 02 00 78"))},
  };
  for (const Row& row : rows) {
    ThreeOnALine line(row.framer());
    line.Fault(2, "as-address:7");
    line.engine.Receive(row.in, 0);
    EXPECT_EQ(ToHex(line.engine.TakeDue(0)), ToHex(row.out)) << row.name;
  }
}

TEST(Line, EachProcessWaitsColdUntilItIsAsked) {
  ThreeOnALine line;
  line.Run({{0, 2}}, 10);
  for (int i = 0; i < 2; ++i) {
    for (auto& c : line.controllers) c.Tick(10.0, line.engine.RequestsTo(c.Address()) > 0);
  }
  EXPECT_DOUBLE_EQ(line.controllers[0].Device().ProcessTime(), 0.0);
  EXPECT_NEAR(line.controllers[1].Device().ProcessTime(), 10.0, 1e-6);  // from the tick after its request
  EXPECT_DOUBLE_EQ(line.controllers[2].Device().ProcessTime(), 0.0);
}

TEST(Line, CommandsActOnTheControllerTheyName) {
  const std::pair<const char*, const char*> rows[] = {  // command, what its answer starts with
      {"show 2", "@2 t=0.0s sp=150 pv=20.00 out=0.0% mode=auto pb=8.0% ki=2.50/min"},
      {"@2 sp 80", "@2 sp 80"},
      {"sp 70", "sp 70"},  // the first controller's, answered as ever
      {"show", "@1 t=0.0s sp=70 pv=20.00 out=0.0% mode=auto pb=8.0% ki=2.50/min kd=0s hys=1\n"
               "@2 t=0.0s sp=80 pv=20.00 out=0.0% mode=auto pb=8.0% ki=2.50/min kd=0s hys=1\n@3 t=0.0s sp=80 "},
      {"@3   fault as-address 9 count=2", "@3 fault as-address address=9 count=2"},
      {"@1 fault silent", "@1 fault silent"},
      {"@1 fault none", "@1 fault none"},
      {"@3 set 13 50", "error: no writable register there"},
      {"@9 sp 1", "error: no controller at address 9"},
      {"show 9", "error: no controller at address 9"},
      {"@2 quit", "error: quit acts on the whole line, without @"},
      {"@x sp 1", "error: @ takes a slave address"},
      {"@2 frob 3", "error: unknown command 'frob 3'"},
      {"@2 fault as-address", "error: as-address takes the address to answer as, 0..255"},
  };
  ThreeOnALine line;
  for (const auto& [command, answer] : rows) {
    EXPECT_EQ(RunCommand(command, line.units).Reply.substr(0, std::strlen(answer)), answer) << command;
  }
  EXPECT_TRUE(line.controllers[0].Faults().Empty());
  EXPECT_EQ(line.controllers[2].Faults().Active().size(), 1u);
}

TEST(Line, ControllerOptionsStartFromTheOptionsAndChangeWhatTheyName) {
  const std::pair<const char*, const char*> rows[] = {  // arguments, the controllers or the error
      {"", "1 default sp=60 gain=1.5 noise=0.3"},
      {"--controller 3:map=float,gain=2,tau=40,sp=80 --noise 0",
       "1 default sp=60 gain=1.5 noise=0 | 3 float sp=80 gain=2 noise=0"},
      {"--slave 5 --map gain --controller 5:sp=70 --controller 4:integrating,balance=30",
       "5 gain sp=70 gain=1.5 noise=0.3 | 4 gain sp=60 gain=1.5 noise=0.3 integrating"},
      {"--fault drop --controller 2:fault=late:ms=900,count=2,gain=4,fault=silent",
       "1 default sp=60 gain=1.5 noise=0.3 [drop] | 2 default sp=60 gain=4 noise=0.3 [late ms=900 count=2] [silent]"},
      {"--controller 1:fault=as-address:7", "1 default sp=60 gain=1.5 noise=0.3 [as-address address=7]"},
      {"--controller 0", "--controller 0: SLAVE 1..247 first"},
      {"--controller 2 --controller 2:gain=3", "--controller 2:gain=3: address 2 given twice"},
      {"--controller 2:speed=3", "--controller 2:speed=3: unknown key 'speed'"},
      {"--controller 2:sp=900", "--controller 2:sp=900: --setpoint outside the span"},
      {"--controller 2:fault=jam", "--controller 2:fault=jam: fault=jam: unknown fault 'jam'"},
  };
  for (const auto& [args, expected] : rows) {
    std::vector<std::string> words{"korvane-sim"};
    std::istringstream in(args);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    SimOptions o;
    std::string got;
    if (ParseOptions(static_cast<int>(argv.size()), argv.data(), o, &got)) {
      std::ostringstream out;
      for (const ControllerSetup& c : LineControllers(o)) {
        out << (out.tellp() > 0 ? " | " : "") << c.Address << ' ' << c.Device.Map->Name << " sp=" << c.Device.Setpoint
            << " gain=" << c.Device.Process.Gain << " noise=" << c.Device.Process.Noise
            << (c.Device.Process.Integrating ? " integrating" : "");
        for (const Fault& f : c.Faults) out << " [" << Describe(f) << ']';
      }
      got = out.str();
    }
    EXPECT_EQ(got.substr(0, std::strlen(expected)), expected) << args;
  }
}

}  // namespace
}  // namespace korvane::sim
