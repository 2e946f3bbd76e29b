// Identification and tuning against the simulator's own controller and
// process, in process time (no line, no wall clock), so many seeds run in a
// second: per run, a closed-loop setpoint step under a calm tuning, polled
// every few process seconds as Korvane reads the registers (PV in whole
// units, the output in tenths of a percent), the step time taken from the
// write as the journal has it. Prints per run the model against the truth,
// the proposal against SIMC from the truth, and the IAE of the step before
// and of the same step under the proposal; the last line per process says
// whether every run kept theta within max(a quarter of a poll, 0.5 s).
//   sim_tune_figures [seeds]

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "ControllerDevice.h"
#include "identify/FopdtFit.h"
#include "rules/SimcTuning.h"

namespace {

using korvane::sim::ControllerDevice;
using korvane::sim::DeviceParams;
namespace reg = korvane::sim::reg;

struct Case {
  const char* Name;
  korvane::sim::ProcessParams Process;
  double Poll;    // process s
  double Step;    // PV units
  double Record;  // process s after the step
};

double Register(const ControllerDevice& d, int address, double factor) {
  return static_cast<std::int16_t>(*d.Read(address)) * factor;
}

struct StepRun {
  std::vector<korvane::TuningSample> Samples;
  double StepTime = 0.0;
  double Iae = 0.0;
};

// Rests `rest` s, then steps the setpoint by `step` at a random phase of the
// poll, polling every `poll` s until `record` s after the step.
StepRun Step(ControllerDevice& device, double& now, double poll, double step, double record, double phase) {
  StepRun run;
  auto advanceTo = [&](double t) {
    device.Advance(t - now);
    now = t;
  };
  auto sample = [&] {
    run.Samples.push_back({now, Register(device, reg::SP, 1.0), Register(device, reg::PV, 1.0),
                           Register(device, reg::Out, 0.1)});
  };
  const double start = now;
  for (double t = start; t < start + 20.0 * poll; t += poll) {
    advanceTo(t);
    sample();
  }
  run.StepTime = start + 20.0 * poll - poll + phase * poll;
  advanceTo(run.StepTime);
  const double sp = Register(device, reg::SP, 1.0) + step;
  device.Write(reg::SP, static_cast<std::uint16_t>(std::lround(sp)));
  for (double t = start + 20.0 * poll; t <= run.StepTime + record; t += poll) {
    advanceTo(t);
    sample();
    run.Iae += std::fabs(sp - run.Samples.back().PV) * poll;
  }
  return run;
}

void SetFactors(ControllerDevice& d, const korvane::ControllerFactors& f) {
  d.Write(reg::Kp, static_cast<std::uint16_t>(std::lround(f.Band * 10)));
  d.Write(reg::Ki, static_cast<std::uint16_t>(std::lround(f.Ki * 100)));
  d.Write(reg::Kd, static_cast<std::uint16_t>(std::lround(f.Kd)));
}

}  // namespace

int main(int argc, char** argv) {
  const int seeds = argc > 1 ? std::atoi(argv[1]) : 5;
  korvane::sim::ProcessParams fopdt;
  fopdt.Gain = 1.2;
  fopdt.TimeConstant = 45.0;
  fopdt.DeadTime = 7.0;
  fopdt.Noise = 0.3;
  korvane::sim::ProcessParams noisy = fopdt;
  noisy.Gain = 1.0;
  noisy.TimeConstant = 20.0;
  noisy.DeadTime = 4.0;
  noisy.Noise = 2.0;
  korvane::sim::ProcessParams level = fopdt;
  level.Integrating = true;
  level.Gain = 0.01;  // units/s per % off the balance
  level.Balance = 50.0;  // the output has as far to go down as up: the steps there and back saturate alike
  level.DeadTime = 6.0;
  korvane::sim::ProcessParams second = fopdt;
  second.TimeConstant = 40.0;
  second.SecondLag = 15.0;
  second.DeadTime = 4.0;
  const Case cases[] = {
      {"FOPDT poll 1", fopdt, 1.0, 20, 360},
      {"FOPDT poll 2.5", fopdt, 2.5, 20, 360},
      {"FOPDT poll 4", fopdt, 4.0, 20, 360},
      {"FOPDT noise 2", noisy, 1.0, 20, 200},
      {"integrating poll 1", level, 1.0, 20, 360},
      {"second order poll 1", second, 1.0, 20, 400},
  };
  constexpr double kSpan = 400.0;
  for (const Case& c : cases) {
    const korvane::sim::ProcessParams& p = c.Process;
    korvane::FopdtModel truth{p.Gain, p.TimeConstant, p.DeadTime, 0, 1, c.Poll};
    truth.SecondLag = p.SecondLag;
    if (p.Integrating) {
      // An integrator as SIMC treats it: a lag far past any record.
      truth.Integrating = true;
      truth.TimeConstant = 1e5;
      truth.Gain = p.Gain * truth.TimeConstant;
    }
    // PID where the second lag asks for it (the simulator has a derivative).
    const korvane::TuningChoice choice{p.SecondLag > 0.0, 1.0};
    korvane::TuningChoice calm = choice;
    calm.TcOverTheta = 2.0;
    const korvane::Proposal start = korvane::ProposeSimc(truth, calm, kSpan, {});
    const korvane::Proposal simc = korvane::ProposeSimc(truth, choice, kSpan, {});
    std::printf("%s: truth K %g tau %g tau2 %g theta %g%s, noise %g; SIMC band %.3g %% Ki %.3g /min Kd %.3g s\n",
                c.Name, p.Gain, p.TimeConstant, p.SecondLag, p.DeadTime, p.Integrating ? " (integrating: K units/s per %)" : "",
                p.Noise, simc.Factors.Band, simc.Factors.Ki, simc.Factors.Kd);
    bool allWithin = true;
    double worst = 0.0;
    for (int seed = 1; seed <= seeds; ++seed) {
      DeviceParams d;
      d.Process = p;
      d.Process.Seed = static_cast<std::uint32_t>(seed);
      d.Process.Ambient = p.Integrating ? 100.0 : 100.0 - p.Gain * 40.0;  // at rest at 100, the output near 40 %
      d.Setpoint = 100.0;
      d.Factors = {start.Held.Band, start.Held.Ki, 0.0, 1.0};
      ControllerDevice device(d);
      double now = 0.0;
      device.Advance(20.0 * p.TimeConstant);
      now = 20.0 * p.TimeConstant;
      std::mt19937 random(static_cast<unsigned>(seed) * 7919u);
      const double phase = std::uniform_real_distribution<double>(0.05, 0.95)(random);
      const StepRun before = Step(device, now, c.Poll, c.Step, c.Record, phase);
      korvane::FitOptions options;
      options.RestUntil = before.StepTime;
      const korvane::Identification id = korvane::IdentifyFopdt(before.Samples, options);
      // KORVANE_DUMP=N writes seed N's record of the step (0: every seed's)
      // to stderr, for a fit of the same samples by another tool.
      if (const char* dump = std::getenv("KORVANE_DUMP"); dump != nullptr && (std::atoi(dump) == 0 || std::atoi(dump) == seed)) {
        for (const auto& s : before.Samples) {
          std::fprintf(stderr, "%s seed %d: %g %g %g %g\n", c.Name, seed, s.Time - before.StepTime, s.SP, s.PV, s.Out);
        }
      }
      if (!id.Ok) {
        std::printf("  seed %d: refused: %s\n", seed, id.Refusal.c_str());
        allWithin = false;
        continue;
      }
      const korvane::FopdtModel& m = id.Model;
      const korvane::Proposal proposal = korvane::ProposeSimc(m, {m.SecondLag > 0.0, 1.0}, kSpan, {});
      const double thetaError = m.DeadTime - p.DeadTime;
      const double tolerance = std::max(c.Poll / 4.0, 0.5);
      allWithin = allWithin && std::fabs(thetaError) <= tolerance;
      worst = std::max(worst, std::fabs(thetaError));
      double after = NAN;
      if (proposal.Ok) {
        SetFactors(device, proposal.Held);
        device.Advance(10.0 * p.TimeConstant);
        now += 10.0 * p.TimeConstant;
        after = Step(device, now, c.Poll, -c.Step, c.Record, phase).Iae;
      }
      const double gain = m.Integrating ? m.Gain / m.TimeConstant : m.Gain;
      std::printf("  seed %d: %s; K %+.1f %% tau %+.1f %% tau2 %.3g theta %+.2f s (%+.2f polls) R2 %.2f, %s; band %.3g "
                  "(%+.1f %%) Ki %.3g (%+.1f %%) Kd %.3g%s; IAE %.0f -> %.0f\n",
                  seed, m.Why.c_str(), 100 * (gain / p.Gain - 1), 100 * (m.TimeConstant / p.TimeConstant - 1),
                  m.SecondLag, thetaError,
                  thetaError / c.Poll, m.Fit, korvane::FitVerdict(m).c_str(), proposal.Factors.Band,
                  100 * (proposal.Factors.Band / simc.Factors.Band - 1), proposal.Factors.Ki,
                  100 * (proposal.Factors.Ki / simc.Factors.Ki - 1), proposal.Factors.Kd,
                  proposal.Ok ? "" : (" NOT OFFERED: " + proposal.Refusal).c_str(), before.Iae, after);
    }
    std::printf("  theta within max(poll/4, 0.5 s) in every run: %s (worst %.2f s)\n", allWithin ? "yes" : "NO", worst);
  }
  return 0;
}
