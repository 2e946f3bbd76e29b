#include "rules/LoopMargins.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "identify/FopdtFit.h"

namespace korvane {

LoopMargins MarginsOf(const FopdtModel& m, double kc, double ti, double td) {
  LoopMargins margins{std::numeric_limits<double>::infinity(), 180.0};
  const double k = m.Gain, tau = m.TimeConstant, theta = m.DeadTime;
  auto at = [&](double w, double& magnitude, double& phase) {
    const double c = td * w - (std::isfinite(ti) && ti > 0.0 ? 1.0 / (ti * w) : 0.0);
    const double tau2 = m.SecondLag;
    magnitude = kc * std::sqrt(1.0 + c * c) * k / std::sqrt(1.0 + tau * tau * w * w) / std::sqrt(1.0 + tau2 * tau2 * w * w);
    phase = std::atan(c) - std::atan(tau * w) - std::atan(tau2 * w) - w * theta;
  };
  // A log sweep from well below 1 / (tau + theta) to well above 1 / theta.
  const double lo = 1e-3 / (tau + theta), hi = 1e3 / (theta > 0.0 ? theta : 0.01 * tau);
  constexpr int kPoints = 4000;
  double lastMag = 0.0, lastPhase = 0.0;
  at(lo, lastMag, lastPhase);
  bool gainFound = false, phaseFound = false;
  for (int i = 1; i <= kPoints && !(gainFound && phaseFound); ++i) {
    const double w = lo * std::pow(hi / lo, static_cast<double>(i) / kPoints);
    double mag = 0.0, phase = 0.0;
    at(w, mag, phase);
    if (!phaseFound && lastPhase > -std::numbers::pi && phase <= -std::numbers::pi) {
      const double share = (lastPhase + std::numbers::pi) / (lastPhase - phase);
      margins.Gain = 1.0 / (lastMag + share * (mag - lastMag));
      phaseFound = true;
    }
    if (!gainFound && lastMag > 1.0 && mag <= 1.0) {
      const double share = (lastMag - 1.0) / (lastMag - mag);
      margins.Phase = 180.0 + (lastPhase + share * (phase - lastPhase)) * 180.0 / std::numbers::pi;
      gainFound = true;
    }
    lastMag = mag;
    lastPhase = phase;
  }
  return margins;
}

}  // namespace korvane
