// korvane-sim with several controllers on a pseudo-terminal (served with
// --device, the test at its far end): a master asks each address and one
// nobody has, stdin shows and changes each controller by address, and a
// late reply comes while the next is served.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "Framer.h"
#include "SimProcess.h"
#include "support/TestSupport.h"

namespace korvane::sim::test {
namespace {

using korvane::test::FromHex;
using korvane::test::PtyPair;
using korvane::test::ToHex;

std::string Rtu(const std::string& hex) { return ToHex(RtuFramer(5).Encode(FromHex(hex), false)); }

// Sends a request (hex body) and expects `reply` (hex body; "": nothing within 300 ms).
void ExpectReply(PtyPair& line, const std::string& request, const std::string& reply) {
  line.Write(FromHex(Rtu(request)));
  if (reply.empty()) {
    EXPECT_EQ(ToHex(line.ReadFor(Millis(300))), "") << request;
  } else {
    EXPECT_EQ(ToHex(line.ReadAtLeast(FromHex(Rtu(reply)).size(), Millis(1000))), Rtu(reply)) << request;
  }
}

// The simulator on a new pseudo-terminal, ready; `line` is the master's end.
std::unique_ptr<SimProcess> Start(const TempDir& home, PtyPair& line, std::vector<std::string> args) {
  args.insert(args.begin(), {"--no-com", "--device", line.SlavePath(), "--noise", "0", "--setpoint", "100"});
  auto sim = std::make_unique<SimProcess>(home.Path(), args);
  return sim->WaitReady() ? std::move(sim) : nullptr;
}

TEST(SimLine, EachAddressAnswersItsOwnAndStdinActsByAddress) {
  struct Row {
    const char* command;  // "" for none
    const char* answer;   // what the command's answer starts with
    const char* request;
    const char* reply;    // "" for none
  };
  const Row rows[] = {
      {"", "", "01 03 00 00 00 01", "01 03 02 00 64"},
      {"", "", "02 03 00 00 00 01", "02 03 02 00 96"},
      {"", "", "03 03 0B B8 00 02", "03 03 04 00 00 42 A0"},  // 80.0 as a float in CDAB order
      {"", "", "04 03 00 00 00 01", ""},                      // silent
      {"", "", "05 03 00 00 00 01", "07 03 02 00 64"},        // answers as 7
      {"", "", "09 03 00 00 00 01", ""},                      // nobody at 9
      {"", "", "00 06 00 19 00 78", ""},                      // broadcast SP 120
      {"show 2", "@2 t=", "02 03 00 00 00 01", "02 03 02 00 78"},
      {"@2 sp 80", "@2 sp 80", "02 03 00 00 00 01", "02 03 02 00 50"},
      {"@2 fault as-address 9", "@2 fault as-address address=9", "02 03 00 00 00 01", "09 03 02 00 50"},
      {"@4 fault none", "@4 fault none", "04 03 00 00 00 01", "04 03 02 00 78"},
      {"fault silent", "fault silent", "01 03 00 00 00 01", ""},
      {"@9 sp 1", "error: no controller at address 9", "03 03 0B B8 00 02", "03 03 04 00 00 42 A0"},
  };
  TempDir home;
  PtyPair line;
  auto sim = Start(home, line, {"--controller", "2:sp=150", "--controller", "3:map=float,sp=80",
                                "--controller", "4:fault=silent", "--controller", "5:fault=as-address:7"});
  ASSERT_TRUE(sim);
  for (const Row& row : rows) {
    if (*row.command) {
      ASSERT_TRUE(sim->Command(row.command, row.answer)) << row.command;
    }
    ExpectReply(line, row.request, row.reply);
  }
  ASSERT_TRUE(sim->Command("show", "@1 t="));
  for (const char* next : {"@2 t=", "@3 t=", "@4 t=", "@5 t="}) EXPECT_TRUE(sim->WaitFor(next, Millis(1000))) << next;
}

TEST(SimLine, ALateReplyGoesOutWhileTheNextControllerIsServed) {
  TempDir home;
  PtyPair line;
  auto sim = Start(home, line, {"--controller", "2:sp=66,fault=late:ms=700"});
  ASSERT_TRUE(sim);
  const auto asked = std::chrono::steady_clock::now();
  ExpectReply(line, "02 03 00 00 00 01", "");                // the master gives up on 2 ...
  ExpectReply(line, "01 03 00 00 00 01", "01 03 02 00 64");  // ... and 1 answers at once
  ExpectReply(line, "01 03 00 00 00 01", "01 03 02 00 64");
  EXPECT_EQ(ToHex(line.ReadAtLeast(7, Millis(1000))), Rtu("02 03 02 00 42"));
  EXPECT_GE(std::chrono::steady_clock::now() - asked, Millis(650));
}

}  // namespace
}  // namespace korvane::sim::test
