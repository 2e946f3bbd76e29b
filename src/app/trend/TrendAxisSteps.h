#pragma once
// The chart's rule for setting one bound of an axis, applied to a sequence
// of setter calls: a minimum above the present maximum and a maximum below
// the present minimum are refused with the chart's message, and the calls
// after a refused one are not made. The Qt axis is then moved once to the
// range this computes, so it never sees a minimum above its maximum.

#include <optional>
#include <span>
#include <string>

#include "plot/Redraw.h"

namespace korvane {

inline constexpr const char* kAxisMinRefused = "Axis Minimum Value must be <= Maximum";
inline constexpr const char* kAxisMaxRefused = "Axis Maximum Value must be >= Minimum";

struct AxisSpan {
  double Min = 0.0;
  double Max = 0.0;
  friend bool operator==(const AxisSpan&, const AxisSpan&) = default;
};

struct AxisStepsOutcome {
  AxisSpan Range;                      // after the calls that were accepted
  std::optional<std::string> Refusal;  // the message of the refused call
};

AxisStepsOutcome ApplyAxisSteps(AxisSpan present, std::span<const AxisStep> steps);

// The span a Qt axis is given for `range`: Qt keeps showing the previous
// span and labels for an empty one, so a single value is shown half a unit
// either side.
AxisSpan DisplaySpan(AxisSpan range);

}  // namespace korvane
