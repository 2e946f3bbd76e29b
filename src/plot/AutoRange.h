#pragma once
// The left axis range when "Adjust Automatically" is ticked.

#include <optional>
#include <span>

#include "plot/Redraw.h"

namespace korvane {

struct AxisRange {
  double min = 0.0;
  double max = 0.0;
  friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

// The range of the finite y values of the given drawn series, widened by 5 %
// of its span on each side (by 5 % of the value, at least 1, when every value is the same),
// so the curves do not touch the frame. nullopt when nothing finite is drawn:
// the axis then keeps its present range.
std::optional<AxisRange> AutoAxisRange(std::span<const std::vector<PlotPoint>* const> series);

}  // namespace korvane
