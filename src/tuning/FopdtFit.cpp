#include "tuning/FopdtFit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace korvane {
namespace {

// The record on an even time grid, centred (means subtracted) so the sums
// below keep their precision.
struct Grid {
  double Dt = 0.0;
  double Start = 0.0;  // the filter's starting output (centred)
  std::vector<double> Pv, Out;
  double PvMean = 0.0, OutMean = 0.0;
};

std::vector<TuningSample> UsableRun(std::span<const TuningSample> samples) {
  std::vector<TuningSample> run;
  run.reserve(samples.size());
  for (const TuningSample& s : samples) {
    if (!IsUsable(s)) continue;
    if (!run.empty() && s.Time < run.back().Time) run.clear();
    run.push_back(s);
  }
  return run;
}

Grid Resample(const std::vector<TuningSample>& run, std::size_t points) {
  Grid grid;
  const double t0 = run.front().Time;
  grid.Dt = (run.back().Time - t0) / static_cast<double>(points - 1);
  grid.Pv.resize(points);
  grid.Out.resize(points);
  std::size_t j = 0;
  for (std::size_t i = 0; i < points; ++i) {
    const double t = t0 + grid.Dt * static_cast<double>(i);
    while (j + 2 < run.size() && run[j + 1].Time <= t) ++j;
    const TuningSample& a = run[j];
    const TuningSample& b = run[std::min(j + 1, run.size() - 1)];
    const double span = b.Time - a.Time;
    const double w = span > 0.0 ? std::clamp((t - a.Time) / span, 0.0, 1.0) : 1.0;
    // PV on a straight line between samples; the output held from one sample
    // to the next, so a gap (the ticks of a write) does not turn a jump of
    // the output into a ramp starting before it.
    grid.Pv[i] = a.PV + w * (b.PV - a.PV);
    grid.Out[i] = w >= 1.0 ? b.Out : a.Out;
  }
  for (std::size_t i = 0; i < points; ++i) {
    grid.PvMean += grid.Pv[i] / static_cast<double>(points);
    grid.OutMean += grid.Out[i] / static_cast<double>(points);
  }
  for (std::size_t i = 0; i < points; ++i) {
    grid.Pv[i] -= grid.PvMean;
    grid.Out[i] -= grid.OutMean;
  }
  grid.Start = grid.Out[0];
  return grid;
}

struct Trial {
  double Sse = std::numeric_limits<double>::infinity();
  double Gain = 0.0, Offset = 0.0, Tau = 0.0;
  std::size_t Shift = 0;
};

// Sum of squared errors of the best K and offset for one dead time (in grid
// steps) and time constant. The filter starts at rest on the first output.
Trial Evaluate(const Grid& g, std::size_t shift, double tau) {
  const std::size_t n = g.Pv.size();
  const double a = std::exp(-g.Dt / tau);
  double y = g.Start;
  double sy = 0, syy = 0, sp = 0, spy = 0, spp = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) {
      const std::size_t k1 = i - 1 >= shift ? i - 1 - shift : 0;
      const std::size_t k2 = i >= shift ? i - shift : 0;
      y = a * y + (1.0 - a) * 0.5 * (g.Out[k1] + g.Out[k2]);
    }
    const double p = g.Pv[i];
    sy += y;
    syy += y * y;
    sp += p;
    spy += p * y;
    spp += p * p;
  }
  const double dn = static_cast<double>(n);
  const double vyy = syy - sy * sy / dn, vpy = spy - sp * sy / dn, vpp = spp - sp * sp / dn;
  Trial trial;
  trial.Tau = tau;
  trial.Shift = shift;
  if (!(vyy > 0.0) || !std::isfinite(vyy) || !std::isfinite(vpy)) {
    trial.Sse = vpp;
    return trial;
  }
  trial.Gain = vpy / vyy;
  trial.Offset = (sp - trial.Gain * sy) / dn;
  trial.Sse = std::max(0.0, vpp - vpy * vpy / vyy);
  return trial;
}

// Golden-section search of the time constant (on a log scale) for one dead time.
Trial BestTau(const Grid& g, std::size_t shift, double lo, double hi) {
  const double ratio = 0.6180339887498949;
  double a = std::log(lo), b = std::log(hi);
  double c = b - ratio * (b - a), d = a + ratio * (b - a);
  Trial tc = Evaluate(g, shift, std::exp(c)), td = Evaluate(g, shift, std::exp(d));
  for (int i = 0; i < 32; ++i) {
    if (tc.Sse <= td.Sse) {
      b = d;
      d = c;
      td = tc;
      c = b - ratio * (b - a);
      tc = Evaluate(g, shift, std::exp(c));
    } else {
      a = c;
      c = d;
      tc = td;
      d = a + ratio * (b - a);
      td = Evaluate(g, shift, std::exp(d));
    }
  }
  return tc.Sse <= td.Sse ? tc : td;
}

std::string Percent(double share) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f %%", share * 100.0);
  return text;
}

}  // namespace

Identification IdentifyFopdt(std::span<const TuningSample> samples, const FitOptions& options) {
  Identification result;
  const std::vector<TuningSample> run = UsableRun(samples);
  if (run.size() < std::max<std::size_t>(options.MinSamples, 3) || !(run.back().Time > run.front().Time)) {
    result.Refusal = "The record is too short: at least " + std::to_string(options.MinSamples) +
                     " samples over a stretch of time are needed.";
    return result;
  }
  // Time on the low and on the high limit: an output switching between the
  // two (a loop in a limit cycle) still shows the process; one held on a
  // single limit does not.
  double outMin = run.front().Out, outMax = outMin, lowTime = 0.0, highTime = 0.0;
  for (std::size_t i = 0; i < run.size(); ++i) {
    outMin = std::min(outMin, run[i].Out);
    outMax = std::max(outMax, run[i].Out);
    const double dt = i + 1 < run.size() ? run[i + 1].Time - run[i].Time : 0.0;
    if (run[i].Out <= options.OutLow) lowTime += dt;
    if (run[i].Out >= options.OutHigh) highTime += dt;
  }
  if (!(outMax - outMin >= options.MinOutputMove)) {
    result.Refusal = "The output did not move: a setpoint step (or a change of the output) is needed.";
    return result;
  }
  const double duration = run.back().Time - run.front().Time;
  const double limitTime = std::max(lowTime, highTime);
  if (limitTime >= options.LimitShare * duration) {
    result.Refusal = "The output sat on a limit for " + Percent(limitTime / duration) +
                     " of the record: the loop ran open and the process did not show its response. "
                     "Try a smaller step.";
    return result;
  }

  Grid grid = Resample(run, std::clamp<std::size_t>(run.size(), 3, std::max<std::size_t>(options.MaxPoints, 3)));
  if (std::isfinite(options.RestUntil)) {
    double sum = 0.0;
    std::size_t count = 0;
    for (const TuningSample& s : run) {
      if (s.Time >= options.RestUntil) break;
      sum += s.Out;
      ++count;
    }
    if (count > 0) grid.Start = sum / static_cast<double>(count) - grid.OutMean;
  }
  const std::size_t n = grid.Pv.size();
  const double tauLo = grid.Dt * 0.5, tauHi = duration * 20.0;
  // Dead times up to half the record: a coarse grid, then every grid step
  // around the best coarse one, searched by golden section.
  const std::size_t maxShift = n / 2;
  const std::size_t coarse = std::max<std::size_t>(1, maxShift / 40);
  Trial best;
  for (std::size_t shift = 0; shift <= maxShift; shift += coarse) {
    const Trial t = BestTau(grid, shift, tauLo, tauHi);
    if (t.Sse < best.Sse) best = t;
  }
  std::size_t lo = best.Shift > coarse ? best.Shift - coarse : 0, hi = std::min(maxShift, best.Shift + coarse);
  while (hi - lo > 2) {
    const std::size_t m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    const Trial t1 = BestTau(grid, m1, tauLo, tauHi), t2 = BestTau(grid, m2, tauLo, tauHi);
    if (t1.Sse < best.Sse) best = t1;
    if (t2.Sse < best.Sse) best = t2;
    if (t1.Sse <= t2.Sse) hi = m2; else lo = m1;
  }
  for (std::size_t shift = lo; shift <= hi; ++shift) {
    const Trial t = BestTau(grid, shift, tauLo, tauHi);
    if (t.Sse < best.Sse) best = t;
  }

  double sst = 0.0;
  for (double p : grid.Pv) sst += p * p;
  const double fit = sst > 0.0 ? 1.0 - best.Sse / sst : 0.0;
  FopdtModel& m = result.Model;
  m.Gain = best.Gain;
  m.TimeConstant = best.Tau;
  m.DeadTime = static_cast<double>(best.Shift) * grid.Dt;
  m.Offset = grid.PvMean + best.Offset - best.Gain * grid.OutMean;
  m.Fit = fit;
  if (!std::isfinite(fit) || !std::isfinite(m.Gain) || !std::isfinite(m.Offset) || fit < options.MinFit) {
    char text[160];
    std::snprintf(text, sizeof text, "The fit is poor (R\u00b2 %.2f, at least %.2f needed): the record does not "
                  "show a first-order response with dead time.", std::isfinite(fit) ? fit : 0.0, options.MinFit);
    result.Refusal = text;
    return result;
  }
  if (best.Tau >= tauHi * 0.99) {
    result.Refusal = "The record is too short for the process: its time constant is longer than the record. "
                     "Record longer after the step.";
    return result;
  }
  result.Ok = true;
  return result;
}

std::vector<double> ModelResponse(const FopdtModel& model, std::span<const TuningSample> samples) {
  std::vector<double> pv;
  pv.reserve(samples.size());
  if (samples.empty()) return pv;
  // Output at time t - theta, straight line between the samples around it.
  std::size_t j = 0;
  auto delayedOut = [&](double t) {
    while (j + 1 < samples.size() && samples[j + 1].Time <= t) ++j;
    const TuningSample& a = samples[j];
    if (t <= a.Time || j + 1 >= samples.size()) return a.Out;
    const TuningSample& b = samples[j + 1];
    return a.Out + (b.Out - a.Out) * (t - a.Time) / (b.Time - a.Time);
  };
  double y = samples.front().Out;
  double lastT = samples.front().Time;
  for (const TuningSample& s : samples) {
    const double dt = s.Time - lastT;
    if (dt > 0.0 && model.TimeConstant > 0.0) y += (1.0 - std::exp(-dt / model.TimeConstant)) * (delayedOut(s.Time - model.DeadTime) - y);
    if (dt > 0.0) lastT = s.Time;
    pv.push_back(model.Offset + model.Gain * y);
  }
  return pv;
}

}  // namespace korvane
