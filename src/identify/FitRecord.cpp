#include "identify/FitRecord.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "identify/TuningText.h"

namespace korvane::fit {
namespace {

bool SameValues(const TuningSample& a, const TuningSample& b) {
  return a.SP == b.SP && a.PV == b.PV && a.Out == b.Out;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid;
}

// Value of `v` at fractional index x >= 0 (straight line between points).
double At(const std::vector<double>& v, double x) {
  const double last = static_cast<double>(v.size() - 1);
  if (x >= last) return v.back();
  const auto i = static_cast<std::size_t>(x);
  const double w = x - static_cast<double>(i);
  return v[i] + w * (v[i + 1] - v[i]);
}

// The output at grid time x <= 0 (fractional grid steps before the step).
double OutputBefore(const Grid& g, double x) { return g.Lead + g.Creep * x; }

// Mean output over the grid interval [lo, hi] (hi - lo = 1), either side of the step.
double InputOver(const Grid& g, double lo, double hi) {
  if (hi <= 0.0) return OutputBefore(g, 0.5 * (lo + hi));
  if (lo >= 0.0) return 0.5 * (At(g.Out, lo) + At(g.Out, hi));
  return -lo * OutputBefore(g, 0.5 * lo) + hi * 0.5 * (g.Out[0] + At(g.Out, hi));
}

// The rest output's straight line at the step and its slope (% per s),
// the slope shrunk by its own uncertainty: to 0 within three standard
// errors (the lags carry its error far past the rest).
// On a sluggish loop the output still creeps when the setpoint moves, and
// the process lags it: taken to rest at the mean output, the model starts
// off the process's state, and the dead time takes up the difference (on a
// first-order process of 45 s, dead time 7 s, polled every 3.75 s: 0.5 s
// too long for a creep of 0.02 %/s).
std::pair<double, double> RestLine(const std::vector<TuningSample>& rest, double stepTime) {
  const double n = static_cast<double>(rest.size());
  double mt = 0.0, mo = 0.0;
  for (const TuningSample& s : rest) {
    mt += s.Time / n;
    mo += s.Out / n;
  }
  if (rest.size() < 3) return {mo, 0.0};
  double tt = 0.0, to = 0.0;
  for (const TuningSample& s : rest) {
    tt += (s.Time - mt) * (s.Time - mt);
    to += (s.Time - mt) * (s.Out - mo);
  }
  const double slope = tt > 0.0 ? to / tt : 0.0;
  if (!(slope * slope > 0.0) || !std::isfinite(slope)) return {mo, 0.0};
  // Residuals that follow each other (an integral's wander) say less than
  // independent ones: the variance grows by (1 + rho) / (1 - rho).
  double sse = 0.0, lag = 0.0;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const double e = rest[i].Out - mo - slope * (rest[i].Time - mt);
    if (i > 0) lag += e * (rest[i - 1].Out - mo - slope * (rest[i - 1].Time - mt));
    sse += e * e;
  }
  const double rho = sse > 0.0 ? std::clamp(lag / sse, 0.0, 0.9) : 0.0;
  const double variance = sse / (n - 2.0) / tt * (1.0 + rho) / (1.0 - rho);
  const double creep = slope * std::max(0.0, 1.0 - 9.0 * variance / (slope * slope));
  return {mo + creep * (stepTime - mt), creep};
}

}  // namespace

double MeanInput(const Grid& g, double lo, double hi) {
  if (hi <= 0.0) return g.Rest;
  if (lo >= 0.0) return 0.5 * (At(g.Out, lo) + At(g.Out, hi));
  return -lo * g.Rest + hi * 0.5 * (g.Out[0] + At(g.Out, hi));
}

Record PrepareRecord(std::span<const TuningSample> samples, double stepTime) {
  Record r;
  std::vector<TuningSample> run;
  run.reserve(samples.size());
  for (const TuningSample& s : samples) {
    if (!IsUsable(s)) continue;
    if (!run.empty() && s.Time < run.back().Time) run.clear();
    run.push_back(s);
  }
  if (run.empty()) return r;
  if (!std::isfinite(stepTime)) {
    double lo = run.front().Out, hi = lo;
    for (const TuningSample& s : run) {
      lo = std::min(lo, s.Out);
      hi = std::max(hi, s.Out);
    }
    std::size_t i = 0;
    while (i < run.size() && !(std::fabs(run[i].Out - run.front().Out) > 0.3 * (hi - lo))) ++i;
    stepTime = i == 0 || i >= run.size() ? run.front().Time : 0.5 * (run[i - 1].Time + run[i].Time);
  }
  r.StepTime = stepTime;
  for (std::size_t i = 0; i < run.size(); ++i) {
    // A repeated sample still shows the line answered: a flat stretch is no gap.
    if (i > 0 && run[i].Time >= stepTime) r.Gap = std::max(r.Gap, run[i].Time - std::max(run[i - 1].Time, stepTime));
    if (run[i].Time < stepTime) {
      r.Rest.push_back(run[i]);
    } else if (i == 0 || !SameValues(run[i], run[i - 1])) {
      // A sample repeating the one before carries no news (a failed reply,
      // the answer to a write): it would stamp old values with a later time.
      r.After.push_back(run[i]);
    }
  }
  std::vector<double> gaps;
  for (std::size_t i = 1; i < r.After.size(); ++i) {
    const double gap = r.After[i].Time - r.After[i - 1].Time;
    if (gap > 0.0) gaps.push_back(gap);
  }
  r.Poll = Median(std::move(gaps));
  if (r.Rest.empty()) {
    if (!r.After.empty()) {
      r.RestOut = r.After.front().Out;
      r.RestPv = r.After.front().PV;
    }
    return r;
  }
  for (const TuningSample& s : r.Rest) {
    r.RestOut += s.Out / static_cast<double>(r.Rest.size());
    r.RestPv += s.PV / static_cast<double>(r.Rest.size());
  }
  if (r.Rest.size() >= 5) {
    // From the differences of neighbours: a slow drift does not count as noise.
    double sum = 0.0;
    for (std::size_t i = 1; i < r.Rest.size(); ++i) sum += std::pow(r.Rest[i].PV - r.Rest[i - 1].PV, 2);
    r.NoiseSd = std::sqrt(sum / static_cast<double>(r.Rest.size() - 1) / 2.0);
  }
  return r;
}

Grid MakeGrid(const Record& r, std::size_t maxPoints) {
  Grid g;
  const double t0 = r.StepTime, duration = r.After.back().Time - t0;
  const double fine = r.Poll > 0.0 ? r.Poll / 8.0 : duration / (8.0 * static_cast<double>(r.After.size()));
  const double wanted = std::ceil(duration / fine) + 1.0;
  const auto points = static_cast<std::size_t>(std::clamp(wanted, 3.0, static_cast<double>(std::max<std::size_t>(maxPoints, 3))));
  g.Dt = duration / static_cast<double>(points - 1);
  g.Pv.resize(points);
  g.Out.resize(points);
  // PV through the last rest sample (when there is one) and every later one.
  std::vector<TuningSample> pv;
  if (!r.Rest.empty()) pv.push_back(r.Rest.back());
  pv.insert(pv.end(), r.After.begin(), r.After.end());
  std::size_t jp = 0, jo = 0;
  for (std::size_t i = 0; i < points; ++i) {
    const double t = t0 + g.Dt * static_cast<double>(i);
    while (jp + 2 < pv.size() && pv[jp + 1].Time <= t) ++jp;
    const TuningSample& a = pv[jp];
    const TuningSample& b = pv[std::min(jp + 1, pv.size() - 1)];
    const double wp = b.Time > a.Time ? std::clamp((t - a.Time) / (b.Time - a.Time), 0.0, 1.0) : 1.0;
    g.Pv[i] = a.PV + wp * (b.PV - a.PV);
    while (jo + 2 < r.After.size() && r.After[jo + 1].Time <= t) ++jo;
    const TuningSample& c = r.After[jo];
    const TuningSample& d = r.After[std::min(jo + 1, r.After.size() - 1)];
    const double wo = d.Time > c.Time ? std::clamp((t - c.Time) / (d.Time - c.Time), 0.0, 1.0) : 1.0;
    if (t <= c.Time || r.Switches.empty()) {
      g.Out[i] = t <= c.Time ? c.Out : c.Out + wo * (d.Out - c.Out);
    } else {
      // c's level held up to the switch between c and d, when the level
      // changed there (the switch may lie on either poll's time).
      double jump = d.Time;
      if (c.Out != d.Out) {
        const auto next = std::lower_bound(r.Switches.begin(), r.Switches.end(), c.Time);
        if (next != r.Switches.end() && *next <= d.Time) jump = *next;
      }
      g.Out[i] = t < jump ? c.Out : d.Out;
    }
  }
  for (const TuningSample& s : r.After) {
    const double at = std::min((s.Time - t0) / g.Dt, static_cast<double>(points - 1));
    g.Polled.push_back(static_cast<std::size_t>(std::lround(at)));
    g.PolledAt.push_back(at);
    g.PolledPv.push_back(s.PV);
  }
  for (std::size_t i = 0; i < points; ++i) {
    g.PvMean += g.Pv[i] / static_cast<double>(points);
    g.OutMean += g.Out[i] / static_cast<double>(points);
  }
  for (std::size_t i = 0; i < points; ++i) {
    g.Pv[i] -= g.PvMean;
    g.Out[i] -= g.OutMean;
  }
  for (double& polled : g.PolledPv) polled -= g.PvMean;
  g.Rest = r.RestOut - g.OutMean;
  g.Lead = g.Rest;
  if (!r.Rest.empty()) {
    const auto [lead, creep] = RestLine(r.Rest, t0);
    g.Lead = lead - g.OutMean;
    g.Creep = creep * g.Dt;
    g.Seen = (t0 - r.Rest.front().Time) / g.Dt;
  }
  return g;
}

std::vector<double> Simulate(const Grid& g, double gain, double tau, double shift, double tau2) {
  std::vector<double> y(g.Pv.size());
  const double a = std::exp(-g.Dt / tau), b = tau2 > 0.0 ? std::exp(-g.Dt / tau2) : 0.0;
  // At the step the lags answer the output a dead time before it and lag
  // its creep as a ramp's that began as long before the step as the whole
  // record runs (the record cannot tell an older one): tau (1 - e^(-t/tau))
  // behind, tau + tau2 the second, never more than the creep over that time
  // however long the lag.
  const double at = OutputBefore(g, -shift);
  const double ramped = std::max(0.0, (g.Seen + static_cast<double>(y.size()) - shift) * g.Dt);
  auto behind = [&](double lag) { return g.Creep / g.Dt * lag * -std::expm1(-ramped / lag); };
  double state = at - behind(tau), second = at - behind(tau + std::max(0.0, tau2));
  // The output at the end of each step is the one at the start of the next:
  // looked up once (this loop is most of the fit's time).
  double atLo = g.Out[0];
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (i > 0) {
      const double hi = static_cast<double>(i) - shift, lo = hi - 1.0;
      double input;
      if (hi > 0.0) {
        const double atHi = At(g.Out, hi);
        input = lo >= 0.0 ? 0.5 * (atLo + atHi) : InputOver(g, lo, hi);
        atLo = atHi;
      } else {
        input = InputOver(g, lo, hi);
      }
      const double before = state;
      state = a * state + (1.0 - a) * input;
      second = b * second + (1.0 - b) * 0.5 * (before + state);
    }
    y[i] = gain * (tau2 > 0.0 ? second : state);
  }
  return y;
}

std::vector<double> AtPolls(const Grid& g, const std::vector<double>& v) {
  std::vector<double> at;
  at.reserve(g.PolledAt.size());
  for (double x : g.PolledAt) at.push_back(At(v, x));
  return at;
}

double PvResolution(const Record& r) {
  double step = 0.0;
  auto look = [&](const std::vector<TuningSample>& samples) {
    for (std::size_t i = 1; i < samples.size(); ++i) {
      const double d = std::fabs(samples[i].PV - samples[i - 1].PV);
      if (d > 0.0 && (step == 0.0 || d < step)) step = d;
    }
  };
  look(r.Rest);
  look(r.After);
  return step;
}

double PvMove(const Record& r) {
  const std::vector<TuningSample>& after = r.After;
  double tail = 0.0;
  const std::size_t from = after.size() * 3 / 4;
  for (std::size_t i = from; i < after.size(); ++i) tail += after[i].PV / static_cast<double>(after.size() - from);
  return tail - r.RestPv;
}

double JudgedMove(const Record& r, const FitOptions& options) {
  return std::isfinite(options.PvMove) ? options.PvMove : PvMove(r);
}

std::string RecordProblem(const Record& r, const FitOptions& options) {
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
    return TuningText("The output sat on a limit for %.0f %% of the record after the step: the loop ran open and the "
                "process did not show its response. Try a smaller step.", 100.0 * limitTime / duration);
  }
  const double pvMove = std::fabs(JudgedMove(r, options));
  if (options.RestChecked && r.Rest.size() >= 3) {
    // Drift at rest: the slope of the straight line through the rest
    // samples. An output dithering while PV stays put still leaves PV at
    // rest; PV on its way somewhere does not.
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
      return TuningText("The loop was not at rest before the step: PV moved %.3g units over the ", pvDrift) +
             ProcessSecondsText(span, options.TimeScale) + " before it. Wait until it is steady, then make the step.";
    }
    // Swing at rest: PV cycling about a steady level (a limit cycle) has no
    // drift over whole cycles, but the process is off its balance when the
    // step comes, and the fit, which starts the model at rest, takes the
    // cycle's run-out for the step's response (on a cycle of half the step
    // K and tau came out anywhere from half to 1.3 times the process's,
    // with the phase of the cycle at the step). Three-poll means of PV
    // about the drift line keep a slow swing and shrink the noise to 0.58
    // of its size; the noise is told by neighbouring polls, as at rest.
    if (r.Rest.size() >= 8) {
      const double slope = stt > 0.0 ? stv / stt : 0.0;
      std::vector<double> off;
      for (const TuningSample& s : r.Rest) off.push_back(s.PV - sv - slope * (s.Time - st));
      double neighbours = 0.0, means = 0.0, low = 0.0, high = 0.0;
      for (std::size_t i = 1; i < off.size(); ++i) neighbours += (off[i] - off[i - 1]) * (off[i] - off[i - 1]);
      for (std::size_t i = 1; i + 1 < off.size(); ++i) {
        const double mean = (off[i - 1] + off[i] + off[i + 1]) / 3.0;
        means += mean * mean;
        low = std::min(low, mean);
        high = std::max(high, mean);
      }
      const double noise = std::sqrt(neighbours / (n - 1.0) / 2.0);
      const double slow = std::sqrt(means / (n - 2.0));
      // The swing beyond what the noise leaves in a three-poll mean (a third
      // of its variance). White noise passes the ratio 1.2 in about six of
      // ten thousand rests of 20 polls (and must then be large against PV's
      // move too); a sine of eight polls a cycle or longer gives over 1.4.
      // A swing under a tenth of PV's move (or within one PV count, the
      // register's resolution) passes: the fit's error grows with the swing
      // against the move, and the drift rule likewise passes a drift under
      // a fifth of the move.
      const double swing = std::sqrt(std::max(0.0, slow * slow - noise * noise / 3.0));
      if (slow > 1.2 * noise && swing > std::max(0.1 * pvMove, PvResolution(r))) {
        return TuningText("The loop was not at rest before the step: PV swung over %.3g units about its level in the ",
                          high - low) +
               ProcessSecondsText(span, options.TimeScale) +
               " before it (a cycle, not noise). Calm the loop (a wider band), wait until it is steady, then make the "
               "step.";
      }
    }
  }
  if (r.NoiseSd > 0.25 * pvMove) {
    return TuningText("The PV noise (%.3g units SD at rest) is too large for a step that moved PV by %.3g units: make "
                "a larger step.", r.NoiseSd, pvMove);
  }
  return {};
}

}  // namespace korvane::fit
