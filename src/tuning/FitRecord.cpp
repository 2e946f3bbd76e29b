#include "tuning/FitRecord.h"

#include <algorithm>
#include <cmath>

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

// Mean output over the grid interval [lo, hi] (fractional indices, hi - lo
// = 1): the rest level before index 0, where the step's jump is.
double MeanInput(const Grid& g, double lo, double hi) {
  if (hi <= 0.0) return g.Rest;
  if (lo >= 0.0) return 0.5 * (At(g.Out, lo) + At(g.Out, hi));
  return -lo * g.Rest + hi * 0.5 * (g.Out[0] + At(g.Out, hi));
}

// The most parameters a spread is worked out for.
constexpr int kMaxParameters = 5;
using Normal = double[kMaxParameters][kMaxParameters];

// Inverse of the symmetric positive `size` x `size` matrix `m` (destroyed)
// by Gauss-Jordan; false when singular.
bool Invert(Normal& m, Normal& inv, int size) {
  for (int i = 0; i < size; ++i)
    for (int j = 0; j < size; ++j) inv[i][j] = i == j ? 1.0 : 0.0;
  for (int c = 0; c < size; ++c) {
    int pivot = c;
    for (int r = c + 1; r < size; ++r)
      if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
    if (!(std::fabs(m[pivot][c]) > 0.0)) return false;
    for (int j = 0; j < size; ++j) {
      std::swap(m[c][j], m[pivot][j]);
      std::swap(inv[c][j], inv[pivot][j]);
    }
    const double d = m[c][c];
    for (int j = 0; j < size; ++j) {
      m[c][j] /= d;
      inv[c][j] /= d;
    }
    for (int r = 0; r < size; ++r) {
      if (r == c) continue;
      const double f = m[r][c];
      for (int j = 0; j < size; ++j) {
        m[r][j] -= f * m[c][j];
        inv[r][j] -= f * inv[c][j];
      }
    }
  }
  return true;
}

// The residuals' sums and the normal matrix of the parameters' columns at
// the polls, for their spreads.
struct Normals {
  Normal Matrix = {};
  int Size = 0;
  double Sse = 0.0, Lag = 0.0, Last = 0.0;
  std::size_t Count = 0;
  void Add(const double* column, double residual) {
    for (int a = 0; a < Size; ++a)
      for (int b = 0; b < Size; ++b) Matrix[a][b] += column[a] * column[b];
    Sse += residual * residual;
    if (Count > 0) Lag += residual * Last;
    Last = residual;
    ++Count;
  }
  // Two standard errors of each parameter; false when there are too few
  // residuals or the matrix is singular. Residuals that follow each other
  // (model error, slow noise) say less than independent ones: the variance
  // grows by (1 + rho) / (1 - rho).
  bool HalfWidths(double* widths) {
    Normal inverse;
    if (Count <= 2 * static_cast<std::size_t>(Size) || !(Sse > 0.0) || !Invert(Matrix, inverse, Size)) return false;
    const double rho = std::clamp(Lag / Sse, 0.0, 0.9);
    const double variance = Sse / static_cast<double>(Count - static_cast<std::size_t>(Size)) * (1.0 + rho) / (1.0 - rho);
    for (int i = 0; i < Size; ++i) widths[i] = 2.0 * std::sqrt(std::max(0.0, variance * inverse[i][i]));
    return true;
  }
};

}  // namespace

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
    g.Out[i] = t <= c.Time ? c.Out : c.Out + wo * (d.Out - c.Out);
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
  return g;
}

std::vector<double> Simulate(const Grid& g, double gain, double tau, double shift, double tau2) {
  std::vector<double> y(g.Pv.size());
  const double a = std::exp(-g.Dt / tau), b = tau2 > 0.0 ? std::exp(-g.Dt / tau2) : 0.0;
  double state = g.Rest, second = g.Rest;
  // The output at the end of each step is the one at the start of the next:
  // looked up once (this loop is most of the fit's time).
  double atLo = g.Out[0];
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (i > 0) {
      const double hi = static_cast<double>(i) - shift, lo = hi - 1.0;
      double input = g.Rest;
      if (hi > 0.0) {
        const double atHi = At(g.Out, hi);
        input = lo >= 0.0 ? 0.5 * (atLo + atHi) : -lo * g.Rest + hi * 0.5 * (g.Out[0] + atHi);
        atLo = atHi;
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

Spread ParameterSpread(const Grid& g, double gain, double tau, double shift, double offset, double tau2) {
  const std::vector<double> y = Simulate(g, gain, tau, shift, tau2);
  const double h = 0.01 * tau, h2 = 0.01 * tau2;
  const std::vector<double> tauUp = Simulate(g, gain, tau + h, shift, tau2), tauDown = Simulate(g, gain, tau - h, shift, tau2);
  const std::vector<double> late = Simulate(g, gain, tau, shift + 0.5, tau2);
  const std::vector<double> early = Simulate(g, gain, tau, std::max(0.0, shift - 0.5), tau2);
  const double dShift = shift + 0.5 - std::max(0.0, shift - 0.5);
  // A second lag is a parameter of its own: it trades with the dead time.
  std::vector<double> lagUp, lagDown;
  if (tau2 > 0.0) {
    lagUp = Simulate(g, gain, tau, shift, tau2 + h2);
    lagDown = Simulate(g, gain, tau, shift, tau2 - h2);
  }
  Normals normals;
  normals.Size = tau2 > 0.0 ? 5 : 4;
  for (std::size_t k = 0; k < g.Polled.size(); ++k) {
    const std::size_t i = g.Polled[k];
    const double column[kMaxParameters] = {y[i] / gain, (tauUp[i] - tauDown[i]) / (2.0 * h),
                                           (late[i] - early[i]) / (dShift * g.Dt), 1.0,
                                           tau2 > 0.0 ? (lagUp[i] - lagDown[i]) / (2.0 * h2) : 0.0};
    normals.Add(column, g.Pv[i] - offset - y[i]);
  }
  Spread spread;
  double widths[kMaxParameters];
  if (!normals.HalfWidths(widths)) return spread;
  spread.Gain = widths[0];
  spread.Tau = widths[1];
  spread.DeadTime = widths[2];
  return spread;
}

namespace {

// The integral (%·s) of the output's move off its rest level, delayed
// `shift` grid steps, at each polled sample.
std::vector<double> IntegralAtPolls(const Grid& g, double shift) {
  std::vector<double> sum(g.Pv.size());
  for (std::size_t i = 1; i < sum.size(); ++i) {
    const double hi = static_cast<double>(i) - shift;
    sum[i] = sum[i - 1] + (MeanInput(g, hi - 1.0, hi) - g.Rest) * g.Dt;
  }
  return AtPolls(g, sum);
}

}  // namespace

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

double IntegratorDeadTimeSpread(const Grid& g, const IntegratorFit& fit) {
  const std::vector<double> late = IntegralAtPolls(g, fit.Shift + 0.5);
  const std::vector<double> early = IntegralAtPolls(g, std::max(0.0, fit.Shift - 0.5));
  const double dShift = (fit.Shift + 0.5 - std::max(0.0, fit.Shift - 0.5)) * g.Dt;
  const std::vector<double> y = IntegralAtPolls(g, fit.Shift);
  Normals normals;
  normals.Size = 4;
  for (std::size_t k = 0; k < y.size(); ++k) {
    const double column[4] = {y[k], g.PolledAt[k] * g.Dt, fit.Slope * (late[k] - early[k]) / dShift, 1.0};
    normals.Add(column, g.PolledPv[k] - fit.Model[k]);
  }
  double widths[kMaxParameters];
  return normals.HalfWidths(widths) ? widths[2] : 0.0;
}

Leftover JudgeResiduals(const std::vector<double>& residuals, const std::vector<double>& times, double noiseSd,
                        double pvMove) {
  Leftover left;
  const std::size_t n = std::min(residuals.size(), times.size());
  if (n == 0) return left;
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) sum += residuals[i] * residuals[i];
  left.Sd = std::sqrt(sum / static_cast<double>(n));
  const std::size_t w = std::clamp<std::size_t>(n / 15, 3, 8);
  if (n < w) return left;
  std::vector<double> mean(n - w + 1, 0.0);
  for (std::size_t k = 0; k < mean.size(); ++k) {
    for (std::size_t i = k; i < k + w; ++i) mean[k] += residuals[i] / static_cast<double>(w);
  }
  // Averaged noise: about 4.5 of its standard errors at most, over a record
  // of a few hundred polls; a model close to the process may miss by a few
  // hundredths of PV's move.
  const double limit = 4.5 * noiseSd / std::sqrt(static_cast<double>(w)) + 0.03 * std::fabs(pvMove);
  std::size_t at = 0;
  for (std::size_t k = 1; k < mean.size(); ++k) {
    if (std::fabs(mean[k]) > std::fabs(mean[at])) at = k;
  }
  if (!(std::fabs(mean[at]) > limit)) return left;
  // The run: where the average stays on the same side, over half the limit.
  const bool above = mean[at] > 0.0;
  auto inRun = [&](std::size_t k) { return (mean[k] > 0.0) == above && std::fabs(mean[k]) > 0.5 * limit; };
  std::size_t first = at, last = at;
  while (first > 0 && inRun(first - 1)) --first;
  while (last + 1 < mean.size() && inRun(last + 1)) ++last;
  left.Missed = mean[at];
  // The run's windows by their middles: where the residuals themselves ran off.
  left.From = times[first + (w - 1) / 2];
  left.To = times[last + w / 2];
  return left;
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

}  // namespace korvane::fit
