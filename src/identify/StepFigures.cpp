#include "identify/StepFigures.h"

#include <algorithm>
#include <cmath>

namespace korvane {

bool IsUsable(const TuningSample& sample) noexcept {
  return std::isfinite(sample.Time) && std::isfinite(sample.SP) && std::isfinite(sample.PV) &&
         std::isfinite(sample.Out);
}

StepResponseFigures InProcessTime(const StepResponseFigures& figures, double scale) {
  StepResponseFigures f = figures;
  f.Elapsed *= scale;
  f.Iae *= scale;
  f.LimitTime *= scale;
  if (f.RiseTime) *f.RiseTime *= scale;
  if (f.SettlingTime) *f.SettlingTime *= scale;
  return f;
}

StepFigures::StepFigures(double stepTime, double oldSetpoint, double newSetpoint, FigureOptions options)
    : stepTime_(stepTime), oldSetpoint_(oldSetpoint), base_(oldSetpoint), target_(newSetpoint), options_(options) {
  figures_.Step = newSetpoint - oldSetpoint;
  // From where PV rested, unless it rested so near the new setpoint (or past
  // it) that the way there tells nothing.
  const double way = newSetpoint - options.RestPv;
  if (std::isfinite(way) && way * figures_.Step > 0.0 && std::fabs(way) >= 0.25 * std::fabs(figures_.Step)) {
    base_ = options.RestPv;
  }
  figures_.Band = std::max({options.Band * std::fabs(figures_.Step), 2.0 * std::fabs(options.PvResolution),
                            3.0 * std::fabs(options.NoiseSd)});
  valid_ = std::isfinite(stepTime) && std::isfinite(figures_.Step) && figures_.Step != 0.0 &&
           std::isfinite(options.Band) && options.Band > 0.0 && std::isfinite(figures_.Band);
}

// Time at which the normalised response passed `level`, between the
// previous sample and this one (straight line between them).
double StepFigures::Crossing(double t, double r, double level) const {
  if (!any_ || r == lastR_) return t;
  const double share = std::clamp((level - lastR_) / (r - lastR_), 0.0, 1.0);
  return lastT_ + share * (t - lastT_);
}

// Beyond the setpoint, % of the step; a peak inside the band is noise, 0.
double StepFigures::Overshoot() const {
  const double beyond = (peakR_ - 1.0) * std::fabs(target_ - base_);
  return beyond > figures_.Band ? (peakR_ - 1.0) * 100.0 : 0.0;
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
    const double r = (sample.PV - base_) / (target_ - base_);
    if (!t10_ && r >= 0.1) t10_ = Crossing(t, r, 0.1);
    if (t10_ && !figures_.RiseTime && r >= 0.9) figures_.RiseTime = Crossing(t, r, 0.9) - *t10_;
    peakR_ = any_ ? std::max(peakR_, r) : r;
    // The peak has passed once PV crossed the setpoint and came back by more than the band.
    if (peakR_ > 1.0 && r < peakR_ - figures_.Band / std::fabs(target_ - base_)) {
      figures_.Overshoot = Overshoot();
    }
    points_.push_back({t, sample.PV});
    lastR_ = r;
  }
  lastT_ = t;
  lastAbsError_ = absError;
  lastOnLimit_ = onLimit;
  any_ = true;
  // Every sample while they are few, then every 1/64 more of them: the
  // settling is found again from all the samples, so a long step costs a
  // bounded multiple of its length, not its square.
  if (valid_ && points_.size() >= nextSettling_) {
    UpdateSettling();
    nextSettling_ = points_.size() + std::max<std::size_t>(1, points_.size() / 64);
  }
  return true;
}

void StepFigures::Refresh() {
  if (valid_) UpdateSettling();
}

// Settled once PV has stayed inside the band around the value it settles at
// (the mean of the later half of the response) for at least as long as it
// took to enter it, and for three samples: a response still swinging
// through the band is not settled. Leaving the band makes the settling
// figures unknown again.
void StepFigures::UpdateSettling() {
  const double band = figures_.Band, elapsed = figures_.Elapsed;
  figures_.Settled = false;
  figures_.SettlingTime.reset();
  figures_.SteadyStateError.reset();
  double sum = 0.0;
  std::size_t count = 0;
  for (auto it = points_.rbegin(); it != points_.rend() && it->T >= 0.5 * elapsed; ++it, ++count) sum += it->Pv;
  if (count < 3) return;
  const double settle = sum / static_cast<double>(count);
  // Half a count more: a whole-count PV cannot come nearer the band's edge.
  const double reach = band + 0.5 * std::fabs(options_.PvResolution);
  std::size_t inside = 0;
  while (inside < points_.size() && std::fabs(points_[points_.size() - 1 - inside].Pv - settle) <= reach) ++inside;
  if (inside < 3 || inside == points_.size()) return;
  // PV must have gone a good part of the way, and stopped: not still
  // drifting across the band (the start of a slow rise looks flat too).
  const double way = std::fabs(settle - base_);
  if (way < 3.0 * band || way < 0.25 * std::fabs(target_ - base_)) return;
  double st = 0.0, sp = 0.0, stt = 0.0, stp = 0.0;
  const auto first = static_cast<std::ptrdiff_t>(points_.size() - inside);
  for (auto it = points_.begin() + first; it != points_.end(); ++it) {
    st += it->T / static_cast<double>(inside);
    sp += it->Pv / static_cast<double>(inside);
  }
  for (auto it = points_.begin() + first; it != points_.end(); ++it) {
    stt += (it->T - st) * (it->T - st);
    stp += (it->T - st) * (it->Pv - sp);
  }
  if (stt > 0.0 && std::fabs(stp / stt) * (points_.back().T - points_[points_.size() - inside].T) > band) return;
  // Entry into the band: between the last sample outside it and the first inside.
  const Point& out = points_[points_.size() - 1 - inside];
  const Point& in = points_[points_.size() - inside];
  const double edge = out.Pv > settle ? settle + band : settle - band;
  const double entry = in.Pv == out.Pv ? in.T : out.T + (edge - out.Pv) / (in.Pv - out.Pv) * (in.T - out.T);
  if (elapsed - entry < entry) return;
  // Where PV ends: the later half of its stay in the band (at least three
  // samples), so a PV still coming in at the band's edge does not count.
  const std::size_t tail = std::max<std::size_t>(inside / 2, 3);
  double inBand = 0.0;
  for (std::size_t i = points_.size() - tail; i < points_.size(); ++i) inBand += points_[i].Pv;
  const double final = inBand / static_cast<double>(tail);
  figures_.Settled = true;
  figures_.SettlingTime = entry;
  figures_.SteadyStateError = target_ - final;
  figures_.Overshoot = Overshoot();
  if (!figures_.RiseTime && std::fabs(final - base_) > 0.0) {
    // Settled short of the setpoint: the rise is 10 -> 90 % of the way it went.
    const double went = final - base_;
    std::optional<double> t10;
    for (std::size_t i = 0; i < points_.size() && !figures_.RiseTime; ++i) {
      const double r = (points_[i].Pv - base_) / went;
      const double before = i > 0 ? (points_[i - 1].Pv - base_) / went : r;
      auto cross = [&](double level) {
        if (i == 0 || r == before) return points_[i].T;
        return points_[i - 1].T + (level - before) / (r - before) * (points_[i].T - points_[i - 1].T);
      };
      if (!t10 && r >= 0.1) t10 = cross(0.1);
      if (t10 && r >= 0.9) figures_.RiseTime = cross(0.9) - *t10;
    }
  }
}

}  // namespace korvane
