#include "PidController.h"

#include <algorithm>

namespace korvane::sim {

namespace {
// The derivative acts on the measurement filtered with Td / kDerivativeFilter.
constexpr double kDerivativeFilter = 8.0;
}  // namespace

PidFactors IdealFactors(const PidFactors& factors) {
  PidFactors ideal = factors;
  ideal.Series = false;
  if (!factors.Series || factors.Integral <= 0 || factors.Derivative <= 0) return ideal;
  const double ti = 60.0 / factors.Integral, td = factors.Derivative;
  ideal.ProportionalBand = factors.ProportionalBand / (1.0 + td / ti);
  ideal.Integral = 60.0 / (ti + td);
  ideal.Derivative = ti * td / (ti + td);
  return ideal;
}

PidController::PidController(double spanLow, double spanHigh)
    : spanLow_(spanLow), spanHigh_(spanHigh > spanLow ? spanHigh : spanLow + 1.0) {}

void PidController::SetFactors(const PidFactors& factors) {
  // The integral keeps its value, so the output moves only by the change of
  // the proportional and derivative parts, as on a real controller.
  factors_ = factors;
}

double PidController::Step(double setpoint, double measured, double dt) {
  const PidFactors f = IdealFactors(factors_);
  if (f.ProportionalBand <= 0) {
    // On/off every scan: full output while PV is below SP - h, none while
    // it is above SP + h, the last of the two in between. Entered from PID
    // control within the band, it keeps the side the output was on.
    const double h = std::max(0.0, f.Hysteresis);
    if (!relayMode_) relayOn_ = output_ >= 50.0;
    relayMode_ = true;
    if (measured < setpoint - h) relayOn_ = true;
    if (measured > setpoint + h) relayOn_ = false;
    output_ = relayOn_ ? 100.0 : 0.0;
    integral_ = output_;
    havePv_ = false;
    return output_;
  }

  relayMode_ = false;
  double gain = 100.0 / f.ProportionalBand;        // percent output per percent span
  double error = (setpoint - measured) / Span() * 100.0;  // percent of span

  double derivative = 0;
  if (f.Derivative > 0 && dt > 0) {
    if (!havePv_) filteredPv_ = measured;
    double previous = filteredPv_;
    double filterTime = f.Derivative / kDerivativeFilter;
    filteredPv_ += dt / (filterTime + dt) * (measured - filteredPv_);
    derivative = -gain * f.Derivative * (filteredPv_ - previous) / dt / Span() * 100.0;
  } else {
    filteredPv_ = measured;
  }
  havePv_ = true;

  double proportional = gain * error;
  double candidate = integral_;
  if (f.Integral > 0) candidate += gain * f.Integral / 60.0 * error * dt;
  double unclamped = proportional + candidate + derivative;
  // Integrate only while the output is not driven further into a limit.
  bool windingUp = (unclamped > 100.0 && error > 0) || (unclamped < 0.0 && error < 0);
  if (!windingUp) integral_ = std::clamp(candidate, -100.0, 200.0);
  output_ = std::clamp(proportional + integral_ + derivative, 0.0, 100.0);
  return output_;
}

}  // namespace korvane::sim
