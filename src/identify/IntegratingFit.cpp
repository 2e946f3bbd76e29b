#include "identify/IntegratingFit.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace korvane::fit {

std::vector<double> IntegralAtPolls(const Grid& g, double shift) {
  std::vector<double> sum(g.Pv.size());
  for (std::size_t i = 1; i < sum.size(); ++i) {
    const double hi = static_cast<double>(i) - shift;
    sum[i] = sum[i - 1] + (MeanInput(g, hi - 1.0, hi) - g.Rest) * g.Dt;
  }
  return AtPolls(g, sum);
}

IntegratorFit FitIntegrator(const Grid& g, double shift) {
  IntegratorFit fit;
  fit.Shift = shift;
  const std::vector<double> y = IntegralAtPolls(g, shift);
  const std::size_t n = y.size();
  const double dn = static_cast<double>(n);
  // Centred columns: PV on the integral and on time, the offset from the means.
  double my = 0, mt = 0, mp = 0;
  for (std::size_t k = 0; k < n; ++k) {
    my += y[k] / dn;
    mt += g.PolledAt[k] * g.Dt / dn;
    mp += g.PolledPv[k] / dn;
  }
  double yy = 0, yt = 0, tt = 0, py = 0, pt = 0, pp = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const double a = y[k] - my, b = g.PolledAt[k] * g.Dt - mt, p = g.PolledPv[k] - mp;
    yy += a * a;
    yt += a * b;
    tt += b * b;
    py += p * a;
    pt += p * b;
    pp += p * p;
  }
  const double det = yy * tt - yt * yt;
  fit.Sse = pp;
  if (!(det > 1e-12 * yy * tt) || !std::isfinite(det)) return fit;
  fit.Slope = (py * tt - pt * yt) / det;
  fit.Ramp = (pt * yy - py * yt) / det;
  fit.Offset = mp - fit.Slope * my - fit.Ramp * mt;
  fit.Model.resize(n);
  double sse = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    fit.Model[k] = fit.Offset + fit.Slope * y[k] + fit.Ramp * g.PolledAt[k] * g.Dt;
    sse += (g.PolledPv[k] - fit.Model[k]) * (g.PolledPv[k] - fit.Model[k]);
  }
  fit.Sse = sse;
  // A ramp against the output (PV falling as the output rises) is the
  // controller answering, not the process.
  if (!(fit.Slope > 0.0)) fit.Sse = pp;
  return fit;
}

IntegratorFit BestIntegrator(const Grid& g) {
  const std::size_t maxShift = g.Pv.size() / 2;
  IntegratorFit best = FitIntegrator(g, 0.0);
  for (std::size_t shift = 1; shift <= maxShift; ++shift) {
    IntegratorFit t = FitIntegrator(g, static_cast<double>(shift));
    if (t.Sse < best.Sse) best = std::move(t);
  }
  double a = std::max(0.0, best.Shift - 1.0), b = std::min(static_cast<double>(maxShift), best.Shift + 1.0);
  for (int i = 0; i < 16; ++i) {
    const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
    IntegratorFit tc = FitIntegrator(g, c), td = FitIntegrator(g, d);
    const bool lower = tc.Sse <= td.Sse;
    if (lower ? tc.Sse < best.Sse : td.Sse < best.Sse) best = std::move(lower ? tc : td);
    if (lower) b = d; else a = c;
  }
  return best;
}

}  // namespace korvane::fit
