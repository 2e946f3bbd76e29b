// Korvane's core against the simulator, end to end over the COM name the
// simulator maps: values displayed and scaled, a setpoint write and the step
// response at the rate the process model predicts, and each line fault
// showing Korvane's status text without losing the values read before.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "KorvaneHarness.h"
#include "tools/SimProcess.h"

namespace korvane::sim::test {
namespace {

using namespace std::chrono_literals;
using korvane::ValueBox;

TEST(KorvaneWithSim, ShowsTheControllerValuesScaledByTheDefaultFactors) {
  TempDir home;
  SimProcess sim(home.Path(), {"--noise", "0", "--ambient", "150", "--setpoint", "150", "--pb", "12.5",
                               "--ki", "3.21", "--kd", "7", "--dead-time", "0"});
  ASSERT_TRUE(sim.WaitReady());
  ASSERT_EQ(sim.ComName(), "COM1");
  Korvane k(korvane::ComNameMap(PortsDir(home)));
  k.Connect();
  ASSERT_TRUE(k.TickUntil(" Data OK", 10, 250ms)) << k.view.Status();
  EXPECT_EQ(k.view.Shown[ValueBox::SetPt], " 150.000");
  EXPECT_EQ(k.view.Shown[ValueBox::PV], " 150.000");
  EXPECT_EQ(k.view.Shown[ValueBox::Out], "   0.000");
  EXPECT_EQ(k.view.Shown[ValueBox::K], "  12.500");   // register 125 x 0.1
  EXPECT_EQ(k.view.Shown[ValueBox::Ki], "   3.210");  // register 321 x 0.01
  EXPECT_EQ(k.view.Shown[ValueBox::Kd], "   7.000");
  EXPECT_FLOAT_EQ(k.cycle.Values().Kp, 12.5f);
}

TEST(KorvaneWithSim, SetpointWriteMovesPvAtTheRateTheModelPredicts) {
  // Ambient at the setpoint: the loop rests with the output at 0 %. A step
  // to 300 saturates the output at 100 %, so the process follows its open
  // loop curve PV = 400 - 300 exp(-t / 60 s) until the band is reached.
  constexpr double kSpeed = 10;
  TempDir home;
  SimProcess sim(home.Path(), {"--noise", "0", "--ambient", "100", "--setpoint", "100", "--dead-time", "0",
                               "--gain", "3", "--speed", "10"});
  ASSERT_TRUE(sim.WaitReady());
  Korvane k(korvane::ComNameMap(PortsDir(home)));
  k.Connect();
  ASSERT_TRUE(k.TickUntil(" Data OK", 10, 200ms)) << k.view.Status();
  ASSERT_EQ(k.view.Shown[ValueBox::PV], " 100.000");

  k.view.Entries[ValueBox::SetPt] = "300";
  k.cycle.SPWriteClick();
  auto start = std::chrono::steady_clock::now();
  k.Tick(200ms);
  ASSERT_EQ(k.view.Status(), "Write -  Data OK");

  std::vector<std::pair<double, double>> samples;  // wall seconds since the write, implied process seconds
  for (int i = 0; i < 30 && k.cycle.Values().PV < 250; ++i) {
    k.Tick(150ms);
    if (!Korvane::EndsWith(k.view.Status(), " Data OK")) continue;
    double pv = k.cycle.Values().PV;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (pv > 105 && pv < 250) samples.emplace_back(wall, -60.0 * std::log((400.0 - pv) / 300.0));
  }
  EXPECT_EQ(k.view.Shown[ValueBox::SetPt], " 300.000");
  EXPECT_EQ(k.view.Shown[ValueBox::Out], " 100.000");
  ASSERT_GE(samples.size(), 8u);

  // Least squares: implied process time = slope x wall time + offset.
  double n = static_cast<double>(samples.size()), sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (auto [x, y] : samples) {
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  double offset = (sy - slope * sx) / n;
  EXPECT_NEAR(slope, kSpeed, 0.15 * kSpeed);
  EXPECT_NEAR(offset, 0.0, 0.3 * kSpeed);  // the write reached the controller within 0.3 s
}

TEST(KorvaneWithSim, EachFaultShowsItsStatusAndKeepsTheValues) {
  TempDir home;
  SimProcess sim(home.Path(), {"--noise", "0", "--ambient", "100", "--setpoint", "100", "--dead-time", "0"});
  ASSERT_TRUE(sim.WaitReady());
  Korvane k(korvane::ComNameMap(PortsDir(home)));
  k.Connect();
  ASSERT_TRUE(k.TickUntil(" Data OK", 10, 200ms)) << k.view.Status();
  const auto shown = k.view.Shown;
  const float pv = k.cycle.Values().PV, sp = k.cycle.Values().SP, kp = k.cycle.Values().Kp;
  auto expectKept = [&](const char* after) {
    EXPECT_EQ(k.view.Shown, shown) << after;
    EXPECT_EQ(k.cycle.Values().PV, pv) << after;
    EXPECT_EQ(k.cycle.Values().SP, sp) << after;
    EXPECT_EQ(k.cycle.Values().Kp, kp) << after;
  };
  auto poll = [&] { return "Poll " + std::to_string(k.cycle.PollCount()); };

  ASSERT_TRUE(sim.Command("fault corrupt count=1", "fault corrupt"));
  k.Tick(300ms);
  EXPECT_EQ(k.view.Status(), poll() + " Checksum incorrect");
  expectKept("checksum");

  ASSERT_TRUE(sim.Command("fault exception 2 count=1", "fault exception"));
  k.Tick(300ms);
  EXPECT_EQ(k.view.Status(), poll() + " EC2 Illegal Data Address");
  expectKept("exception");

  ASSERT_TRUE(sim.Command("fault late 900 count=1", "fault late"));
  k.Tick(1200ms);  // the reply comes after the 400 ms response time
  EXPECT_EQ(k.view.Status(), poll() + " Time Out occurred");
  expectKept("late");

  ASSERT_TRUE(sim.Command("fault split 3 pause=120 count=1", "fault split"));
  k.Tick(600ms);  // three receive events; the reply is put together
  EXPECT_EQ(k.view.Status(), poll() + " Data OK");
  expectKept("split");

  ASSERT_TRUE(sim.Command("fault drop count=1", "fault drop"));
  k.Tick(300ms);
  EXPECT_EQ(k.view.Status(), poll());  // no answer leaves "Poll n"
  expectKept("drop");

  ASSERT_TRUE(k.TickUntil(" Data OK", 3, 300ms)) << k.view.Status();
  expectKept("recovered");
}

}  // namespace
}  // namespace korvane::sim::test
