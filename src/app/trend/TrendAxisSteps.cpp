#include "app/trend/TrendAxisSteps.h"

namespace korvane {

AxisStepsOutcome ApplyAxisSteps(AxisSpan present, std::span<const AxisStep> steps) {
  AxisStepsOutcome out{present, std::nullopt};
  for (const AxisStep& step : steps) {
    if (step.bound == AxisStep::Bound::Min) {
      if (step.value > out.Range.Max) {
        out.Refusal = kAxisMinRefused;
        break;
      }
      out.Range.Min = step.value;
    } else {
      if (step.value < out.Range.Min) {
        out.Refusal = kAxisMaxRefused;
        break;
      }
      out.Range.Max = step.value;
    }
  }
  return out;
}

AxisSpan DisplaySpan(AxisSpan range) {
  if (range.Min < range.Max) return range;
  return {range.Min - 0.5, range.Max + 0.5};
}

}  // namespace korvane
