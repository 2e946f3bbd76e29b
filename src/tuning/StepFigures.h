#pragma once
// Figures of a setpoint step's response, computed as the samples arrive:
// rise time (10 -> 90 % of the step), overshoot, settling time inside a band
// around the new setpoint, steady-state error, IAE and the peak output. A
// figure the samples cannot tell yet is empty, never a number.

#include <optional>

#include "tuning/TuningSample.h"

namespace korvane {

struct FigureOptions {
  // Half width of the settling band, as a fraction of the step (0.02: +-2 %).
  double Band = 0.02;
  // Output values at or beyond these count as the output sitting on a limit.
  double OutLow = 0.5;
  double OutHigh = 99.5;
};

struct StepResponseFigures {
  double Step = 0.0;                       // new setpoint - old setpoint
  double Elapsed = 0.0;                    // seconds of response seen so far
  std::optional<double> RiseTime;          // s, once PV passed 90 % of the step
  std::optional<double> Overshoot;         // % of the step, once settled
  std::optional<double> SettlingTime;      // s, once settled
  std::optional<double> SteadyStateError;  // new setpoint - mean PV once settled
  double Iae = 0.0;                        // integral of |new setpoint - PV| dt so far
  std::optional<double> PeakOutput;        // output farthest in the step's direction
  double LimitTime = 0.0;                  // s the output sat on a limit
};

class StepFigures {
 public:
  // A step from `oldSetpoint` to `newSetpoint` at `stepTime`. A step of 0 or
  // with a value that is not finite keeps every optional figure empty.
  StepFigures(double stepTime, double oldSetpoint, double newSetpoint, FigureOptions options = {});

  // One sample. Ignored (false) when not finite, before the step, or earlier
  // than the previous sample (a cleared chart starts its clock again). Equal
  // times are kept and add no time.
  bool Add(const TuningSample& sample);

  const StepResponseFigures& Figures() const noexcept { return figures_; }
  double StepTime() const noexcept { return stepTime_; }
  double OldSetpoint() const noexcept { return base_; }

 private:
  double Crossing(double t, double r, double level) const;
  void UpdateSettling(double t, double r, double error);

  double stepTime_;
  double base_;
  double target_;
  FigureOptions options_;
  StepResponseFigures figures_;
  bool valid_;
  bool any_ = false;
  double lastT_ = 0.0;
  double lastR_ = 0.0;
  double lastAbsError_ = 0.0;
  bool lastOnLimit_ = false;
  std::optional<double> t10_;
  double peakR_ = 0.0;
  std::optional<double> bandEntry_;  // time of the last entry into the band
  double bandErrorSum_ = 0.0;
  long bandSamples_ = 0;
};

}  // namespace korvane
