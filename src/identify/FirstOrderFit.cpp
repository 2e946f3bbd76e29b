#include "identify/FirstOrderFit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace korvane::fit {
namespace {

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

}  // namespace

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

}  // namespace korvane::fit
