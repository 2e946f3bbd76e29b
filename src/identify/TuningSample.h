#pragma once
// One sample of the loop as the tuning code reads it: the chart's time and
// the controller's setpoint, process value and output (percent).

namespace korvane {

struct TuningSample {
  double Time = 0.0;  // seconds
  double SP = 0.0;
  double PV = 0.0;
  double Out = 0.0;   // percent
};

// Finite time and values: a sample the tuning code may use.
bool IsUsable(const TuningSample& sample) noexcept;

}  // namespace korvane
