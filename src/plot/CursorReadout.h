#pragma once
// What the chart's two vertical cursors read: the stored sample nearest to
// each cursor's time, and the differences between the two.
//
// A read-out is always a stored sample, never an interpolation: the cursor
// snaps to the sample's time, so what it shows is exactly what was received
// (and what the trend export writes for that moment).

#include <optional>
#include <span>
#include <string>

#include "plot/ChartPoint.h"
#include "plot/PointList.h"

namespace korvane {

// The sample whose Time lies nearest to `time`; of several at the same
// Time, the one stored last (where the drawn line ends at that x). nullopt
// when there is none or `time` is not a number. O(log n) while the list's
// times never rise from newest to oldest, else a full walk.
std::optional<ChartPoint> NearestSample(const PointList& points, float time);
// The same over samples in any order (a page of the trend viewer); of equal
// distances the later element wins.
std::optional<ChartPoint> NearestSample(std::span<const ChartPoint> samples, float time);

struct CursorReadout {
  std::optional<ChartPoint> first;   // cursor 1
  std::optional<ChartPoint> second;  // cursor 2

  // second - first, field by field; nullopt unless both cursors read a sample.
  std::optional<ChartPoint> Difference() const;
  // Three lines of "%8.3f" figures with the given decimal separator:
  //   "C1  t <t>  PV <pv>  SP <sp>  Out <out>", the same for C2 and for
  //   "Δ" (the differences); a cursor without a sample reads "no sample".
  std::string Text(char decimalSeparator = '.') const;
};

}  // namespace korvane
