#include "plot/Decimate.h"

#include <cmath>
#include <cstddef>

namespace korvane {
namespace {

// Appends the kept points of one column run [first, end) in stored order.
void KeepColumn(std::span<const PlotPoint> points, std::size_t first, std::size_t end,
                std::vector<PlotPoint>& out) {
  std::size_t low = first;
  std::size_t high = first;
  for (std::size_t i = first; i < end; ++i) {
    const float y = points[i].y;
    if (std::isnan(y)) continue;
    if (std::isnan(points[low].y) || y < points[low].y) low = i;
    if (std::isnan(points[high].y) || y > points[high].y) high = i;
  }
  const std::size_t last = end - 1;
  const std::size_t lower = low < high ? low : high;
  const std::size_t upper = low < high ? high : low;
  std::size_t previous = first;
  out.push_back(points[first]);
  for (std::size_t i : {lower, upper, last}) {
    if (i == previous) continue;
    out.push_back(points[i]);
    previous = i;
  }
}

double ColumnCount(const PixelColumns& columns) {
  return std::ceil(columns.width / columns.columnWidth);
}

}  // namespace

std::vector<PlotPoint> DecimateForColumns(std::span<const PlotPoint> points,
                                          const PixelColumns& columns) {
  const double span = columns.axisMax - columns.axisMin;
  const double perUnit = columns.width / span / columns.columnWidth;  // columns per x unit
  const double count = ColumnCount(columns);
  if (!(span > 0.0) || !(perUnit > 0.0) || !std::isfinite(perUnit) ||
      static_cast<double>(points.size()) <= 4.0 * count) {
    return {points.begin(), points.end()};
  }
  const double origin = columns.left / columns.columnWidth;
  // Points more than a plot width beyond the axis share one column on
  // each side (the redraw's window holds none of them).
  const double lowest = std::floor(origin) - count;
  const double highest = std::floor(origin) + 2.0 * count;
  auto columnOf = [&](float x) {
    const double c = std::floor(origin + (static_cast<double>(x) - columns.axisMin) * perUnit);
    if (!(c >= lowest)) return lowest;  // also NaN
    return c < highest ? c : highest;
  };

  std::vector<PlotPoint> out;
  out.reserve(static_cast<std::size_t>(4.0 * (count + 2.0)));
  std::size_t first = 0;
  double column = columnOf(points[0].x);
  for (std::size_t i = 1; i < points.size(); ++i) {
    const double c = columnOf(points[i].x);
    if (c == column) continue;
    KeepColumn(points, first, i, out);
    first = i;
    column = c;
  }
  KeepColumn(points, first, points.size(), out);
  return out;
}

void DecimateRedraw(RedrawResult& redraw, const PixelColumns& columns) {
  for (std::vector<PlotPoint>* series : {&redraw.setpoint, &redraw.pv, &redraw.output}) {
    if (static_cast<double>(series->size()) <= 4.0 * ColumnCount(columns)) continue;
    *series = DecimateForColumns(*series, columns);
  }
}

}  // namespace korvane
