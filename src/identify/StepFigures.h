#pragma once
// Figures of a setpoint step's response, computed as the samples arrive:
// rise time (10 -> 90 % of the way from where PV started to the new
// setpoint), overshoot, settling time inside a band around the value PV
// settles at, steady-state error, IAE and the peak output, for a step in
// either direction. A figure the samples cannot tell yet is empty, never a
// number.

#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

#include "identify/TuningSample.h"

namespace korvane {

struct FigureOptions {
  // Half width of the settling band, as a fraction of the step (0.02: +-2 %);
  // the band in use is never narrower than two counts of the PV register
  // nor three standard deviations of the PV noise at rest.
  double Band = 0.02;
  double PvResolution = 0.0;  // PV units per register count (0: not known)
  double NoiseSd = 0.0;       // PV noise at rest before the step
  // PV where the step started (the mean at rest); NaN: the old setpoint.
  double RestPv = NAN;
  // Output values at or beyond these count as the output sitting on a limit.
  double OutLow = 0.5;
  double OutHigh = 99.5;
};

struct StepResponseFigures {
  double Step = 0.0;                       // new setpoint - old setpoint
  double Band = 0.0;                       // half width of the settling band in use, PV units
  double Elapsed = 0.0;                    // seconds of response seen so far
  std::optional<double> RiseTime;          // s, once PV passed 90 % of the way
  // % of the step beyond the setpoint, once the peak has passed (PV crossed
  // the setpoint and turned back by more than the band); "so far" until
  // settled. A peak that stayed inside the band counts as 0.
  std::optional<double> Overshoot;
  bool Settled = false;
  std::optional<double> SettlingTime;      // s, once settled
  std::optional<double> SteadyStateError;  // new setpoint - mean PV over the later half of its stay in the band
  double Iae = 0.0;                        // integral of |new setpoint - PV| dt so far
  std::optional<double> PeakOutput;        // output farthest in the step's direction
  double LimitTime = 0.0;                  // s the output sat on a limit
};

// The figures with their times (and IAE) in process seconds, for figures
// taken on a clock `scale` times slower.
StepResponseFigures InProcessTime(const StepResponseFigures& figures, double scale);

class StepFigures {
 public:
  // A step from `oldSetpoint` to `newSetpoint` at `stepTime`. A step of 0 or
  // with a value that is not finite keeps every optional figure empty.
  StepFigures(double stepTime, double oldSetpoint, double newSetpoint, FigureOptions options = {});

  // One sample. Ignored (false) when not finite, before the step, or earlier
  // than the previous sample (a cleared chart starts its clock again). Equal
  // times are kept and add no time.
  // The settling figures are looked for again at every sample while there
  // are few, then after every 1/64 more of them.
  bool Add(const TuningSample& sample);
  // Looks for the settling figures now, from every sample so far.
  void Refresh();

  const StepResponseFigures& Figures() const noexcept { return figures_; }
  double StepTime() const noexcept { return stepTime_; }
  double OldSetpoint() const noexcept { return oldSetpoint_; }
  double NewSetpoint() const noexcept { return target_; }

 private:
  double Crossing(double t, double r, double level) const;
  double Overshoot() const;
  void UpdateSettling();

  struct Point {
    double T, Pv;
  };
  double stepTime_;
  double oldSetpoint_;
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
  std::vector<Point> points_;
  std::size_t nextSettling_ = 0;
};

}  // namespace korvane
