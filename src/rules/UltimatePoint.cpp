#include "rules/UltimatePoint.h"

#include <cmath>
#include <numbers>

namespace korvane {
namespace {

// The phase (rad, continuous, 0 down to minus infinity) at w.
double Phase(const FopdtModel& m, double w) {
  const double lag = m.Integrating ? std::numbers::pi / 2.0 : std::atan(w * m.TimeConstant);
  return -lag - std::atan(w * m.SecondLag) - w * m.DeadTime;
}

bool Usable(const FopdtModel& m) {
  return std::isfinite(m.Gain) && m.Gain > 0.0 && std::isfinite(m.TimeConstant) && m.TimeConstant > 0.0 &&
         std::isfinite(m.SecondLag) && m.SecondLag >= 0.0 && std::isfinite(m.DeadTime);
}

}  // namespace

std::complex<double> FrequencyResponse(const FopdtModel& m, double w) {
  using namespace std::complex_literals;
  const std::complex<double> s = 1i * w;
  const std::complex<double> delay = std::exp(-s * m.DeadTime);
  const std::complex<double> second = 1.0 + s * m.SecondLag;
  if (m.Integrating) return m.Gain / m.TimeConstant * delay / (s * second);
  return m.Gain * delay / ((1.0 + s * m.TimeConstant) * second);
}

double FrequencyAtPhase(const FopdtModel& m, double phase) {
  if (!Usable(m) || !(m.DeadTime > 0.0) || !std::isfinite(phase) || !(phase < 0.0)) return std::nan("");
  // Bracket: the phase starts above `phase` at w -> 0 (at most -pi/2) and
  // falls past it once w theta alone exceeds -phase.
  double lo = 0.0, hi = -phase / m.DeadTime;
  if (!(Phase(m, 1e-12 * hi) > phase)) return std::nan("");
  while (Phase(m, hi) > phase) hi *= 2.0;
  for (int i = 0; i < 200 && hi - lo > 1e-15 * hi; ++i) {
    const double mid = 0.5 * (lo + hi);
    (Phase(m, mid) > phase ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

UltimatePoint UltimateOf(const FopdtModel& m) {
  UltimatePoint u;
  if (!Usable(m)) {
    u.Refusal = "The model's gain or time constant is not above 0: it has no ultimate point.";
    return u;
  }
  if (!(m.DeadTime > 0.0)) {
    u.Refusal = "The model has no dead time: its phase never reaches -180 degrees, so it has no ultimate point.";
    return u;
  }
  u.Omega = FrequencyAtPhase(m, -std::numbers::pi);
  u.Pu = 2.0 * std::numbers::pi / u.Omega;
  u.Ku = 1.0 / std::abs(FrequencyResponse(m, u.Omega));
  u.Ok = true;
  return u;
}

}  // namespace korvane
