#pragma once
// The chart redraw as a pure computation: from the history, the clock, the
// Plot group's texts and the present scroll and axis state to everything the
// chart shows next. The Qt layer only applies the result.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "plot/PointList.h"
#include "plot/RedrawWindow.h"

namespace korvane {

// Width limits of TxtUpdates, in updates.
inline constexpr std::int32_t kMinWindowUpdates = 1;
inline constexpr std::int32_t kMaxWindowUpdates = 40000;

// W = n x period seconds: n is the lenient integer of `updatesText` kept to
// 1..40000, a period below 1 counts as 1. A product beyond the 32-bit signed
// range (periods above 53687 s at full width) is held at 2147483647 s, so the
// window still spans the whole run instead of wrapping negative.
std::int32_t WindowWidth(std::string_view updatesText, std::int32_t updatePeriod) noexcept;

// The scroll bar minimum: -clock to the nearest whole number, halves to the
// even neighbour; never above 0 (the maximum). A clock that is not a finite
// number counts as 0.
std::int32_t ScrollMinimum(float clock) noexcept;

// The interval of the chart timer for a TxtPeriod text: the strict whole
// number N when 0 < N <= ChartHistory::kMaxUpdatePeriod (so N x 1000 ms fits
// 32 bits), else 0 meaning "ignore the text".
std::int32_t AcceptedUpdatePeriod(std::string_view periodText) noexcept;

struct RedrawInput {
  const PointList* points = nullptr;
  float clock = 0.0f;
  // Left axis: automatic, or fixed to the lenient integers of the two texts.
  bool leftAutomatic = false;
  std::string_view leftMinText;
  std::string_view leftMaxText;
  std::string_view updatesText;      // TxtUpdates
  std::int32_t updatePeriod = 1;     // UpdatePeriod
  std::int32_t scrollPosition = 0;   // GraphScroll's present position
  double bottomMin = 0.0;            // the bottom axis's present range
  double bottomMax = 0.0;
  // Where the walk starts; both give the same drawing. Head exists to check
  // the bisection against the plain walk.
  enum class Start { Bisect, Head } start = Start::Bisect;
};

struct PlotPoint {
  float x = 0.0f;
  float y = 0.0f;
  friend bool operator==(const PlotPoint&, const PlotPoint&) = default;
};

// One setter call on the bottom axis.
struct AxisStep {
  enum class Bound { Min, Max } bound = Bound::Min;
  double value = 0.0;
  friend bool operator==(const AxisStep&, const AxisStep&) = default;
};

struct RedrawResult {
  // A fixed left range with its minimum above its maximum is refused: the
  // redraw stops before touching anything, and nothing below is filled in.
  bool refused = false;

  bool leftAutomatic = false;
  std::int32_t leftMin = 0;  // fixed range (when not automatic)
  std::int32_t leftMax = 0;

  std::int32_t width = 0;           // W, seconds
  std::int32_t scrollMinimum = 0;   // -clock rounded half to even
  std::int32_t scrollPosition = 0;  // the position after the pull-up: p

  // The setter calls that move the bottom axis to [p - W, p] without its
  // minimum ever rising above its maximum, in order.
  std::array<AxisStep, 4> bottomSteps{};
  std::size_t bottomStepCount = 0;
  double bottomMin = 0.0;  // p - W
  double bottomMax = 0.0;  // p

  PlotBounds bounds;  // hi = p + 1, lo = (p - W) - 1, as 32-bit floats

  // The drawn points of each series in ascending x; samples with equal x
  // keep the order in which they were stored.
  std::vector<PlotPoint> setpoint;
  std::vector<PlotPoint> pv;
  std::vector<PlotPoint> output;

  friend bool operator==(const RedrawResult&, const RedrawResult&) = default;
};

RedrawResult ComputeRedraw(const RedrawInput& input);

}  // namespace korvane
