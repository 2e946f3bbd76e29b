#include "tuning/FopdtFit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tuning/FitRecord.h"
#include "tuning/SessionText.h"

namespace korvane {
namespace {

using fit::Grid;

struct Trial {
  double Sse = std::numeric_limits<double>::infinity();
  double Gain = 0.0, Offset = 0.0, Tau = 0.0;
  double Shift = 0.0;
};

// Sum of squared errors of the best K and offset for one dead time (in grid
// steps, fractional) and time constant.
Trial Evaluate(const Grid& g, double shift, double tau) {
  const std::vector<double> y = fit::Simulate(g, 1.0, tau, shift);
  double sy = 0, syy = 0, sp = 0, spy = 0, spp = 0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    const double p = g.Pv[i];
    sy += y[i];
    syy += y[i] * y[i];
    sp += p;
    spy += p * y[i];
    spp += p * p;
  }
  const double dn = static_cast<double>(y.size());
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

constexpr double kGolden = 0.6180339887498949;

// Golden-section search of the time constant (on a log scale) for one dead time.
Trial BestTau(const Grid& g, double shift, double lo, double hi) {
  double a = std::log(lo), b = std::log(hi);
  double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
  Trial tc = Evaluate(g, shift, std::exp(c)), td = Evaluate(g, shift, std::exp(d));
  for (int i = 0; i < 32; ++i) {
    if (tc.Sse <= td.Sse) {
      b = d;
      d = c;
      td = tc;
      c = b - kGolden * (b - a);
      tc = Evaluate(g, shift, std::exp(c));
    } else {
      a = c;
      c = d;
      tc = td;
      d = a + kGolden * (b - a);
      td = Evaluate(g, shift, std::exp(d));
    }
  }
  return tc.Sse <= td.Sse ? tc : td;
}

// The dead time: a coarse grid up to half the record, every grid step around
// the best coarse one, then between grid steps by golden section.
Trial BestModel(const Grid& g, double tauLo, double tauHi) {
  const std::size_t maxShift = g.Pv.size() / 2;
  const std::size_t coarse = std::max<std::size_t>(1, maxShift / 40);
  Trial best;
  for (std::size_t shift = 0; shift <= maxShift; shift += coarse) {
    const Trial t = BestTau(g, static_cast<double>(shift), tauLo, tauHi);
    if (t.Sse < best.Sse) best = t;
  }
  const auto at = static_cast<std::size_t>(best.Shift);
  std::size_t lo = at > coarse ? at - coarse : 0, hi = std::min(maxShift, at + coarse);
  while (hi - lo > 2) {
    const std::size_t m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    const Trial t1 = BestTau(g, static_cast<double>(m1), tauLo, tauHi);
    const Trial t2 = BestTau(g, static_cast<double>(m2), tauLo, tauHi);
    if (t1.Sse < best.Sse) best = t1;
    if (t2.Sse < best.Sse) best = t2;
    if (t1.Sse <= t2.Sse) hi = m2; else lo = m1;
  }
  for (std::size_t shift = lo; shift <= hi; ++shift) {
    const Trial t = BestTau(g, static_cast<double>(shift), tauLo, tauHi);
    if (t.Sse < best.Sse) best = t;
  }
  double a = std::max(0.0, best.Shift - 1.0), b = best.Shift + 1.0;
  for (int i = 0; i < 16; ++i) {
    const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
    const Trial tc = BestTau(g, c, tauLo, tauHi), td = BestTau(g, d, tauLo, tauHi);
    if (tc.Sse < best.Sse) best = tc;
    if (td.Sse < best.Sse) best = td;
    if (tc.Sse <= td.Sse) b = d; else a = c;
  }
  return best;
}

std::string Text(const char* format, double a, double b = 0.0, double c = 0.0) {
  char text[240];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// Why the record cannot show the process (empty when it can).
std::string RecordProblem(const fit::Record& r, const FitOptions& options) {
  const std::vector<TuningSample>& after = r.After;
  if (after.size() < std::max<std::size_t>(options.MinSamples, 3) || !(after.back().Time > r.StepTime)) {
    return "The record is too short: at least " + std::to_string(options.MinSamples) +
           " samples after the step are needed.";
  }
  double outMin = r.RestOut, outMax = r.RestOut, lowTime = 0.0, highTime = 0.0;
  for (std::size_t i = 0; i < after.size(); ++i) {
    outMin = std::min(outMin, after[i].Out);
    outMax = std::max(outMax, after[i].Out);
    const double dt = i + 1 < after.size() ? after[i + 1].Time - after[i].Time : 0.0;
    if (after[i].Out <= options.OutLow) lowTime += dt;
    if (after[i].Out >= options.OutHigh) highTime += dt;
  }
  // The first poll after the step counts from the step: the output is on
  // the limit from the write on.
  const double first = after.front().Time - r.StepTime;
  if (after.front().Out <= options.OutLow) lowTime += first;
  if (after.front().Out >= options.OutHigh) highTime += first;
  const double gap = r.Gap;
  if (gap > std::max(4.0 * r.Poll, r.Poll + 1.0)) {
    return "The record has a gap of " + ProcessSecondsText(gap, options.TimeScale) +
           " after the step (the chart was paused, or the replies stopped): make the step again.";
  }
  if (!(outMax - outMin >= options.MinOutputMove)) {
    return "The output did not move: a setpoint step (or a change of the output) is needed.";
  }
  const double duration = after.back().Time - r.StepTime;
  const double limitTime = std::max(lowTime, highTime);
  if (limitTime >= options.LimitShare * duration) {
    return Text("The output sat on a limit for %.0f %% of the record after the step: the loop ran open and the "
                "process did not show its response. Try a smaller step.", 100.0 * limitTime / duration);
  }
  // PV's move: the mean of the last quarter against the rest level.
  double tail = 0.0;
  const std::size_t from = after.size() * 3 / 4;
  for (std::size_t i = from; i < after.size(); ++i) tail += after[i].PV / static_cast<double>(after.size() - from);
  const double pvMove = std::fabs(tail - r.RestPv);
  if (r.Rest.size() >= 3) {
    // Drift at rest: the slope of the straight line through the rest
    // samples. An output swinging about a steady level (a limit cycle)
    // still leaves PV at rest; PV on its way somewhere does not.
    const double n = static_cast<double>(r.Rest.size());
    double st = 0, sv = 0;
    for (const TuningSample& s : r.Rest) {
      st += s.Time / n;
      sv += s.PV / n;
    }
    double stt = 0, stv = 0;
    for (const TuningSample& s : r.Rest) {
      stt += (s.Time - st) * (s.Time - st);
      stv += (s.Time - st) * (s.PV - sv);
    }
    const double span = r.Rest.back().Time - r.Rest.front().Time;
    const double pvDrift = stt > 0.0 ? std::fabs(stv / stt) * span : 0.0;
    if (pvDrift > std::max(3.0 * r.NoiseSd, 0.2 * pvMove)) {
      return Text("The loop was not at rest before the step: PV moved %.3g units over the ", pvDrift) +
             ProcessSecondsText(span, options.TimeScale) + " before it. Wait until it is steady, then make the step.";
    }
  }
  if (r.NoiseSd > 0.25 * pvMove) {
    return Text("The PV noise (%.3g units SD at rest) is too large for a step that moved PV by %.3g units: make "
                "a larger step.", r.NoiseSd, pvMove);
  }
  return {};
}

}  // namespace

FopdtModel InProcessTime(const FopdtModel& model, double scale) {
  FopdtModel m = model;
  m.TimeConstant *= scale;
  m.DeadTime *= scale;
  m.Sampling *= scale;
  m.TimeConstantSpread *= scale;
  m.DeadTimeSpread *= scale;
  return m;
}

std::string ModelDoubt(const FopdtModel& m, bool forApply) {
  const double fitLimit = forApply ? 0.9 : 0.95, gainLimit = forApply ? 0.25 : 0.1, tauLimit = forApply ? 0.4 : 0.2;
  const double thetaLimit = forApply ? std::max(0.5 * m.DeadTime, m.Sampling) : std::max(0.25 * m.DeadTime, m.Sampling / 2);
  if (m.Fit < fitLimit) return Text("the fit is loose (R\u00b2 %.3g, under %.2g)", m.Fit, fitLimit);
  if (m.GainSpread > gainLimit * std::fabs(m.Gain)) {
    return Text("K is uncertain by \u00b1%.0f %% (over %.0f %%)", 100.0 * m.GainSpread / std::fabs(m.Gain), 100.0 * gainLimit);
  }
  if (m.TimeConstantSpread > tauLimit * m.TimeConstant) {
    return Text("\u03c4 is uncertain by \u00b1%.0f %% (over %.0f %%)", 100.0 * m.TimeConstantSpread / m.TimeConstant,
                100.0 * tauLimit);
  }
  if (m.DeadTimeSpread > thetaLimit && m.DeadTimeSpread > 0.0) {
    return Text("\u03b8 is uncertain by \u00b1%.3g s (over %.3g s)", m.DeadTimeSpread, thetaLimit);
  }
  return {};
}

Identification IdentifyFopdt(std::span<const TuningSample> samples, const FitOptions& options) {
  Identification result;
  const fit::Record record = fit::PrepareRecord(samples, options.RestUntil);
  result.NoiseSd = record.NoiseSd;
  result.Refusal = RecordProblem(record, options);
  if (!result.Refusal.empty()) return result;

  const Grid grid = fit::MakeGrid(record, options.MaxPoints);
  const double duration = record.After.back().Time - record.StepTime;
  const double tauLo = grid.Dt * 0.5, tauHi = duration * 20.0;
  const Trial best = BestModel(grid, tauLo, tauHi);

  // R^2 at the polled samples, not at the grid's interpolated points.
  const std::vector<double> y = fit::Simulate(grid, best.Gain, best.Tau, best.Shift);
  double mean = 0.0, sst = 0.0, sse = 0.0;
  for (std::size_t i : grid.Polled) mean += grid.Pv[i] / static_cast<double>(grid.Polled.size());
  for (std::size_t i : grid.Polled) {
    sst += (grid.Pv[i] - mean) * (grid.Pv[i] - mean);
    sse += std::pow(grid.Pv[i] - best.Offset - y[i], 2);
  }
  const double fit = sst > 0.0 ? 1.0 - sse / sst : 0.0;
  FopdtModel& m = result.Model;
  m.Gain = best.Gain;
  m.TimeConstant = best.Tau;
  m.DeadTime = best.Shift * grid.Dt;
  m.Offset = grid.PvMean + best.Offset - best.Gain * grid.OutMean;
  m.Fit = fit;
  m.Sampling = record.Poll;
  if (!std::isfinite(fit) || !std::isfinite(m.Gain) || !std::isfinite(m.Offset) || fit < options.MinFit) {
    result.Refusal = Text("The fit is poor (R\u00b2 %.2f, at least %.2f needed): the record does not show a "
                          "first-order response with dead time.", std::isfinite(fit) ? fit : 0.0, options.MinFit);
    return result;
  }
  if (best.Tau >= tauHi * 0.99) {
    result.Refusal = "The record is too short for the process: its time constant is longer than the record. "
                     "Record longer after the step.";
    return result;
  }
  const fit::Spread spread = fit::ParameterSpread(grid, best.Gain, best.Tau, best.Shift, best.Offset);
  m.GainSpread = spread.Gain;
  m.TimeConstantSpread = spread.Tau;
  m.DeadTimeSpread = spread.DeadTime;
  if (m.DeadTime < DeadTimeFloor(m.Sampling)) {
    m.DeadTime = DeadTimeFloor(m.Sampling);
    m.DeadTimeFloored = true;
  }
  const std::string doubt = ModelDoubt(m, false);
  if (!doubt.empty()) result.Warning = "Trust the model with care: " + doubt + ".";
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
