#include "identify/RelayFit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace korvane {
namespace {

// The model's lags (gain 1) answering a unit step, and a unit impulse, `s`
// seconds after the dead time. An integrating model is held as a lag far
// past the record, so it answers as the lag does.
double StepResponse(const FopdtModel& m, double s) {
  if (!(s > 0.0)) return 0.0;
  const double t1 = m.TimeConstant, t2 = m.SecondLag;
  if (!(t2 > 0.0)) return -std::expm1(-s / t1);
  if (std::fabs(t1 - t2) < 1e-6 * t1) return 1.0 - (1.0 + s / t1) * std::exp(-s / t1);
  return 1.0 - (t1 * std::exp(-s / t1) - t2 * std::exp(-s / t2)) / (t1 - t2);
}
double ImpulseResponse(const FopdtModel& m, double s) {
  if (!(s > 0.0)) return 0.0;
  const double t1 = m.TimeConstant, t2 = m.SecondLag;
  if (!(t2 > 0.0)) return std::exp(-s / t1) / t1;
  if (std::fabs(t1 - t2) < 1e-6 * t1) return s * std::exp(-s / t1) / (t1 * t1);
  return (std::exp(-s / t1) - std::exp(-s / t2)) / (t1 - t2);
}

// Solves a x = b (Gaussian elimination with partial pivoting); empty when singular.
std::vector<double> Solve(std::vector<std::vector<double>> a, std::vector<double> b) {
  const std::size_t n = b.size();
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    for (std::size_t r = c + 1; r < n; ++r) {
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    }
    std::swap(a[c], a[p]);
    std::swap(b[c], b[p]);
    if (!(std::fabs(a[c][c]) > 0.0)) return {};
    for (std::size_t r = c + 1; r < n; ++r) {
      const double f = a[r][c] / a[c][c];
      for (std::size_t k = c; k < n; ++k) a[r][k] -= f * a[c][k];
      b[r] -= f * b[c];
    }
  }
  std::vector<double> x(n);
  for (std::size_t c = n; c-- > 0;) {
    double s = b[c];
    for (std::size_t k = c + 1; k < n; ++k) s -= a[c][k] * x[k];
    x[c] = s / a[c][c];
  }
  return x;
}

// The switches moved to where `model` puts them. PV noise moves the
// relay's switches (it switches on a noisy reading) and the crossing read
// from two noisy polls, by a good share of a poll; each such error leaves
// an output pulse the model answers for a whole lag, and the fit would take
// a shorter lag to forget them sooner (K and tau both come out low). A
// switch moved by dt changes PV by -jump K g(t - ts - theta) dt, g the
// lags' impulse response: PV at the polls after the relay started is fitted
// by least squares on the model's response to the output (its gain and an
// offset free; for an integrating model a ramp too, its balance) and these
// columns, each switch's move held within the polls that bracket it by a
// prior as wide as that interval (sd interval / sqrt(12)) against the noise.
std::vector<double> PlacedSwitches(const std::vector<TuningSample>& run, double relayStart,
                                   const std::vector<double>& switches, double mid, const FopdtModel& model) {
  struct Edge {
    double Time, Jump, Lo, Hi;
  };
  std::size_t first = 0;
  double rest = 0.0;
  while (first < run.size() && run[first].Time < relayStart) rest += run[first++].Out;
  if (first == run.size()) return switches;
  // The rest level as the fit takes it: the mean output before the relay,
  // or without a rest the first output polled.
  rest = first > 0 ? rest / static_cast<double>(first) : run[first].Out;
  // The output's edges: the relay's start, then each switch, each to the
  // level polled next.
  std::vector<Edge> edges{{relayStart, run[first].Out - rest, relayStart, relayStart}};
  // Each switch in the interval between the polls where the output changed
  // sides (a switch may lie on either poll's time).
  std::size_t at = first;
  for (const double ts : switches) {
    while (at + 1 < run.size() && !((run[at].Out > mid) != (run[at + 1].Out > mid) && run[at + 1].Time >= ts)) ++at;
    if (at + 1 >= run.size() || run[at].Time > ts) return switches;
    edges.push_back({ts, run[at + 1].Out - run[at].Out, run[at].Time, run[at + 1].Time});
    ++at;
  }
  const std::size_t n = switches.size(), columns = 3 + n;
  std::vector<std::vector<double>> a(columns, std::vector<double>(columns, 0.0));
  std::vector<double> b(columns, 0.0), row(columns);
  const double theta = model.DeadTime;
  for (std::size_t k = first; k < run.size(); ++k) {
    const double t = run[k].Time;
    double y = 0.0;
    for (const Edge& e : edges) y += e.Jump * StepResponse(model, t - e.Time - theta);
    row[0] = 1.0;
    row[1] = model.Integrating ? t - relayStart : 0.0;
    row[2] = y;
    for (std::size_t j = 0; j < n; ++j) {
      row[3 + j] = -edges[j + 1].Jump * ImpulseResponse(model, t - edges[j + 1].Time - theta);
    }
    for (std::size_t i = 0; i < columns; ++i) {
      b[i] += row[i] * run[k].PV;
      for (std::size_t j = 0; j < columns; ++j) a[i][j] += row[i] * row[j];
    }
  }
  if (!model.Integrating) a[1][1] = 1.0;  // the ramp's column is not used
  const double noise = std::max(model.NoiseSd, 1e-9);
  for (std::size_t j = 0; j < n; ++j) {
    const double prior = std::fabs(model.Gain) * std::max(edges[j + 1].Hi - edges[j + 1].Lo, 1e-6) / std::sqrt(12.0);
    a[3 + j][3 + j] += noise * noise / (prior * prior);
  }
  const std::vector<double> x = Solve(std::move(a), std::move(b));
  std::vector<double> placed = switches;
  if (x.empty()) return placed;
  for (std::size_t j = 0; j < n; ++j) {
    const double moved = switches[j] + x[3 + j] / model.Gain;
    if (std::isfinite(moved)) placed[j] = std::clamp(moved, edges[j + 1].Lo, edges[j + 1].Hi);
  }
  return placed;
}

// The usable run after the last clock jump, as the fit reads it.
std::vector<TuningSample> UsableRun(std::span<const TuningSample> samples) {
  std::vector<TuningSample> run;
  for (const TuningSample& s : samples) {
    if (!IsUsable(s)) continue;
    if (!run.empty() && s.Time < run.back().Time) run.clear();
    run.push_back(s);
  }
  return run;
}

}  // namespace

Identification IdentifyRelay(std::span<const TuningSample> samples, double relayStart, const RelayCycles& cycles,
                             FitOptions options) {
  if (!cycles.Ok) {
    Identification refused;
    refused.Refusal = "The relay test has no steady cycles to fit: " + cycles.Reason;
    return refused;
  }
  options.RestUntil = relayStart;
  // The relay's output sits on its levels by design, often 0 and 100 %: it
  // is the known input here, not a loop that ran open.
  options.LimitShare = 2.0;
  // Between the polls the output is a square wave: it jumped where the
  // cycles put each switch (PV crossing the switching level) and held its
  // level in between. Straight lines drawn across a switch would move the
  // output's edges by up to half a poll, and the dead time and gain with them.
  options.OutputSwitches = cycles.Switches;
  // PV swings about the setpoint and ends where it started: the step's move
  // (the end against the rest) is about 0 here and would call any noise too
  // large, any drift at rest too much and any residual a missed shape. The
  // relay's own move is its peak-to-peak.
  options.PvMove = 2.0 * cycles.A;
  // PV shows the process about the oscillation's frequency, where a long
  // lag, an integrator and two shorter lags look alike: the length of the
  // first-order lag does not tell them apart, the residuals of each do.
  options.EveryKind = true;
  options.RestChecked = false;  // the loop before the relay need not be at rest
  Identification best = IdentifyFopdt(samples, options);
  // Then the switches placed by the model and fitted again, while that
  // leaves smaller residuals (a fit refused for a shape it missed may be
  // one the misplaced switches made).
  const std::vector<TuningSample> run = UsableRun(samples);
  for (int round = 0; round < 3; ++round) {
    const FopdtModel& m = best.Model;
    if (!(m.Gain > 0.0) || !(m.TimeConstant > 0.0) || !std::isfinite(m.Gain)) break;
    const double mid = 0.5 * (cycles.High + cycles.Low);
    options.OutputSwitches = PlacedSwitches(run, relayStart, options.OutputSwitches, mid, m);
    Identification next = IdentifyFopdt(samples, options);
    if (!next.Ok || (best.Ok && !(next.Model.ResidualSd < 0.999 * m.ResidualSd))) break;
    best = std::move(next);
  }
  return best;
}

}  // namespace korvane
