#include "tuning/StepFigures.h"

#include <algorithm>
#include <cmath>

namespace korvane {

bool IsUsable(const TuningSample& sample) noexcept {
  return std::isfinite(sample.Time) && std::isfinite(sample.SP) && std::isfinite(sample.PV) &&
         std::isfinite(sample.Out);
}

StepFigures::StepFigures(double stepTime, double oldSetpoint, double newSetpoint, FigureOptions options)
    : stepTime_(stepTime), base_(oldSetpoint), target_(newSetpoint), options_(options) {
  figures_.Step = newSetpoint - oldSetpoint;
  valid_ = std::isfinite(stepTime) && std::isfinite(figures_.Step) && figures_.Step != 0.0 &&
           std::isfinite(options.Band) && options.Band > 0.0;
}

// Time at which the normalised response passed `level`, between the
// previous sample and this one (straight line between them).
double StepFigures::Crossing(double t, double r, double level) const {
  if (!any_ || r == lastR_) return t;
  const double share = std::clamp((level - lastR_) / (r - lastR_), 0.0, 1.0);
  return lastT_ + share * (t - lastT_);
}

bool StepFigures::Add(const TuningSample& sample) {
  if (!IsUsable(sample)) return false;
  const double t = sample.Time - stepTime_;
  if (!(t >= 0.0) || (any_ && t < lastT_)) return false;

  const double absError = std::fabs(target_ - sample.PV);
  const bool onLimit = sample.Out <= options_.OutLow || sample.Out >= options_.OutHigh;
  if (any_) {
    const double dt = t - lastT_;
    figures_.Iae += 0.5 * (lastAbsError_ + absError) * dt;
    if (lastOnLimit_) figures_.LimitTime += dt;
  }
  figures_.Elapsed = t;
  const bool up = figures_.Step >= 0.0;
  if (!figures_.PeakOutput || (up ? sample.Out > *figures_.PeakOutput : sample.Out < *figures_.PeakOutput)) {
    figures_.PeakOutput = sample.Out;
  }

  if (valid_) {
    const double r = (sample.PV - base_) / figures_.Step;
    if (!t10_ && r >= 0.1) t10_ = Crossing(t, r, 0.1);
    if (t10_ && !figures_.RiseTime && r >= 0.9) figures_.RiseTime = Crossing(t, r, 0.9) - *t10_;
    peakR_ = any_ ? std::max(peakR_, r) : r;
    UpdateSettling(t, r, target_ - sample.PV);
    lastR_ = r;
  }
  lastT_ = t;
  lastAbsError_ = absError;
  lastOnLimit_ = onLimit;
  any_ = true;
  return true;
}

// Settled once PV has stayed inside the band for at least as long as it took
// to enter it (and for three samples): a response still swinging through the
// band is not settled. Leaving the band makes the settling figures unknown again.
void StepFigures::UpdateSettling(double t, double r, double error) {
  const double band = options_.Band;
  if (std::fabs(r - 1.0) > band) {
    bandEntry_.reset();
    figures_.SettlingTime.reset();
    figures_.Overshoot.reset();
    figures_.SteadyStateError.reset();
    return;
  }
  if (!bandEntry_) {
    double entry = t;
    if (any_ && lastR_ < 1.0 - band) entry = Crossing(t, r, 1.0 - band);
    if (any_ && lastR_ > 1.0 + band) entry = Crossing(t, r, 1.0 + band);
    bandEntry_ = entry;
    bandErrorSum_ = 0.0;
    bandSamples_ = 0;
  }
  bandErrorSum_ += error;
  ++bandSamples_;
  if (bandSamples_ >= 3 && t - *bandEntry_ >= *bandEntry_) {
    figures_.SettlingTime = *bandEntry_;
    figures_.Overshoot = std::max(0.0, peakR_ - 1.0) * 100.0;
    figures_.SteadyStateError = bandErrorSum_ / static_cast<double>(bandSamples_);
  }
}

}  // namespace korvane
