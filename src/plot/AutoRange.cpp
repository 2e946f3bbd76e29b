#include "plot/AutoRange.h"

#include <algorithm>
#include <cmath>

namespace korvane {

std::optional<AxisRange> AutoAxisRange(std::span<const std::vector<PlotPoint>* const> series) {
  bool any = false;
  double low = 0.0;
  double high = 0.0;
  for (const std::vector<PlotPoint>* points : series) {
    if (points == nullptr) continue;
    for (const PlotPoint& point : *points) {
      const double y = point.y;
      if (!std::isfinite(y)) continue;
      if (!any) {
        low = high = y;
        any = true;
      } else {
        low = std::min(low, y);
        high = std::max(high, y);
      }
    }
  }
  if (!any) return std::nullopt;
  // The values are 32-bit floats held in doubles, so neither the span nor
  // the margin can overflow.
  const double span = high - low;
  const double margin = span > 0.0 ? span * 0.05 : std::max(1.0, std::fabs(low) * 0.05);
  return AxisRange{low - margin, high + margin};
}

}  // namespace korvane
