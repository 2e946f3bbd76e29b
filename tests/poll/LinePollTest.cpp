// A line of several controllers: who is asked when, which reply is taken
// for whom, and where a write goes.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "PollHarness.h"
#include "plot/ChartHistory.h"
#include "poll/LinePoll.h"
#include "poll/StationView.h"

namespace korvane {
namespace {

// A map whose values lie at 200..217 (read as one request of 18 registers).
RegisterMap HighMap() {
  RegisterMap m;
  m.AddrSP = 200;
  m.AddrPV = 201;
  m.AddrOut = 202;
  m.AddrHys = 217;
  m.AddrKp = 213;
  m.AddrKi = 211;
  m.AddrKd = 212;
  return m;
}

// How a slave answers on the scripted line.
enum class Answer { Good, Silent, Late, AsAddress3, Exception };

// One controller of the line: its own settings, master and cycle, its share
// of the window.
struct Station {
  Station(std::int32_t address, const RegisterMap& map, ValueView& window, ChartHistory& clock,
          std::vector<std::string>& wire, std::uint32_t& now)
      : view(window) {
    settings.Link.SlaveAddress = address;
    settings.Map = map;
    history.FollowClockOf(clock);
    master = std::make_unique<TMaster>(settings, state, image, [&wire](const std::string& f) { wire.push_back(f); },
                                       [&now] { return now; });
    poll = std::make_unique<PollCycle>(settings, state, image, *master, view, history, [&now] { return now; });
  }
  Settings settings;
  MasterState state;
  RegisterImage image;
  StationView view;
  ChartHistory history;
  std::unique_ptr<TMaster> master;
  std::unique_ptr<PollCycle> poll;
};

// A reply to the read `request` from `address`: register n holds 100 x the
// slave's own address + (n mod 100), so every value says whose it is.
std::string ReadReply(const std::string& request, int address, int own) {
  const int start = static_cast<unsigned char>(request[2]) * 256 + static_cast<unsigned char>(request[3]);
  const int count = static_cast<unsigned char>(request[5]);
  std::string frame{static_cast<char>(address), request[1], static_cast<char>(2 * count)};
  for (int n = start; n < start + count; ++n) {
    const int value = 100 * own + n % 100;
    frame.push_back(static_cast<char>(value >> 8));
    frame.push_back(static_cast<char>(value & 0xFF));
  }
  return test::WithCrc(frame);
}

struct Line {
  test::FakePollView window;
  ChartHistory clock;
  std::vector<std::string> wire;
  std::uint32_t now = 1000;
  std::vector<std::unique_ptr<Station>> stations;
  LinePoll line{[this] { return now; }};
  struct Due {
    std::uint32_t At;
    std::string Bytes;
  };
  std::deque<Due> due;
  std::size_t answered = 0;  // frames of `wire` the slaves have seen

  void Add(std::int32_t address, const RegisterMap& map) {
    stations.push_back(std::make_unique<Station>(address, map, window, clock, wire, now));
    stations.back()->view.SetSelected(stations.size() == 1);
    std::vector<PollCycle*> cycles;
    for (auto& s : stations) cycles.push_back(s->poll.get());
    line.SetCycles(cycles);
    line.SetFrameGap([] { return 4u; });
  }

  // Runs the line for `ms`, 10 ms a step: the slaves answer each request
  // 20 ms after it (a late one 1.5 x the 400 ms time-out after it).
  void Run(const std::vector<Answer>& answers, std::uint32_t ms) {
    for (std::uint32_t t = 0; t < ms; t += 10) {
      while (answered < wire.size()) {
        const std::string& f = wire[answered++];
        const int address = static_cast<unsigned char>(f[0]);
        const Answer a = address <= static_cast<int>(answers.size()) ? answers[static_cast<std::size_t>(address - 1)]
                                                                     : Answer::Silent;
        if (f[1] != 3 || a == Answer::Silent) continue;
        std::string reply = ReadReply(f, a == Answer::AsAddress3 ? 3 : address, address);
        if (a == Answer::Exception) reply = test::WithCrc(std::string{static_cast<char>(address), '\x83', '\x02'});
        due.push_back({now + (a == Answer::Late ? 600u : 20u), reply});
      }
      now += 10;
      while (!due.empty() && static_cast<std::int32_t>(now - due.front().At) >= 0) {
        const std::string bytes = due.front().Bytes;
        due.pop_front();
        line.Receive(bytes, now);
      }
      line.CheckPlanDeadline();
    }
  }
  std::vector<int> Addresses() const {
    std::vector<int> out;
    for (const std::string& f : wire) out.push_back(static_cast<unsigned char>(f[0]));
    return out;
  }
};

struct LineRow {
  const char* What;
  std::vector<Answer> Answers;  // of addresses 1, 2, 3
  int Ticks;                    // poll ticks, one a second
  std::vector<int> Asked;       // the addresses of the requests, in order
  std::vector<std::string> Status;
  std::vector<float> PV;        // 0: no value ever taken
};

TEST(LinePoll, EachControllerIsAskedInTurnAndTakesOnlyItsOwnReply) {
  const auto G = Answer::Good;
  const std::vector<LineRow> rows = {
      {"all answer: one request each, in list order", {G, G, G}, 2, {1, 2, 3, 1, 2, 3},
       {"Poll 2 Data OK", "Poll 2 Data OK", "Poll 2 Data OK"}, {101, 201, 301}},
      {"a silent controller costs its own time-out; the others keep updating", {G, Answer::Silent, G}, 2,
       {1, 2, 3, 1, 2, 3}, {"Poll 2 Data OK", "Poll 2 Time Out occurred", "Poll 2 Data OK"}, {101, 0, 301}},
      {"a reply 1.5 time-outs late, while the next is asked, is not taken for it", {G, Answer::Late, G}, 2,
       {1, 2, 3, 1, 2, 3}, {"Poll 2 Data OK", "Poll 2 Time Out occurred", "Poll 2 Data OK"}, {101, 0, 301}},
      {"a reply from another address is discarded", {G, Answer::AsAddress3, G}, 1, {1, 2, 3},
       {"Poll 1 Data OK", "Poll 1 Time Out occurred", "Poll 1 Data OK"}, {101, 0, 301}},
      {"an exception is that controller's status only", {G, Answer::Exception, G}, 1, {1, 2, 3},
       {"Poll 1 Data OK", "Poll 1 EC2 Illegal Data Address", "Poll 1 Data OK"}, {101, 0, 301}},
  };
  for (const LineRow& row : rows) {
    SCOPED_TRACE(row.What);
    Line l;
    l.Add(1, RegisterMap{});
    l.Add(2, HighMap());
    l.Add(3, RegisterMap{});
    for (int tick = 0; tick < row.Ticks; ++tick) {
      l.line.PollTimerTimer();
      l.Run(row.Answers, 1000);
    }
    EXPECT_EQ(l.Addresses(), row.Asked);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(l.stations[i]->view.Status(), row.Status[i]) << "controller " << i + 1;
      EXPECT_EQ(l.stations[i]->poll->AnyGood() ? l.stations[i]->poll->Values().PV : 0.0f, row.PV[i])
          << "controller " << i + 1;
    }
  }
}

TEST(LinePoll, RoundsRunBackToBackWithoutPilingUp) {
  Line l;
  l.Add(1, RegisterMap{});
  l.Add(2, RegisterMap{});
  l.Add(3, RegisterMap{});
  const std::vector<Answer> silent(3, Answer::Silent);
  // Three silent controllers need 1.2 s a round; ticks come every 0.5 s.
  for (int tick = 0; tick < 6; ++tick) {
    l.line.PollTimerTimer();
    l.Run(silent, 500);
  }
  // 3 s of line: each round follows the one before at once (1.23 s
  // apart), never two requests on the line at once, the ticks that came
  // meanwhile not queued up.
  EXPECT_EQ(l.Addresses(), (std::vector<int>{1, 2, 3, 1, 2, 3, 1, 2}));
  EXPECT_EQ(l.line.Rounds(), 3);
}

TEST(LinePoll, AWriteGoesToTheControllerItWasTypedForWhateverIsSelected) {
  Line l;
  l.Add(1, RegisterMap{});
  l.Add(2, HighMap());
  l.Add(3, RegisterMap{});
  l.window.Entries[ValueBox::SetPt] = "55";
  // Typed for 2; 3 selected before the tick: the write still goes to 2,
  // at 2's map's write address, with the text typed.
  l.stations[1]->poll->WriteTextClick(ValueBox::SetPt, "80");
  l.stations[0]->view.SetSelected(false);
  l.stations[2]->view.SetSelected(true);
  l.line.PollTimerTimer();
  l.Run({Answer::Good, Answer::Good, Answer::Good}, 1000);
  ASSERT_EQ(l.wire.size(), 3u);
  EXPECT_EQ(test::Hex(l.wire[1]), test::Hex(test::WithCrc(test::Bytes("02 06 00 C8 00 50"))));
  // A controller not selected has no entry box: a bare Write click there
  // sends nothing (its turn is spent on the write that was not sent).
  l.stations[0]->poll->SPWriteClick();
  l.line.PollTimerTimer();
  l.Run({Answer::Good, Answer::Good, Answer::Good}, 1000);
  EXPECT_EQ(l.Addresses(), (std::vector<int>{1, 2, 3, 2, 3}));
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// Random runs: writes typed for random controllers, rows selected at
// random, every kind of answer. Whatever happens, a write frame carries
// only a value typed for the controller it is addressed to, and no
// controller ever holds a value read from another address.
TEST(LinePoll, RandomRunsNeverSendAWriteOrShowAValueForAnotherController) {
  const std::vector<Answer> kinds = {Answer::Good, Answer::Silent, Answer::Late, Answer::AsAddress3,
                                     Answer::Exception};
  const std::vector<ValueBox> boxes = {ValueBox::SetPt, ValueBox::K, ValueBox::Ki, ValueBox::Kd};
  for (unsigned seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    Line l;
    l.Add(1, RegisterMap{});
    l.Add(2, HighMap());
    l.Add(3, RegisterMap{});
    for (int tick = 0; tick < 12; ++tick) {
      // The value typed says whose it is: 1000 x the address + a count.
      const std::size_t typedFor = pick(3);
      if (pick(2) == 0) {
        l.stations[typedFor]->poll->WriteTextClick(boxes[pick(4)], std::to_string(1000 * (typedFor + 1) + pick(100)));
      }
      const std::size_t selected = pick(3);
      for (std::size_t i = 0; i < 3; ++i) l.stations[i]->view.SetSelected(i == selected);
      l.window.Entries[ValueBox::SetPt] = std::to_string(1000 * (selected + 1));
      // A bare Write click (the box read when the write goes out) on any controller.
      if (pick(4) == 0) l.stations[pick(3)]->poll->SPWriteClick();
      l.line.PollTimerTimer();
      l.Run({kinds[pick(5)], kinds[pick(5)], kinds[pick(5)]}, static_cast<std::uint32_t>(300 + pick(1200)));
    }
    for (const std::string& f : l.wire) {
      if (f[1] == 3) continue;
      const int address = static_cast<unsigned char>(f[0]);
      // Function 6, default factors: the word is the value typed / factor
      // (setpoint 1, Kp 0.1, Ki 0.01, Kd 1), so its thousands name the address.
      const int word = static_cast<unsigned char>(f[4]) * 256 + static_cast<unsigned char>(f[5]);
      const int reg = (static_cast<unsigned char>(f[2]) * 256 + static_cast<unsigned char>(f[3])) % 100;
      const int typed = reg == 13 ? word / 10 : reg == 11 ? word / 100 : word;
      EXPECT_EQ(typed / 1000, address) << test::Hex(f);
    }
    for (std::size_t i = 0; i < 3; ++i) {
      if (!l.stations[i]->poll->AnyGood()) continue;
      EXPECT_EQ(static_cast<int>(l.stations[i]->poll->Values().PV) / 100, static_cast<int>(i + 1));
    }
  }
}

}  // namespace
}  // namespace korvane
