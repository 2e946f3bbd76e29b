#include "plot/Decimate.h"

#include <cmath>
#include <cstddef>

namespace korvane {
namespace {

// Appends `p` unless the drawn line would not change: the same point again
// (a zero-length segment), or a third point on one horizontal run, which
// makes the run's middle point redundant (it then moves to `p`).
void Append(std::vector<PlotPoint>& out, const PlotPoint& p) {
  const std::size_t n = out.size();
  if (n >= 1 && out[n - 1].y == p.y && out[n - 1].x == p.x) return;
  if (n >= 2 && out[n - 1].y == p.y && out[n - 2].y == p.y) {
    out[n - 1] = p;
    return;
  }
  out.push_back(p);
}

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
  // Within its column the line covers the rows between its lowest and
  // highest point, whatever the order: an extreme that the first or the
  // last point already reaches is not needed.
  auto reached = [&](std::size_t i) { return points[i].y == points[first].y || points[i].y == points[last].y; };
  Append(out, points[first]);
  if (lower != first && lower != last && !reached(lower)) Append(out, points[lower]);
  if (upper != first && upper != last && upper != lower && !reached(upper)) Append(out, points[upper]);
  if (last != first) Append(out, points[last]);
}

double ColumnCount(const PixelColumns& columns) {
  return std::ceil(columns.width / columns.columnWidth);
}

bool WorthThinning(std::size_t size, const PixelColumns& columns) {
  const double span = columns.axisMax - columns.axisMin;
  const double perUnit = columns.width / span / columns.columnWidth;
  return span > 0.0 && perUnit > 0.0 && std::isfinite(perUnit) &&
         static_cast<double>(size) > 4.0 * ColumnCount(columns);
}

// Where each column's run of an ascending-x series starts, ending with the
// series' size.
std::vector<std::size_t> ColumnStarts(std::span<const PlotPoint> points, const PixelColumns& columns) {
  const double perUnit = columns.width / (columns.axisMax - columns.axisMin) / columns.columnWidth;
  const double count = ColumnCount(columns);
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
  std::vector<std::size_t> starts;
  starts.reserve(static_cast<std::size_t>(count) + 4);
  starts.push_back(0);
  double column = columnOf(points[0].x);
  for (std::size_t i = 1; i < points.size(); ++i) {
    const double c = columnOf(points[i].x);
    if (c == column) continue;
    starts.push_back(i);
    column = c;
  }
  starts.push_back(points.size());
  return starts;
}

// The series without repeated points and inner points of horizontal runs:
// the same line, with fewer points to lay out and stroke.
std::vector<PlotPoint> Flattened(std::span<const PlotPoint> points) {
  std::vector<PlotPoint> out;
  out.reserve(points.size());
  for (const PlotPoint& p : points) Append(out, p);
  return out;
}

std::vector<PlotPoint> Thin(std::span<const PlotPoint> points, const std::vector<std::size_t>& starts) {
  std::vector<PlotPoint> out;
  out.reserve(4 * starts.size());
  for (std::size_t run = 0; run + 1 < starts.size(); ++run) KeepColumn(points, starts[run], starts[run + 1], out);
  return out;
}

}  // namespace

std::vector<PlotPoint> DecimateForColumns(std::span<const PlotPoint> points,
                                          const PixelColumns& columns) {
  if (!WorthThinning(points.size(), columns)) return Flattened(points);
  return Thin(points, ColumnStarts(points, columns));
}

void DecimateRedraw(RedrawResult& redraw, const PixelColumns& columns) {
  std::vector<PlotPoint>* series[] = {&redraw.setpoint, &redraw.pv, &redraw.output};
  // The redraw's walk gives the three series the same x values, so their
  // columns are found once.
  const bool shared = redraw.setpoint.size() == redraw.pv.size() && redraw.pv.size() == redraw.output.size();
  if (shared && WorthThinning(redraw.setpoint.size(), columns)) {
    const std::vector<std::size_t> starts = ColumnStarts(redraw.setpoint, columns);
    for (std::vector<PlotPoint>* s : series) *s = Thin(*s, starts);
    return;
  }
  for (std::vector<PlotPoint>* s : series) *s = DecimateForColumns(*s, columns);
}

}  // namespace korvane
