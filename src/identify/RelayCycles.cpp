#include "identify/RelayCycles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "identify/RelayTurn.h"
#include "identify/TuningText.h"

namespace korvane {
namespace {

using relay::Point;

// The usable run after the last clock jump (a cleared chart starts again).
std::vector<TuningSample> UsableRun(std::span<const TuningSample> samples) {
  std::vector<TuningSample> run;
  for (const TuningSample& s : samples) {
    if (!IsUsable(s)) continue;
    if (!run.empty() && s.Time < run.back().Time) run.clear();
    if (!run.empty() && s.Time == run.back().Time) continue;
    run.push_back(s);
  }
  return run;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid;
}

bool OnLimit(double out, const RelayOptions& options) { return out <= options.OutLow || out >= options.OutHigh; }

bool Within(double value, double reference, double share) {
  return std::fabs(value - reference) <= share * std::fabs(reference);
}

// Where PV crossed `level` between samples a and b, PV run straight between
// them; the middle of the interval when it did not cross there (noise, or a
// controller that switches at other levels). A poll right on the level
// counts as crossing there: the relay switches only beyond it, and PV held
// in whole register units sits on it often.
double CrossingTime(const TuningSample& a, const TuningSample& b, double level) {
  const double da = a.PV - level, db = b.PV - level;
  if (da == db || da * db > 0.0) return 0.5 * (a.Time + b.Time);
  return a.Time + (b.Time - a.Time) * da / (da - db);
}

// The output's levels, switches (`at`: the first sample after each) and the
// direction of action; false with the reason when the output never switched
// or never came back.
bool FindSwitches(const std::vector<TuningSample>& run, double sp, double h, const RelayOptions& options,
                  RelayCycles& r, std::vector<std::size_t>& at) {
  double lo = run.front().Out, hi = lo;
  for (const TuningSample& s : run) lo = std::min(lo, s.Out), hi = std::max(hi, s.Out);
  const double span = run.back().Time - run.front().Time;
  if (hi - lo < options.MinSwing) {
    r.Reason = TuningText("No oscillation: the output stayed at %.3g %% over the %.0f s of the record and never "
                          "switched; PV never crossed back over the setpoint +- the hysteresis within it.",
                          run.back().Out, span);
    return false;
  }
  const double mid = 0.5 * (lo + hi);
  std::vector<double> highs, lows;
  for (const TuningSample& s : run) (s.Out > mid ? highs : lows).push_back(s.Out);
  r.High = Median(highs);
  r.Low = Median(lows);
  r.D = 0.5 * (r.High - r.Low);

  // Heating (reverse action): the output goes high while PV falls through
  // SP - h and low while it rises through SP + h. Told by PV's direction
  // across the switches (the polls next to a switch may both lie on one side
  // of the setpoint, so PV's level there does not tell).
  double rising = 0.0;
  for (std::size_t i = 1; i < run.size(); ++i) {
    const bool was = run[i - 1].Out > mid, is = run[i].Out > mid;
    if (was == is) continue;
    at.push_back(i);
    rising += (is ? -1.0 : 1.0) * (run[i].PV - run[i - 1].PV);
  }
  r.Heating = rising >= 0.0;
  for (const std::size_t i : at) {
    const bool toHighNow = run[i].Out > mid;
    const double level = toHighNow == r.Heating ? sp - h : sp + h;
    r.Switches.push_back(CrossingTime(run[i - 1], run[i], level));
  }
  if (r.Switches.size() < 2) {
    r.Reason = TuningText("No oscillation: the output switched %zu time(s) and PV never crossed back within the "
                          "%.0f s of the record",
                          r.Switches.size(), span);
    r.Reason += OnLimit(run.back().Out, options) ? TuningText(" (the output sits at %.3g %%).", run.back().Out) : ".";
    return false;
  }
  return true;
}

// PV's turn in each half cycle and the peak-to-peak between turns; false
// with the reason when a half cycle holds fewer than two polls.
bool FindTurns(const std::vector<TuningSample>& run, const std::vector<std::size_t>& at, double mid, RelayCycles& r) {
  std::vector<Point> points;
  for (const TuningSample& s : run) points.push_back({s.Time, s.PV});
  for (std::size_t k = 0; k + 1 < r.Switches.size(); ++k) {
    const double from = r.Switches[k], to = r.Switches[k + 1];
    r.HalfPeriods.push_back(to - from);
    const auto first = std::lower_bound(points.begin(), points.end(), from, [](const Point& p, double t) {
      return p.T < t;
    });
    const auto last = std::upper_bound(points.begin(), points.end(), to, [](double t, const Point& p) {
      return t < p.T;
    });
    const auto inside = static_cast<std::size_t>(last - first);
    if (inside < 2) {
      r.Final = true;
      r.Reason = TuningText("A half period of %.3g s holds fewer than two polls (one every %.3g s): the "
                            "oscillation is too fast for the polling (poll faster), or PV noise flips the relay "
                            "(a larger hysteresis helps).",
                            to - from, r.Poll);
      return false;
    }
    // One poll either side as well: the flanks run away from the turn there.
    const auto begin = static_cast<std::size_t>(first - points.begin()) - (first != points.begin() ? 1 : 0);
    const auto end = std::min(points.size(), static_cast<std::size_t>(last - points.begin()) + 1);
    const bool high = run[at[k]].Out > mid;
    const bool minimum = high == r.Heating;
    std::size_t extreme = begin;
    for (std::size_t i = begin; i < end; ++i) {
      if (minimum ? points[i].Pv < points[extreme].Pv : points[i].Pv > points[extreme].Pv) extreme = i;
    }
    const relay::Turn turn = relay::FitTurn(points, extreme, minimum, std::clamp<std::size_t>(inside / 2, 1, 3));
    r.Turns.push_back(turn.Pv);
    r.TurnTimes.push_back(turn.Time);
  }
  for (std::size_t k = 0; k + 1 < r.Turns.size(); ++k) r.PeakToPeak.push_back(std::fabs(r.Turns[k + 1] - r.Turns[k]));
  return true;
}

// The median of the last `count` values of `values` at the parity of
// `index` (every other one up to the end).
double SameKindMedian(const std::vector<double>& values, std::size_t index, std::size_t count) {
  std::vector<double> kind;
  for (std::size_t i = values.size(); i-- > 0 && kind.size() < count;) {
    if ((values.size() - 1 - i) % 2 == (values.size() - 1 - index) % 2) kind.push_back(values[i]);
  }
  return Median(kind);
}

// The median of the last `count` values.
double LastMedian(const std::vector<double>& values, std::size_t count) {
  const std::size_t from = values.size() > count ? values.size() - count : 0;
  return Median({values.begin() + static_cast<std::ptrdiff_t>(from), values.end()});
}

// The steady run: from the end back, the half cycles whose full period (this
// half and the next), half period and the swing that follows their turn
// agree with the median of the last ones of their kind (high and low output
// halves differ when the levels lie unevenly around the balance). The median
// keeps one noisy half from setting the reference. A half period is allowed
// twice the share: PV noise moves each switch, and a half period carries
// the same two switch errors as a full period in half the time.
void FindSteadyRun(const RelayOptions& options, RelayCycles& r) {
  const std::size_t n = r.HalfPeriods.size();
  const std::size_t count = std::max<std::size_t>(options.MinPeriods, 1);
  std::vector<double> periods;
  for (std::size_t k = 0; k + 1 < n; ++k) periods.push_back(r.HalfPeriods[k] + r.HalfPeriods[k + 1]);
  const double period = LastMedian(periods, 2 * count);
  // PV noise moves each turn and each crossing: the share it stands for
  // against the swing widens the tolerance (twice its SD over the swing).
  const double swing = LastMedian(r.PeakToPeak, 2 * count);
  const double share =
      options.NoiseSd > 0.0 && swing > 0.0 ? std::max(options.Steadiness, 2.0 * options.NoiseSd / swing)
                                           : options.Steadiness;
  std::size_t from = n;
  while (from > 0) {
    const std::size_t k = from - 1;
    bool steady = Within(r.HalfPeriods[k], SameKindMedian(r.HalfPeriods, k, count), 2.0 * share);
    if (k < periods.size()) {
      steady = steady && Within(periods[k], period, share) &&
               Within(r.PeakToPeak[k], SameKindMedian(r.PeakToPeak, k, count), share);
    }
    if (!steady) break;
    from = k;
  }
  r.SteadyFrom = from;
  r.SteadyPeriods = (n - from) / 2;
}

// The amplitude of PV's first harmonic at w over [from, to] (whole periods
// of the oscillation): PV = m + c cos(w t) + s sin(w t) by least squares over
// the polls, the mean m taken out with them. sqrt(c^2 + s^2); 0 when the
// polls do not determine it.
double FirstHarmonic(const std::vector<TuningSample>& run, double from, double to, double w) {
  // Normal equations of the columns 1, cos, sin (symmetric 3 x 3).
  double n[3][3] = {}, b[3] = {};
  for (const TuningSample& s : run) {
    if (s.Time < from || s.Time > to) continue;
    const double x[3] = {1.0, std::cos(w * (s.Time - from)), std::sin(w * (s.Time - from))};
    for (int i = 0; i < 3; ++i) {
      b[i] += x[i] * s.PV;
      for (int j = 0; j < 3; ++j) n[i][j] += x[i] * x[j];
    }
  }
  // Cramer's rule for the two harmonic coefficients.
  auto det = [](const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  const double d = det(n);
  if (!(std::fabs(d) > 0.0) || !std::isfinite(d)) return 0.0;
  double coefficient[2];
  for (int k = 1; k < 3; ++k) {
    double m[3][3];
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m[i][j] = j == k ? b[i] : n[i][j];
    }
    coefficient[k - 1] = det(m) / d;
  }
  return std::hypot(coefficient[0], coefficient[1]);
}

std::string NotSteadyText(const RelayOptions& options, const RelayCycles& r) {
  const std::size_t k = std::min(r.SteadyFrom - 1, r.PeakToPeak.size() - 1);
  const std::size_t last = r.PeakToPeak.size() - 1;
  return TuningText("Not steady yet: only the last %zu full period(s) agree within %.0f %% (a period of %.3g s and "
                    "swing of %.3g before them, against %.3g s and %.3g now); the figures need %zu. Let the test "
                    "run longer.",
                    r.SteadyPeriods, 100.0 * options.Steadiness, r.HalfPeriods[k] + r.HalfPeriods[k + 1],
                    r.PeakToPeak[k], r.HalfPeriods[last] + r.HalfPeriods[last + 1], r.PeakToPeak[last],
                    options.MinPeriods);
}

}  // namespace

RelayCycles AnalyseRelay(std::span<const TuningSample> samples, double setpoint, double hysteresis,
                         const RelayOptions& options) {
  RelayCycles r;
  r.H = hysteresis;
  if (!std::isfinite(setpoint) || !(hysteresis >= 0.0) || !std::isfinite(hysteresis)) {
    r.Reason = "The setpoint or the hysteresis is not a number (the hysteresis must be 0 or more).";
    return r;
  }
  const std::vector<TuningSample> run = UsableRun(samples);
  if (run.size() < 4) {
    r.Reason = TuningText("No oscillation: the record holds %zu usable samples.", run.size());
    return r;
  }
  std::vector<double> intervals;
  for (std::size_t i = 1; i < run.size(); ++i) intervals.push_back(run[i].Time - run[i - 1].Time);
  r.Poll = Median(intervals);
  std::vector<std::size_t> at;
  if (!FindSwitches(run, setpoint, hysteresis, options, r, at)) return r;
  const double mid = 0.5 * (r.High + r.Low);
  if (!FindTurns(run, at, mid, r)) return r;

  // Output on a limit since the last switch for longer than a half period
  // at that level: PV cannot reach the switching level at that output. The
  // two levels' half periods differ as the output's distance from the
  // balance does, so the running one is judged against its own kind (every
  // second half period before it) once two of them are in; before that (the
  // first of a kind may be cut short: the relay started near the switching
  // level), against four times the longest of any kind.
  const std::size_t halves = r.HalfPeriods.size();
  double longest = 0.0;
  std::size_t sameKind = 0;
  for (std::size_t k = halves; k >= 2; k -= 2, ++sameKind) longest = std::max(longest, r.HalfPeriods[k - 2]);
  const double anyKind = *std::max_element(r.HalfPeriods.begin(), r.HalfPeriods.end());
  const double limit = sameKind >= 2 ? 1.5 * longest : 4.0 * anyKind;
  if (sameKind < 2) longest = anyKind;
  const double tail = run.back().Time - r.Switches.back();
  if (tail > limit) {
    r.Final = true;
    r.Reason = OnLimit(run.back().Out, options)
                   ? TuningText("The output has sat at %.3g %% for %.0f s, longer than a whole half period (%.3g s "
                                "at most before): PV cannot reach the setpoint +- the hysteresis at that level.",
                                run.back().Out, tail, longest)
                   : TuningText("No oscillation: PV has not crossed back for %.0f s, longer than a whole half period "
                                "(%.3g s at most before).",
                                tail, longest);
    return r;
  }
  if (halves / 2 < options.MinPeriods) {
    r.Reason = TuningText("Too few cycles: %zu full period(s) of PV so far; the figures need %zu steady ones. "
                          "Let the test run longer.",
                          halves / 2, options.MinPeriods);
    return r;
  }
  FindSteadyRun(options, r);
  if (r.SteadyPeriods < options.MinPeriods) {
    r.Reason = NotSteadyText(options, r);
    return r;
  }

  double swing = 0.0;
  for (std::size_t k = r.SteadyFrom; k + 1 < halves; ++k) swing += r.PeakToPeak[k];
  r.A = 0.5 * swing / static_cast<double>(halves - 1 - r.SteadyFrom);
  double periods = 0.0;
  std::size_t count = 0;
  for (std::size_t k = halves - 1; k >= r.SteadyFrom + 1; k -= 2) {
    periods += r.HalfPeriods[k] + r.HalfPeriods[k - 1];
    ++count;
    if (k < 2) break;
  }
  r.Pu = periods / static_cast<double>(count);
  double sum = 0.0, squares = 0.0;
  const auto delays = static_cast<double>(halves - r.SteadyFrom);
  for (std::size_t k = r.SteadyFrom; k < halves; ++k) sum += r.TurnTimes[k] - r.Switches[k];
  r.Delay = sum / delays;
  for (std::size_t k = r.SteadyFrom; k < halves; ++k) {
    const double e = r.TurnTimes[k] - r.Switches[k] - r.Delay;
    squares += e * e;
  }
  r.DelaySpread = delays > 1.0 ? std::sqrt(squares / (delays - 1.0)) : 0.0;
  const std::size_t wholeFrom = halves - 2 * r.SteadyPeriods;
  r.A1 = FirstHarmonic(run, r.Switches[wholeFrom], r.Switches[halves], 2.0 * std::numbers::pi / r.Pu);
  if (!(r.A > hysteresis)) {
    r.Final = true;
    r.Reason = TuningText("PV swings +-%.3g, no more than the hysteresis (%.3g): Ku = 4 d / (pi sqrt(a1^2 - h^2)) "
                          "needs a larger swing. Make the hysteresis smaller or the output's swing larger.",
                          r.A, hysteresis);
    return r;
  }
  // PV noise switches the relay early, before the true PV reaches the
  // level: the hysteresis the loop feels is smaller by about twice the
  // noise's SD (a noisy loop's first harmonic can swing less than h).
  const double felt = std::max(0.0, hysteresis - 2.0 * options.NoiseSd);
  if (!(r.A1 > felt)) {
    r.Final = true;
    r.Reason = TuningText("PV's first harmonic swings +-%.3g, no more than the hysteresis (%.3g): "
                          "Ku = 4 d / (pi sqrt(a1^2 - h^2)) needs a larger swing. Make the hysteresis smaller or the "
                          "output's swing larger.",
                          r.A1, felt);
    return r;
  }
  r.Ku = 4.0 * r.D / (std::numbers::pi * std::sqrt(r.A1 * r.A1 - felt * felt));
  r.Ok = true;
  return r;
}

}  // namespace korvane
