#include "identify/RelayTurn.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace korvane::relay {
namespace {

using Basis = std::array<double, 3>;

struct Fit {
  bool Ok = false;
  std::array<double, 3> C{};
  double Sse = std::numeric_limits<double>::infinity();
};

// Least squares of y on three basis functions: the normal equations solved
// by elimination with partial pivoting.
template <typename BasisOf>
Fit LeastSquares(std::span<const Point> points, BasisOf basisOf) {
  std::array<std::array<double, 4>, 3> m{};
  for (const Point& p : points) {
    const Basis b = basisOf(p.T);
    for (std::size_t i = 0; i < 3; ++i) {
      for (std::size_t j = 0; j < 3; ++j) m[i][j] += b[i] * b[j];
      m[i][3] += b[i] * p.Pv;
    }
  }
  for (std::size_t col = 0; col < 3; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < 3; ++r) {
      if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
    }
    if (!(std::fabs(m[pivot][col]) > 1e-12)) return {};
    std::swap(m[col], m[pivot]);
    for (std::size_t r = 0; r < 3; ++r) {
      if (r == col) continue;
      const double f = m[r][col] / m[col][col];
      for (std::size_t c = col; c < 4; ++c) m[r][c] -= f * m[col][c];
    }
  }
  Fit fit;
  fit.Ok = true;
  for (std::size_t i = 0; i < 3; ++i) fit.C[i] = m[i][3] / m[i][i];
  fit.Sse = 0.0;
  for (const Point& p : points) {
    const Basis b = basisOf(p.T);
    const double r = p.Pv - (fit.C[0] * b[0] + fit.C[1] * b[1] + fit.C[2] * b[2]);
    fit.Sse += r * r;
  }
  return fit;
}

}  // namespace

Turn FitTurn(std::span<const Point> all, std::size_t extreme, bool minimum, std::size_t width) {
  // Worked as a minimum: a maximum is the minimum of -PV.
  const double sign = minimum ? 1.0 : -1.0;
  const std::size_t from = extreme >= width ? extreme - width : 0;
  const std::size_t to = std::min(all.size(), extreme + width + 1);
  std::vector<Point> points;
  for (std::size_t i = from; i < to; ++i) points.push_back({all[i].T, sign * all[i].Pv});
  const std::size_t m = extreme - from;
  const Point mid = points[m];
  Turn sampled{mid.T, sign * mid.Pv};
  if (points.size() < 4) return sampled;
  // The turn lies between the polls next to the extreme sample.
  const double tLow = m > 0 ? points[m - 1].T : mid.T;
  const double tHigh = m + 1 < points.size() ? points[m + 1].T : mid.T;
  double step = 0.0, nearest = std::numeric_limits<double>::infinity();
  if (m > 0) step = std::max(step, points[m - 1].Pv - mid.Pv), nearest = std::min(nearest, points[m - 1].Pv);
  if (m + 1 < points.size()) {
    step = std::max(step, points[m + 1].Pv - mid.Pv), nearest = std::min(nearest, points[m + 1].Pv);
  }

  double bestSse = std::numeric_limits<double>::infinity();
  Turn best = sampled;
  // A corner: falling before t0, rising after it.
  constexpr int kSteps = 64;
  for (int i = 0; i <= kSteps; ++i) {
    const double t0 = tLow + (tHigh - tLow) * i / kSteps;
    const Fit fit = LeastSquares(points, [t0](double t) {
      return Basis{1.0, std::min(t - t0, 0.0), std::max(t - t0, 0.0)};
    });
    if (fit.Ok && fit.C[1] <= 0.0 && fit.C[2] >= 0.0 && fit.Sse < bestSse) {
      bestSse = fit.Sse;
      best = {t0, fit.C[0]};
    }
  }
  // A parabola opening upwards with its vertex between the neighbours.
  const Fit parabola = LeastSquares(points, [&mid](double t) {
    const double u = t - mid.T;
    return Basis{1.0, u, u * u};
  });
  if (parabola.Ok && parabola.C[2] > 0.0) {
    const double u = -parabola.C[1] / (2.0 * parabola.C[2]);
    if (mid.T + u >= tLow && mid.T + u <= tHigh && parabola.Sse < bestSse) {
      bestSse = parabola.Sse;
      best = {mid.T + u, parabola.C[0] - parabola.C[1] * parabola.C[1] / (4.0 * parabola.C[2])};
    }
  }
  if (!std::isfinite(bestSse)) return sampled;
  // Noise must not carry the turn past what the neighbouring polls allow.
  best.Pv = std::clamp(best.Pv, mid.Pv - step, std::max(mid.Pv, nearest));
  return {best.Time, sign * best.Pv};
}

}  // namespace korvane::relay
