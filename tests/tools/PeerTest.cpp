// Reference masters nobody here wrote read the simulator: mbpoll in RTU and
// a pymodbus client in ASCII, both over the simulator's pseudo-terminal.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "SimProcess.h"
#include "support/TestSupport.h"

namespace korvane::sim::test {
namespace {

using korvane::test::ChildProcess;

// Registers 1..20 as the simulator holds them right after start with no
// noise and a setpoint of 100: SP 100, mode auto, span 0..400, Ki 2.50, Kd 0, Kp 8.0 %, Hys 1.
void ExpectSimulatedValues(const std::map<int, long>& r) {
  ASSERT_EQ(r.size(), 20u);
  EXPECT_EQ(r.at(1), 100);              // SP, address 0
  EXPECT_GE(r.at(2), 20);               // PV rising from the ambient 20
  EXPECT_LE(r.at(2), 100);
  EXPECT_GE(r.at(3), 0);                // output, 0.1 %
  EXPECT_LE(r.at(3), 1000);
  EXPECT_EQ(r.at(4), 1);
  EXPECT_EQ(r.at(6), 0);
  EXPECT_EQ(r.at(7), 400);
  EXPECT_EQ(r.at(12), 250);             // Ki, address 11
  EXPECT_EQ(r.at(13), 0);               // Kd, address 12
  EXPECT_EQ(r.at(14), 80);              // Kp, address 13
  EXPECT_EQ(r.at(18), 1);               // hysteresis, address 17
  EXPECT_EQ(r.at(20), 0);
}

TEST(SimPeer, MbpollReadsRegistersOneToTwentyInRtu) {
  TempDir home;
  SimProcess sim(home.Path(), {"--no-com", "--noise", "0", "--setpoint", "100", "--speed", "5"});
  ASSERT_TRUE(sim.WaitReady());
  ChildProcess mbpoll({"/usr/bin/mbpoll", "-m", "rtu", "-a", "1", "-r", "1", "-c", "20", "-t", "4",
                       "-b", "9600", "-P", "none", sim.Device(), "-1"});
  std::map<int, long> registers;
  while (auto line = mbpoll.ReadLine(std::chrono::milliseconds(5000))) {
    int n = 0;
    long v = 0;
    if (std::sscanf(line->c_str(), "[%d]: %ld", &n, &v) == 2) registers[n] = v;
  }
  ExpectSimulatedValues(registers);
}

TEST(SimPeer, PymodbusReadsRegistersOneToTwentyInAscii) {
  TempDir home;
  SimProcess sim(home.Path(), {"--no-com", "--ascii", "--noise", "0", "--setpoint", "100", "--speed", "5"});
  ASSERT_TRUE(sim.WaitReady());
  ChildProcess client({"/usr/bin/python3", korvane::test::SourcePath("tests/tools/ascii_client.py"),
                       sim.Device(), "0", "20", "1"});
  auto line = client.WaitForLine("", std::chrono::milliseconds(15000));
  ASSERT_TRUE(line);
  ASSERT_EQ(line->rfind("registers ", 0), 0u) << *line;
  std::istringstream in(line->substr(10));
  std::map<int, long> registers;
  long v = 0;
  for (int n = 1; in >> v; ++n) registers[n] = v;
  ExpectSimulatedValues(registers);
}

TEST(SimPeer, PymodbusSeesException2BeyondTheMap) {
  TempDir home;
  SimProcess sim(home.Path(), {"--no-com", "--ascii"});
  ASSERT_TRUE(sim.WaitReady());
  ChildProcess client({"/usr/bin/python3", korvane::test::SourcePath("tests/tools/ascii_client.py"),
                       sim.Device(), "30", "5", "1"});
  auto line = client.WaitForLine("", std::chrono::milliseconds(15000));
  ASSERT_TRUE(line);
  EXPECT_EQ(line->rfind("error", 0), 0u) << *line;
  EXPECT_NE(line->find("(131, 3, IllegalAddress)"), std::string::npos) << *line;
}

}  // namespace
}  // namespace korvane::sim::test
