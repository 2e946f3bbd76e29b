#pragma once
// A scripted relay loop for the identify tests: a known process under an
// on/off controller with hysteresis around the setpoint, simulated in Euler
// steps and polled every Poll s as Korvane records it, with the loop at rest
// before the relay starts when Rest is above 0.

#include <cmath>
#include <cstddef>
#include <deque>
#include <random>
#include <vector>

#include "identify/FopdtFit.h"
#include "identify/TuningSample.h"

namespace korvane::test {

struct Loop {
  FopdtModel Process;           // Gain, TimeConstant, DeadTime, SecondLag, Integrating
  double Low = 25.0, High = 55.0;  // relay levels, %
  double Balance = 40.0;        // output % that holds PV at the setpoint
  double H = 0.5;               // hysteresis, PV units
  double NoiseSd = 0.0;         // PV measurement noise, PV units
  double Poll = 2.0;            // s between the polls
  double Length = 600.0;        // s recorded
  double LoadAt = -1.0;         // from this time (when >= 0) the balance is LoadBalance
  double LoadBalance = 0.0;
  double StartOut = -1.0;       // the output the loop rests at before 0 (below 0: the balance)
  double Rest = 0.0;            // s polled before 0, the loop resting on StartOut
  unsigned Seed = 11;           // of the PV noise
};

constexpr double kSp = 50.0;
constexpr double kDt = 0.01;          // Euler step, s
constexpr double kControllerCycle = 0.1;  // the controller reads PV and switches this often, s

struct Trace {
  std::vector<TuningSample> Polled;  // every Poll s
  std::vector<double> T, Pv;         // every Euler step from 0 (noise free PV)
  std::vector<double> Switches;      // exact switch times
};

// The loop at rest on StartOut (at the setpoint on the balance) until 0, then
// the relay from 0 on, starting on its high level. The rest's polls, when
// asked for, read PV with noise of its own (the relay's noise stays the same
// with or without them).
inline Trace Simulate(const Loop& loop, bool noisy) {
  const FopdtModel& p = loop.Process;
  std::mt19937 random(loop.Seed);
  std::normal_distribution<double> noise(0.0, loop.NoiseSd);
  const auto delaySteps = static_cast<std::size_t>(std::lround(p.DeadTime / kDt));
  const double start = loop.StartOut >= 0.0 ? loop.StartOut : loop.Balance;
  std::deque<double> pipe(delaySteps, start);  // the output on its way through the dead time
  const auto cycleSteps = static_cast<long>(std::lround(kControllerCycle / kDt));
  const auto pollSteps = static_cast<long>(std::lround(loop.Poll / kDt));
  const auto steps = static_cast<long>(std::lround(loop.Length / kDt));
  // Lag states, % off the balance (integrating: PV off the setpoint).
  double x1 = p.Integrating ? 0.0 : start - loop.Balance, x2 = x1;
  bool high = true;
  double seen = p.Integrating ? kSp : kSp + p.Gain * x2;
  Trace trace;
  std::mt19937 restRandom(loop.Seed + 1);
  for (auto k = static_cast<long>(std::floor(loop.Rest / loop.Poll)); k > 0; --k) {
    const double pv = seen + (noisy && loop.NoiseSd > 0.0 ? noise(restRandom) : 0.0);
    trace.Polled.push_back({-static_cast<double>(k) * loop.Poll, kSp, pv, start});
  }
  for (long i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) * kDt;
    const double balance = loop.LoadAt >= 0.0 && t >= loop.LoadAt ? loop.LoadBalance : loop.Balance;
    const double pv = p.Integrating ? kSp + x2 : kSp + p.Gain * x2;
    if (i % cycleSteps == 0) {
      seen = pv + (noisy && loop.NoiseSd > 0.0 ? noise(random) : 0.0);
      const bool was = high;
      if (seen < kSp - loop.H) high = true;
      if (seen > kSp + loop.H) high = false;
      if (high != was) trace.Switches.push_back(t);
    }
    const double out = high ? loop.High : loop.Low;
    if (i % pollSteps == 0) trace.Polled.push_back({t, kSp, seen, out});
    trace.T.push_back(t);
    trace.Pv.push_back(pv);
    pipe.push_back(out);
    const double u = pipe.front() - balance;
    pipe.pop_front();
    if (p.Integrating) {
      x1 = p.SecondLag > 0.0 ? x1 + kDt * (u - x1) / p.SecondLag : u;
      x2 += kDt * p.Gain / p.TimeConstant * x1;
    } else {
      x1 += kDt * (u - x1) / p.TimeConstant;
      x2 = p.SecondLag > 0.0 ? x2 + kDt * (x1 - x2) / p.SecondLag : x1;
    }
  }
  return trace;
}

inline FopdtModel Fopdt(double k, double tau, double theta, double tau2 = 0.0) {
  FopdtModel m;
  m.Gain = k, m.TimeConstant = tau, m.DeadTime = theta, m.SecondLag = tau2;
  return m;
}
inline FopdtModel Integrator(double slope, double theta) {
  FopdtModel m = Fopdt(slope * 1000.0, 1000.0, theta);
  m.Integrating = true;
  return m;
}

inline Loop With(Loop loop, double h, double noise, double poll) {
  loop.H = h, loop.NoiseSd = noise, loop.Poll = poll;
  return loop;
}

}  // namespace korvane::test
