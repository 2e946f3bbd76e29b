#pragma once
// Finding the samples that lie in the chart's time window.
//
// A sample's plot position is x = Time - ChartClock as a 32-bit float. The
// redraw walks the history from the head: samples with x > hi (right of the
// window, after scrolling back) are skipped, the walk stops at the first
// sample with x < lo, and every other sample is drawn.

#include <cstddef>

#include "plot/PointList.h"

namespace korvane {

struct PlotBounds {
  float lo = 0.0f;  // one unit left of the bottom axis minimum
  float hi = 0.0f;  // one unit right of the bottom axis maximum
  friend bool operator==(const PlotBounds&, const PlotBounds&) = default;
};

inline float PlotX(const ChartPoint& point, float clock) noexcept { return point.Time - clock; }

// The age at which the walk has skipped every sample right of the window.
// While the times never rise along the list, x falls (or stays) with age, so
// the skipped samples are a leading run found by bisection in O(log n);
// otherwise 0, and the walk skips them one by one. Starting the walk here
// draws exactly what starting it at the head draws.
std::size_t FirstAgeNotRightOf(const PointList& points, float clock, float hi) noexcept;

// The walk from `startAge` towards the oldest sample: calls visit(point, x)
// for each drawn sample, newest first.
template <class Visit>
void WalkWindow(const PointList& points, float clock, PlotBounds bounds, std::size_t startAge,
                Visit&& visit) {
  const std::size_t size = points.Size();
  for (std::size_t age = startAge; age < size; ++age) {
    const ChartPoint& point = points.Newest(age);
    const float x = PlotX(point, clock);
    if (x < bounds.lo) break;
    if (x <= bounds.hi) visit(point, x);
  }
}

}  // namespace korvane
