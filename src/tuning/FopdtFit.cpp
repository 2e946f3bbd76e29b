#include "tuning/FopdtFit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "tuning/FitRecord.h"
#include "tuning/SessionText.h"

namespace korvane {
namespace {

using fit::Grid;

struct Trial {
  double Sse = std::numeric_limits<double>::infinity();
  double Gain = 0.0, Offset = 0.0, Tau = 0.0;
  double Shift = 0.0;
  double Ratio = 0.0;  // second lag / first
};

// Sum of squared errors of the best K and offset for one dead time (in grid
// steps, fractional) and time constant: over the grid (PV drawn straight
// between the polls), or, `polled`, over the polled samples alone at their
// own times (the least-squares fit of the samples themselves).
Trial Evaluate(const Grid& g, double shift, double tau, bool polled = false, double ratio = 0.0) {
  std::vector<double> y = fit::Simulate(g, 1.0, tau, shift, ratio * tau);
  if (polled) y = fit::AtPolls(g, y);
  const std::vector<double>& pv = polled ? g.PolledPv : g.Pv;
  double sy = 0, syy = 0, sp = 0, spy = 0, spp = 0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    const double p = pv[i];
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
  trial.Ratio = ratio;
  if (!(vyy > 0.0) || !std::isfinite(vyy) || !std::isfinite(vpy)) {
    trial.Sse = vpp;
    return trial;
  }
  trial.Gain = vpy / vyy;
  trial.Offset = (sp - trial.Gain * sy) / dn;
  trial.Sse = std::max(0.0, vpp - vpy * vpy / vyy);
  // In a closed loop PV and a short lag of the output run against each
  // other once the kick is past: a negative gain would fit that, and it is
  // the controller, not the process. Such a trial explains nothing.
  if (!(trial.Gain > 0.0)) trial.Sse = vpp;
  return trial;
}

constexpr double kGolden = 0.6180339887498949;

// Golden-section search of the time constant (on a log scale) for one dead time.
// `iterations` of the golden section: fewer for a candidate only compared with others.
Trial BestTau(const Grid& g, double shift, double lo, double hi, bool polled = false, double ratio = 0.0,
              int iterations = 24) {
  // The error need not have one minimum over so wide a range (a short lag
  // with a negative gain can fit a ramp's start): a coarse scan on a log
  // scale first, the golden section then between the best point's neighbours.
  constexpr int kScan = 10;
  const double step = (std::log(hi) - std::log(lo)) / kScan;
  int at = 0;
  double least = std::numeric_limits<double>::infinity();
  for (int i = 0; i <= kScan; ++i) {
    const double sse = Evaluate(g, shift, std::exp(std::log(lo) + step * i), polled, ratio).Sse;
    if (sse < least) {
      least = sse;
      at = i;
    }
  }
  double a = std::log(lo) + step * std::max(0, at - 1), b = std::log(lo) + step * std::min(kScan, at + 1);
  double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
  Trial tc = Evaluate(g, shift, std::exp(c), polled, ratio), td = Evaluate(g, shift, std::exp(d), polled, ratio);
  for (int i = 0; i < iterations; ++i) {
    if (tc.Sse <= td.Sse) {
      b = d;
      d = c;
      td = tc;
      c = b - kGolden * (b - a);
      tc = Evaluate(g, shift, std::exp(c), polled, ratio);
    } else {
      a = c;
      c = d;
      tc = td;
      d = a + kGolden * (b - a);
      td = Evaluate(g, shift, std::exp(d), polled, ratio);
    }
  }
  return tc.Sse <= td.Sse ? tc : td;
}

// The dead time: a coarse grid up to half the record, every grid step around
// the best coarse one, then between grid steps by golden section.
// `ratio`: the second lag as a share of the first (0: none); `longest`:
// the longest dead time tried, in grid steps (0: half the record).
Trial BestModel(const Grid& g, double tauLo, double tauHi, double ratio = 0.0, std::size_t longest = 0);

// Refined on the polled samples alone, within half a poll either side of
// `best`: PV drawn straight between coarse polls bends the grid's curve, and
// that would move the dead time.
Trial Refined(const Grid& g, const Trial& best, double tauLo, double tauHi, std::size_t maxShift) {
  const double ratio = best.Ratio;
  const double halfPoll = g.PolledAt.size() > 1
                              ? 0.5 * (g.PolledAt.back() - g.PolledAt.front()) / static_cast<double>(g.PolledAt.size() - 1)
                              : 1.0;
  double a = std::max(0.0, best.Shift - halfPoll);
  double b = std::min(static_cast<double>(maxShift), best.Shift + halfPoll);
  Trial refined = BestTau(g, best.Shift, tauLo, tauHi, true, ratio);
  for (int i = 0; i < 20 && b > a; ++i) {
    const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
    const Trial tc = BestTau(g, c, tauLo, tauHi, true, ratio), td = BestTau(g, d, tauLo, tauHi, true, ratio);
    if (tc.Sse < refined.Sse) refined = tc;
    if (td.Sse < refined.Sse) refined = td;
    if (tc.Sse <= td.Sse) b = d; else a = c;
  }
  return refined;
}

// The best model on the grid; `refine`: then on the polled samples.
Trial BestModel(const Grid& g, double tauLo, double tauHi, double ratio, std::size_t longest, bool refine) {
  const std::size_t maxShift = longest > 0 ? std::min(longest, g.Pv.size() / 2) : g.Pv.size() / 2;
  // Coarse steps of a fortieth of half the record: a short range (a second
  // lag's candidates) is searched in thirds, not one grid step at a time.
  const std::size_t coarse = std::max<std::size_t>(1, g.Pv.size() / 80);
  const int iterations = refine ? 24 : 12;
  Trial best;
  for (std::size_t shift = 0; shift <= maxShift; shift += coarse) {
    const Trial t = BestTau(g, static_cast<double>(shift), tauLo, tauHi, false, ratio, iterations);
    if (t.Sse < best.Sse) best = t;
  }
  const auto at = static_cast<std::size_t>(best.Shift);
  std::size_t lo = at > coarse ? at - coarse : 0, hi = std::min(maxShift, at + coarse);
  while (hi - lo > 2) {
    const std::size_t m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    const Trial t1 = BestTau(g, static_cast<double>(m1), tauLo, tauHi, false, ratio, iterations);
    const Trial t2 = BestTau(g, static_cast<double>(m2), tauLo, tauHi, false, ratio, iterations);
    if (t1.Sse < best.Sse) best = t1;
    if (t2.Sse < best.Sse) best = t2;
    if (t1.Sse <= t2.Sse) hi = m2; else lo = m1;
  }
  for (std::size_t shift = lo; shift <= hi; ++shift) {
    const Trial t = BestTau(g, static_cast<double>(shift), tauLo, tauHi, false, ratio, iterations);
    if (t.Sse < best.Sse) best = t;
  }
  // Between grid steps only for the model kept: a candidate compared with
  // others (a second lag's share) is judged to the grid step, and the one
  // picked is refined on the polled samples anyway.
  if (!refine) return best;
  double a = std::max(0.0, best.Shift - 1.0), b = best.Shift + 1.0;
  for (int i = 0; i < 16; ++i) {
    const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
    const Trial tc = BestTau(g, c, tauLo, tauHi, false, ratio), td = BestTau(g, d, tauLo, tauHi, false, ratio);
    if (tc.Sse < best.Sse) best = tc;
    if (td.Sse < best.Sse) best = td;
    if (tc.Sse <= td.Sse) b = d; else a = c;
  }
  return Refined(g, best, tauLo, tauHi, maxShift);
}

Trial BestModel(const Grid& g, double tauLo, double tauHi, double ratio, std::size_t longest) {
  return BestModel(g, tauLo, tauHi, ratio, longest, true);
}

// The integrator's dead time: every grid step up to half the record (one
// pass each), then between grid steps by golden section.
fit::IntegratorFit BestIntegrator(const Grid& g) {
  const std::size_t maxShift = g.Pv.size() / 2;
  fit::IntegratorFit best = fit::FitIntegrator(g, 0.0);
  for (std::size_t shift = 1; shift <= maxShift; ++shift) {
    fit::IntegratorFit t = fit::FitIntegrator(g, static_cast<double>(shift));
    if (t.Sse < best.Sse) best = std::move(t);
  }
  double a = std::max(0.0, best.Shift - 1.0), b = std::min(static_cast<double>(maxShift), best.Shift + 1.0);
  for (int i = 0; i < 16; ++i) {
    const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
    fit::IntegratorFit tc = fit::FitIntegrator(g, c), td = fit::FitIntegrator(g, d);
    const bool lower = tc.Sse <= td.Sse;
    if (lower ? tc.Sse < best.Sse : td.Sse < best.Sse) best = std::move(lower ? tc : td);
    if (lower) b = d; else a = c;
  }
  return best;
}

std::string Text(const char* format, double a, double b = 0.0, double c = 0.0) {
  char text[240];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

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

// PV's move: the mean of the last quarter against the rest level.
double PvMove(const fit::Record& r) {
  const std::vector<TuningSample>& after = r.After;
  double tail = 0.0;
  const std::size_t from = after.size() * 3 / 4;
  for (std::size_t i = from; i < after.size(); ++i) tail += after[i].PV / static_cast<double>(after.size() - from);
  return tail - r.RestPv;
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
  const double pvMove = std::fabs(PvMove(r));
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
  m.MissedFrom *= scale;
  m.MissedTo *= scale;
  m.SecondLag *= scale;
  return m;
}

double ResponseTime(const FopdtModel& m) {
  return m.Integrating ? 3.0 * m.DeadTime : m.TimeConstant + m.SecondLag + m.DeadTime;
}

std::string FitVerdict(const FopdtModel& m) {
  const std::string spreads = Text("(residuals %.2g units SD, noise at rest %.2g)", m.ResidualSd, m.NoiseSd);
  if (m.MissedSize == 0.0) return "the fit leaves only the noise " + spreads;
  return Text("the fit misses a shape: PV runs %.2g units ", std::fabs(m.MissedSize)) +
         (m.MissedSize > 0.0 ? "above" : "below") +
         Text(" the model from %.3g s to %.3g s after the step ", m.MissedFrom, m.MissedTo) + spreads;
}

std::string ModelDoubt(const FopdtModel& m, bool forApply) {
  const double gainLimit = forApply ? 0.25 : 0.1, tauLimit = forApply ? 0.4 : 0.2;
  // The proposal keeps its margins with theta at the long end of its spread,
  // so for Apply the spread may reach theta itself.
  if (m.Integrating) {
    // K and tau stand for the slope together: only theta is judged.
    const double limit = forApply ? std::max(m.DeadTime, m.Sampling) : std::max(0.25 * m.DeadTime, m.Sampling / 2);
    return m.DeadTimeSpread > limit ? Text("\u03b8 is uncertain by \u00b1%.3g s (over %.3g s)", m.DeadTimeSpread, limit)
                                    : std::string();
  }
  const double thetaLimit = forApply ? std::max(m.DeadTime, m.Sampling) : std::max(0.25 * m.DeadTime, m.Sampling / 2);
  if (m.MissedSize != 0.0) return FitVerdict(m);
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
  // A lag over a few times the record is one the record cannot tell from an
  // integrator: the search goes far past that, so the bound bends no ramp.
  const double tauLo = grid.Dt * 0.5, tauHi = duration * 200.0, integrating = duration * 5.0;
  const Trial first = BestModel(grid, tauLo, tauHi);
  Trial best = first;
  const double polls = static_cast<double>(std::max<std::size_t>(grid.PolledPv.size(), 1));
  auto sd = [&](const Trial& t) { return std::sqrt(t.Sse / polls); };
  std::string why;
  const double scale = options.TimeScale;
  const double pvMove = PvMove(record);
  const double noiseSd = std::max(record.NoiseSd, fit::PvResolution(record) / std::sqrt(12.0));
  fit::IntegratorFit ramp;
  if (first.Tau >= integrating) {
    // No level of its own over the record: a lag this long is an integrator
    // (SIMC's rule for integrating processes is its rule for such a lag),
    // fitted as one, its balance with it.
    why = Text("integrating: PV shows no level of its own over the record (a first-order lag would be %.0f times "
               "the record)", first.Tau / duration);
    ramp = BestIntegrator(grid);
    best.Tau = tauHi;
    best.Gain = ramp.Slope * tauHi;
    best.Shift = ramp.Shift;
    best.Offset = ramp.Offset;
  } else if (!(sd(first) > 1.1 * noiseSd + 0.002 * std::fabs(pvMove)) && !MissesAShape(grid, first, noiseSd, pvMove)) {
    // The residuals spread no wider than the noise: nothing left for a
    // second lag to explain.
    why = Text("first order: its residuals spread no wider than the noise (%.2g units SD, against %.2g)", sd(first),
               noiseSd);
  } else {
    // The residuals spread wider than the noise, or leave a shape.
    // A second lag after the first, at a few shares of it: picked when it
    // leaves clearly less than the first-order fit.
    // A second lag takes from the dead time a first-order fit sees.
    const auto longest = static_cast<std::size_t>(first.Shift) + 2;
    Trial second;
    constexpr double kRatios[] = {0.1, 0.25, 0.5, 1.0};
    std::size_t at = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const Trial t = BestModel(grid, tauLo, tauHi, kRatios[i], longest, false);
      if (t.Sse < second.Sse) {
        second = t;
        at = i;
      }
    }
    // Then between its neighbours, on a log scale.
    double a = std::log(kRatios[at > 0 ? at - 1 : 0]), b = std::log(kRatios[std::min<std::size_t>(at + 1, 3)]);
    for (int i = 0; i < 5; ++i) {
      const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
      const Trial tc = BestModel(grid, tauLo, tauHi, std::exp(c), longest, false);
      const Trial td = BestModel(grid, tauLo, tauHi, std::exp(d), longest, false);
      if (tc.Sse < second.Sse) second = tc;
      if (td.Sse < second.Sse) second = td;
      if (tc.Sse <= td.Sse) b = d; else a = c;
    }
    // Compared with the first-order fit on the polled samples, as it was refined.
    second = Refined(grid, second, tauLo, tauHi, std::min(longest, grid.Pv.size() / 2));
    const double lag2 = second.Ratio * second.Tau;
    // Picked when what it explains stands far out of what is left (an F
    // ratio of 25 for the one parameter more: five standard deviations); a
    // share of the residuals would hide a second lag on a noisy record.
    const double gained = (first.Sse - second.Sse) / (second.Sse / std::max(1.0, polls - 5.0));
    if (gained > 25.0 && lag2 >= 0.5 * record.Poll && second.Tau < integrating) {
      best = second;
      why = Text("second order: a second lag of %.3g s leaves residuals of %.2g units SD, against %.2g for first "
                 "order", lag2 * scale, sd(second), sd(first));
    } else {
      why = Text("first order: a second lag leaves no less (residuals %.2g units SD, against %.2g)", sd(second),
                 sd(first));
    }
  }

  // R^2 and the residuals at the polled samples, not at the grid's
  // interpolated points.
  const bool integrator = first.Tau >= integrating;
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
    why += Text(": PV's slope %.3g units/s per %% of output off a balance of %.3g %%", ramp.Slope / scale,
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
    result.Refusal = verdict + Text(", R\u00b2 %.2f: the record does not show a process with dead time of first or "
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
