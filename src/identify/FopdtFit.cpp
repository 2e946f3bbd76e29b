#include "identify/FopdtFit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "identify/FirstOrderFit.h"
#include "identify/FitRecord.h"
#include "identify/FitSpread.h"
#include "identify/IntegratingFit.h"
#include "identify/ResidualJudge.h"
#include "identify/SecondOrderFit.h"
#include "identify/TuningText.h"

namespace korvane {
namespace {

using fit::Grid;
using fit::Trial;

// Whether the residuals of `t` at the polls leave a shape the noise cannot make.
bool MissesAShape(const Grid& g, const Trial& t, double noiseSd, double pvMove) {
  const std::vector<double> y = fit::AtPolls(g, fit::Simulate(g, t.Gain, t.Tau, t.Shift, t.Ratio * t.Tau));
  std::vector<double> residuals, times;
  for (std::size_t k = 0; k < y.size(); ++k) {
    residuals.push_back(g.PolledPv[k] - t.Offset - y[k]);
    times.push_back(g.PolledAt[k] * g.Dt);
  }
  return fit::JudgeResiduals(residuals, times, noiseSd, pvMove).Missed != 0.0;
}

}  // namespace

FopdtModel InProcessTime(const FopdtModel& model, double scale) {
  FopdtModel m = model;
  m.TimeConstant *= scale;
  m.DeadTime *= scale;
  m.Sampling *= scale;
  m.TimeConstantSpread *= scale;
  m.DeadTimeSpread *= scale;
  m.MissedFrom *= scale;
  m.MissedTo *= scale;
  m.SecondLag *= scale;
  return m;
}

double ResponseTime(const FopdtModel& m) {
  return m.Integrating ? 3.0 * m.DeadTime : m.TimeConstant + m.SecondLag + m.DeadTime;
}

std::string FitVerdict(const FopdtModel& m) {
  const std::string spreads = TuningText("(residuals %.2g units SD, noise at rest %.2g)", m.ResidualSd, m.NoiseSd);
  if (m.MissedSize == 0.0) return "the fit leaves only the noise " + spreads;
  return TuningText("the fit misses a shape: PV runs %.2g units ", std::fabs(m.MissedSize)) +
         (m.MissedSize > 0.0 ? "above" : "below") +
         TuningText(" the model from %.3g s to %.3g s after the step ", m.MissedFrom, m.MissedTo) + spreads;
}

std::string ModelDoubt(const FopdtModel& m, bool forApply) {
  const double gainLimit = forApply ? 0.25 : 0.1, tauLimit = forApply ? 0.4 : 0.2;
  // The proposal keeps its margins with theta at the long end of its spread,
  // so for Apply the spread may reach theta itself.
  if (m.Integrating) {
    // K and tau stand for the slope together: only theta is judged.
    const double limit = forApply ? std::max(m.DeadTime, m.Sampling) : std::max(0.25 * m.DeadTime, m.Sampling / 2);
    return m.DeadTimeSpread > limit ? TuningText("\u03b8 is uncertain by \u00b1%.3g s (over %.3g s)", m.DeadTimeSpread, limit)
                                    : std::string();
  }
  const double thetaLimit = forApply ? std::max(m.DeadTime, m.Sampling) : std::max(0.25 * m.DeadTime, m.Sampling / 2);
  if (m.MissedSize != 0.0) return FitVerdict(m);
  if (m.GainSpread > gainLimit * std::fabs(m.Gain)) {
    return TuningText("K is uncertain by \u00b1%.0f %% (over %.0f %%)", 100.0 * m.GainSpread / std::fabs(m.Gain), 100.0 * gainLimit);
  }
  if (m.TimeConstantSpread > tauLimit * m.TimeConstant) {
    return TuningText("\u03c4 is uncertain by \u00b1%.0f %% (over %.0f %%)", 100.0 * m.TimeConstantSpread / m.TimeConstant,
                100.0 * tauLimit);
  }
  if (m.DeadTimeSpread > thetaLimit && m.DeadTimeSpread > 0.0) {
    return TuningText("\u03b8 is uncertain by \u00b1%.3g s (over %.3g s)", m.DeadTimeSpread, thetaLimit);
  }
  return {};
}

Identification IdentifyFopdt(std::span<const TuningSample> samples, const FitOptions& options) {
  Identification result;
  fit::Record record = fit::PrepareRecord(samples, options.RestUntil);
  record.Switches = options.OutputSwitches;
  std::sort(record.Switches.begin(), record.Switches.end());
  result.NoiseSd = record.NoiseSd;
  result.Refusal = fit::RecordProblem(record, options);
  if (!result.Refusal.empty()) return result;

  const Grid grid = fit::MakeGrid(record, options.MaxPoints);
  const double duration = record.After.back().Time - record.StepTime;
  // A lag over a few times the record is one the record cannot tell from an
  // integrator: the search goes far past that, so the bound bends no ramp.
  const double tauLo = grid.Dt * 0.5, tauHi = duration * 200.0, integrating = duration * 5.0;
  const Trial first = fit::BestModel(grid, tauLo, tauHi);
  Trial best = first;
  const double polls = static_cast<double>(std::max<std::size_t>(grid.PolledPv.size(), 1));
  auto sd = [&](const Trial& t) { return std::sqrt(t.Sse / polls); };
  std::string why;
  const double scale = options.TimeScale;
  const double pvMove = fit::JudgedMove(record, options);
  const double noiseSd = std::max(record.NoiseSd, fit::PvResolution(record) / std::sqrt(12.0));
  fit::IntegratorFit ramp;
  bool integrator = first.Tau >= integrating;
  auto takeRamp = [&] {
    best.Tau = tauHi;
    best.Gain = ramp.Slope * tauHi;
    best.Shift = ramp.Shift;
    best.Offset = ramp.Offset;
  };
  if (options.EveryKind) {
    // Each kind fitted and the one that leaves the least kept, a second lag
    // only when it stands out as below.
    ramp = fit::BestIntegrator(grid);
    const Trial second = fit::BestSecondOrder(grid, first, tauLo, tauHi);
    const double lag2 = second.Ratio * second.Tau;
    const double least = std::min(first.Sse, ramp.Sse);
    const double gained = (least - second.Sse) / (second.Sse / std::max(1.0, polls - 5.0));
    integrator = false;
    if (gained > 25.0 && lag2 >= 0.5 * record.Poll && second.Tau < integrating) {
      best = second;
      why = TuningText("second order: a second lag of %.3g s leaves residuals of %.2g units SD, against %.2g for first "
                       "order and %.2g integrating", lag2 * scale, sd(second), sd(first), std::sqrt(ramp.Sse / polls));
    } else if (ramp.Sse < first.Sse) {
      integrator = true;
      takeRamp();
      why = TuningText("integrating: its residuals spread %.2g units SD, against %.2g for a first-order lag",
                       std::sqrt(ramp.Sse / polls), sd(first));
    } else {
      why = TuningText("first order: its residuals spread %.2g units SD, against %.2g integrating and %.2g with a "
                       "second lag", sd(first), std::sqrt(ramp.Sse / polls), sd(second));
    }
  } else if (integrator) {
    // No level of its own over the record: a lag this long is an integrator
    // (SIMC's rule for integrating processes is its rule for such a lag),
    // fitted as one, its balance with it.
    why = TuningText("integrating: PV shows no level of its own over the record (a first-order lag would be %.0f times "
               "the record)", first.Tau / duration);
    ramp = fit::BestIntegrator(grid);
    takeRamp();
  } else if (!(sd(first) > 1.1 * noiseSd + 0.002 * std::fabs(pvMove)) && !MissesAShape(grid, first, noiseSd, pvMove)) {
    // The residuals spread no wider than the noise: nothing left for a
    // second lag to explain.
    why = TuningText("first order: its residuals spread no wider than the noise (%.2g units SD, against %.2g)", sd(first),
               noiseSd);
  } else {
    // The residuals spread wider than the noise, or leave a shape: a second
    // lag after the first, picked when it leaves clearly less.
    const Trial second = fit::BestSecondOrder(grid, first, tauLo, tauHi);
    const double lag2 = second.Ratio * second.Tau;
    // Picked when what it explains stands far out of what is left (an F
    // ratio of 25 for the one parameter more: five standard deviations); a
    // share of the residuals would hide a second lag on a noisy record.
    const double gained = (first.Sse - second.Sse) / (second.Sse / std::max(1.0, polls - 5.0));
    if (gained > 25.0 && lag2 >= 0.5 * record.Poll && second.Tau < integrating) {
      best = second;
      why = TuningText("second order: a second lag of %.3g s leaves residuals of %.2g units SD, against %.2g for first "
                 "order", lag2 * scale, sd(second), sd(first));
    } else {
      why = TuningText("first order: a second lag leaves no less (residuals %.2g units SD, against %.2g)", sd(second),
                 sd(first));
    }
  }

  // R^2 and the residuals at the polled samples, not at the grid's
  // interpolated points.
  std::vector<double> y = integrator ? ramp.Model
                                     : fit::AtPolls(grid, fit::Simulate(grid, best.Gain, best.Tau, best.Shift,
                                                                        best.Ratio * best.Tau));
  if (integrator) {
    for (double& v : y) v -= best.Offset;
  }
  const std::vector<double>& pv = grid.PolledPv;
  std::vector<double> residuals, times;
  double mean = 0.0, sst = 0.0, sse = 0.0;
  for (double p : pv) mean += p / static_cast<double>(pv.size());
  for (std::size_t k = 0; k < pv.size(); ++k) {
    sst += (pv[k] - mean) * (pv[k] - mean);
    residuals.push_back(pv[k] - best.Offset - y[k]);
    times.push_back(grid.PolledAt[k] * grid.Dt);
    sse += residuals.back() * residuals.back();
  }
  const double fit = sst > 0.0 ? 1.0 - sse / sst : 0.0;
  FopdtModel& m = result.Model;
  m.Gain = best.Gain;
  m.TimeConstant = best.Tau;
  m.DeadTime = best.Shift * grid.Dt;
  m.Offset = grid.PvMean + best.Offset - best.Gain * grid.OutMean;
  m.Fit = fit;
  m.Sampling = record.Poll;
  m.SecondLag = best.Ratio * best.Tau;
  m.Integrating = integrator;
  if (m.Integrating) {
    m.Offset = grid.PvMean + best.Offset;
    why += TuningText(": PV's slope %.3g units/s per %% of output off a balance of %.3g %%", ramp.Slope / scale,
                record.RestOut - ramp.Ramp / ramp.Slope);
  }
  m.Why = why;
  if (!std::isfinite(fit) || !std::isfinite(m.Gain) || !std::isfinite(m.Offset)) {
    result.Refusal = "The fit is poor: the record does not show a first-order response with dead time.";
    return result;
  }
  // The fit judged against the noise at rest: a noisy loop leaves a low R^2
  // and still only noise; a shape left over is a process the model is not.
  m.NoiseSd = noiseSd;
  const fit::Leftover left = fit::JudgeResiduals(residuals, times, m.NoiseSd, pvMove);
  m.ResidualSd = left.Sd;
  m.MissedSize = left.Missed;
  m.MissedFrom = left.From;
  m.MissedTo = left.To;
  if (m.MissedSize != 0.0 && (fit < options.MinFit || std::fabs(m.MissedSize) >= options.MaxMissed * std::fabs(pvMove))) {
    std::string verdict = FitVerdict(InProcessTime(m, options.TimeScale));
    verdict[0] = 'T';
    result.Refusal = verdict + TuningText(", R\u00b2 %.2f: the record does not show a process with dead time of first or "
                                    "second order, or integrating.", fit);
    return result;
  }
  if (integrator) {
    m.DeadTimeSpread = fit::IntegratorDeadTimeSpread(grid, ramp);
  } else {
    const fit::Spread spread = fit::ParameterSpread(grid, best.Gain, best.Tau, best.Shift, best.Offset, m.SecondLag);
    m.GainSpread = spread.Gain;
    m.TimeConstantSpread = spread.Tau;
    m.DeadTimeSpread = spread.DeadTime;
  }
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
  double y = samples.front().Out, y2 = y;
  double lastT = samples.front().Time;
  for (const TuningSample& s : samples) {
    const double dt = s.Time - lastT;
    if (dt > 0.0 && model.TimeConstant > 0.0) y += (1.0 - std::exp(-dt / model.TimeConstant)) * (delayedOut(s.Time - model.DeadTime) - y);
    y2 = model.SecondLag > 0.0 && dt > 0.0 ? y2 + (1.0 - std::exp(-dt / model.SecondLag)) * (y - y2) : y;
    if (dt > 0.0) lastT = s.Time;
    pv.push_back(model.Offset + model.Gain * y2);
  }
  return pv;
}

}  // namespace korvane
