// Loop identification against the simulator through the poll core: one
// closed-loop setpoint step per process, the samples taken from the poll
// cycle's values in the simulator's process time (wall time x speed), the
// step written by the poll cycle and journalled by the tuning recorder.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>

#include "KorvaneHarness.h"
#include "tools/SimProcess.h"
#include "tuning/FopdtFit.h"
#include "tuning/TuningRecorder.h"

namespace korvane::sim::test {
namespace {

using namespace std::chrono_literals;

constexpr double kSpeed = 5.0;  // a 200 ms tick is 1 s of process time

struct Process {
  double Gain, Tau, DeadTime;
  const char* Band;  // a calm tuning: SIMC with tau_c = 2 theta
  const char* Ki;
  double Step;
  double Record;  // process seconds recorded after the step
};

void PrintTo(const Process& p, std::ostream* os) { *os << "gain " << p.Gain << " tau " << p.Tau << " theta " << p.DeadTime; }

class IdentifyAgainstSim : public testing::TestWithParam<Process> {};

TEST_P(IdentifyAgainstSim, ModelWithinToleranceOfTheSimulatedProcess) {
  const Process& p = GetParam();
  TempDir home;
  // Ambient at the setpoint and a wide band without integral: the loop rests
  // there with the output at 0 %, not jittering with the noise. The loop's
  // tuning is written just before the step.
  SimProcess sim(home.Path(), {"--noise", "0.3", "--seed", "1", "--ambient", "100", "--setpoint", "100",
                               "--span-low", "0", "--span-high", "400", "--speed", std::to_string(kSpeed),
                               "--gain", std::to_string(p.Gain), "--tau", std::to_string(p.Tau), "--dead-time",
                               std::to_string(p.DeadTime), "--pb", "100", "--ki", "0", "--kd", "0"});
  ASSERT_TRUE(sim.WaitReady());
  Korvane k(korvane::ComNameMap(PortsDir(home)));
  const auto start = std::chrono::steady_clock::now();
  auto processTime = [&] {
    return kSpeed * std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  TuningRecorder recorder(processTime);
  k.cycle.AddWriteObserver(&recorder);
  k.Connect();
  ASSERT_TRUE(k.TickUntil(" Data OK", 10, 200ms)) << k.view.Status();
  // One poll; its sample is stamped with the time the request went out (the
  // reply comes within milliseconds, the tick then waits out its 200 ms).
  auto pollOnce = [&] {
    const double sent = processTime();
    k.Tick(200ms);
    if (Korvane::EndsWith(k.view.Status(), "Poll " + std::to_string(k.cycle.PollCount()) + " Data OK")) {
      const ControllerValues& v = k.cycle.Values();
      recorder.AddSample({sent, v.SP, v.PV, v.Out});
    }
  };
  for (int i = 0; i < 25; ++i) pollOnce();  // 5 s of rest before the step
  for (const auto& [box, text] : {std::pair{ValueBox::K, std::string(p.Band)}, std::pair{ValueBox::Ki, std::string(p.Ki)},
                                  std::pair{ValueBox::SetPt, std::to_string(100 + static_cast<int>(p.Step))}}) {
    k.cycle.WriteTextClick(box, text);
    k.Tick(200ms);
    ASSERT_EQ(k.view.Status(), "Write -  Data OK");
  }
  while (processTime() < recorder.Step()->StepTime() + p.Record) pollOnce();
  ASSERT_EQ(recorder.Journal().Entries().size(), 3u);
  EXPECT_EQ(recorder.Journal().Entries()[2].What, "setpoint");
  EXPECT_EQ(recorder.Journal().Entries()[2].Result, "Write -  Data OK");

  FitOptions options;
  options.RestUntil = recorder.Step()->StepTime();
  const Identification id = IdentifyFopdt(recorder.StepRecord(5.0), options);
  if (const char* dump = std::getenv("KORVANE_DUMP")) {
    FILE* f = std::fopen(dump, "w");
    for (const auto& s : recorder.StepRecord(5.0)) std::fprintf(f, "%g %g %g %g\n", s.Time, s.SP, s.PV, s.Out);
    std::fclose(f);
  }
  ASSERT_TRUE(id.Ok) << id.Refusal;
  const FopdtModel& m = id.Model;
  std::printf("process K %.2f tau %.0f theta %.0f: identified K %.3f (%+.1f %%) tau %.1f (%+.1f %%) "
              "theta %.2f (%+.2f s) fit %.3f, %zu samples\n",
              p.Gain, p.Tau, p.DeadTime, m.Gain, 100 * (m.Gain / p.Gain - 1), m.TimeConstant,
              100 * (m.TimeConstant / p.Tau - 1), m.DeadTime, m.DeadTime - p.DeadTime, m.Fit,
              recorder.StepRecord(5.0).size());
  EXPECT_NEAR(m.Gain, p.Gain, 0.10 * p.Gain);
  EXPECT_NEAR(m.TimeConstant, p.Tau, 0.15 * p.Tau);
  EXPECT_NEAR(m.DeadTime, p.DeadTime, 1.5);
  k.cycle.RemoveWriteObserver(&recorder);
}

INSTANTIATE_TEST_SUITE_P(Processes, IdentifyAgainstSim,
                         testing::Values(Process{3.0, 60.0, 3.0, "11.3", "1.67", 20, 200},
                                         Process{1.0, 20.0, 8.0, "30", "3", 20, 150},
                                         Process{0.5, 200.0, 10.0, "1.9", "0.5", 10, 300}),
                         [](const testing::TestParamInfo<Process>& param) {
                           return "Gain" + std::to_string(static_cast<int>(param.param.Gain * 10)) + "Tau" +
                                  std::to_string(static_cast<int>(param.param.Tau));
                         });

}  // namespace
}  // namespace korvane::sim::test
