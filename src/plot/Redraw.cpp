#include "plot/Redraw.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Convert.h"
#include "plot/ChartHistory.h"

namespace korvane {
namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// Lays the walk's newest-first points out in ascending x. With the clock's
// order the walk's reverse already ascends; a history stored out of order
// (only possible by calling InsertDatapoint with other times) is sorted,
// stably, so equal x keep their stored order.
void AscendingX(std::vector<PlotPoint>& points, bool walkDescends) {
  std::reverse(points.begin(), points.end());
  if (!walkDescends) {
    std::stable_sort(points.begin(), points.end(),
                     [](const PlotPoint& a, const PlotPoint& b) { return a.x < b.x; });
  }
}

void PlanBottomAxis(RedrawResult& r, double presentMin, double presentMax) {
  const double low = r.bottomMin;
  const double high = r.bottomMax;
  auto step = [&r](AxisStep::Bound bound, double value) {
    r.bottomSteps[r.bottomStepCount++] = AxisStep{bound, value};
  };
  if (low >= presentMax) step(AxisStep::Bound::Max, high);
  if (high <= presentMin) step(AxisStep::Bound::Min, low);
  step(AxisStep::Bound::Max, high);
  step(AxisStep::Bound::Min, low);
}

}  // namespace

std::int32_t WindowWidth(std::string_view updatesText, std::int32_t updatePeriod) noexcept {
  const std::int64_t n = std::clamp(LenientInt(updatesText), kMinWindowUpdates, kMaxWindowUpdates);
  const std::int64_t period = std::max<std::int32_t>(updatePeriod, 1);
  return static_cast<std::int32_t>(std::min(n * period, kInt32Max));
}

std::int32_t ScrollMinimum(float clock) noexcept {
  const double c = clock;
  if (!std::isfinite(c) || c <= 0.0) return 0;
  double whole = std::floor(c);
  const double fraction = c - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<std::int32_t>(-std::min(whole, static_cast<double>(kInt32Max)));
}

std::int32_t AcceptedUpdatePeriod(std::string_view periodText) noexcept {
  std::int32_t n = 0;
  if (!StrictInt(periodText, n)) return 0;
  if (n < 1 || n > ChartHistory::kMaxUpdatePeriod) return 0;
  return n;
}

RedrawResult ComputeRedraw(const RedrawInput& input) {
  RedrawResult r;

  // Left axis.
  r.leftAutomatic = input.leftAutomatic;
  if (!input.leftAutomatic) {
    r.leftMin = LenientInt(input.leftMinText);
    r.leftMax = LenientInt(input.leftMaxText);
    if (r.leftMin > r.leftMax) {
      r.refused = true;
      return r;
    }
  }

  r.width = WindowWidth(input.updatesText, input.updatePeriod);

  // Scroll range: the minimum follows the clock, the maximum stays 0; a
  // position outside is brought back inside as the scroll bar does.
  r.scrollMinimum = ScrollMinimum(input.clock);
  r.scrollPosition = std::clamp(input.scrollPosition, r.scrollMinimum, 0);

  // Bottom axis [p - W, p].
  const std::int64_t p = r.scrollPosition;
  const std::int64_t left = p - r.width;
  r.bottomMax = static_cast<double>(p);
  r.bottomMin = static_cast<double>(left);
  PlanBottomAxis(r, input.bottomMin, input.bottomMax);

  r.bounds.hi = static_cast<float>(p + 1);
  r.bounds.lo = static_cast<float>(left - 1);

  if (input.points == nullptr) return r;
  const PointList& points = *input.points;
  const std::size_t start = input.start == RedrawInput::Start::Bisect
                                ? FirstAgeNotRightOf(points, input.clock, r.bounds.hi)
                                : 0;
  if (points.TimesNeverRise()) {
    // The walk ends at the first sample with x < lo (x <= the float below
    // lo): the series are allocated once for the samples in between.
    const float belowLo = std::nextafter(r.bounds.lo, -std::numeric_limits<float>::infinity());
    const std::size_t end = FirstAgeNotRightOf(points, input.clock, belowLo);
    if (end > start) {
      for (std::vector<PlotPoint>* series : {&r.setpoint, &r.pv, &r.output}) series->reserve(end - start);
    }
  }
  WalkWindow(points, input.clock, r.bounds, start, [&r](const ChartPoint& point, float x) {
    r.setpoint.push_back(PlotPoint{x, point.Setpoint});
    r.pv.push_back(PlotPoint{x, point.PV});
    r.output.push_back(PlotPoint{x, point.Output});
  });
  const bool descends = points.TimesNeverRise();
  AscendingX(r.setpoint, descends);
  AscendingX(r.pv, descends);
  AscendingX(r.output, descends);
  return r;
}

}  // namespace korvane
