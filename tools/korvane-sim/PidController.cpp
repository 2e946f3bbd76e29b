#include "PidController.h"

#include <algorithm>

namespace korvane::sim {

namespace {
// The derivative acts on the measurement filtered with Td / kDerivativeFilter.
constexpr double kDerivativeFilter = 8.0;
}  // namespace

PidController::PidController(double spanLow, double spanHigh)
    : spanLow_(spanLow), spanHigh_(spanHigh > spanLow ? spanHigh : spanLow + 1.0) {}

void PidController::SetFactors(const PidFactors& factors) {
  // The integral keeps its value, so the output moves only by the change of
  // the proportional and derivative parts, as on a real controller.
  factors_ = factors;
}

double PidController::Step(double setpoint, double measured, double dt) {
  if (factors_.ProportionalBand <= 0) {
    double half = std::max(0.0, factors_.Hysteresis) / 2;
    if (measured <= setpoint - half) relayOn_ = true;
    if (measured >= setpoint + half) relayOn_ = false;
    output_ = relayOn_ ? 100.0 : 0.0;
    integral_ = output_;
    havePv_ = false;
    return output_;
  }

  double gain = 100.0 / factors_.ProportionalBand;        // percent output per percent span
  double error = (setpoint - measured) / Span() * 100.0;  // percent of span

  double derivative = 0;
  if (factors_.Derivative > 0 && dt > 0) {
    if (!havePv_) filteredPv_ = measured;
    double previous = filteredPv_;
    double filterTime = factors_.Derivative / kDerivativeFilter;
    filteredPv_ += dt / (filterTime + dt) * (measured - filteredPv_);
    derivative = -gain * factors_.Derivative * (filteredPv_ - previous) / dt / Span() * 100.0;
  } else {
    filteredPv_ = measured;
  }
  havePv_ = true;

  double proportional = gain * error;
  double candidate = integral_;
  if (factors_.Integral > 0) candidate += gain * factors_.Integral / 60.0 * error * dt;
  double unclamped = proportional + candidate + derivative;
  // Integrate only while the output is not driven further into a limit.
  bool windingUp = (unclamped > 100.0 && error > 0) || (unclamped < 0.0 && error < 0);
  if (!windingUp) integral_ = std::clamp(candidate, -100.0, 200.0);
  output_ = std::clamp(proportional + integral_ + derivative, 0.0, 100.0);
  return output_;
}

}  // namespace korvane::sim
