#include "plot/RedrawWindow.h"

namespace korvane {

std::size_t FirstAgeNotRightOf(const PointList& points, float clock, float hi) noexcept {
  if (!points.TimesNeverRise()) return 0;
  // Invariant: every age below `first` has x > hi; no age at or beyond `last` needs checking.
  std::size_t first = 0;
  std::size_t last = points.Size();
  while (first < last) {
    const std::size_t mid = first + (last - first) / 2;
    if (PlotX(points.Newest(mid), clock) > hi) {
      first = mid + 1;
    } else {
      last = mid;
    }
  }
  return first;
}

}  // namespace korvane
