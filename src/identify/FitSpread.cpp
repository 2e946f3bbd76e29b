#include "identify/FitSpread.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace korvane::fit {
namespace {

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

}  // namespace korvane::fit
