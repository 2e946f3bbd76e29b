#include "plot/CursorReadout.h"

#include <cmath>
#include <cstddef>

#include "base/Convert.h"

namespace korvane {
namespace {

// True when `candidate` is at least as near to `time` as `best` (ties go to
// the candidate: the caller offers samples in storing order).
bool NoFarther(const ChartPoint& candidate, const ChartPoint& best, double time) {
  return std::fabs(double(candidate.Time) - time) <= std::fabs(double(best.Time) - time);
}

std::string Line(const char* name, const std::optional<ChartPoint>& p, char separator) {
  std::string line = name;
  if (!p) return line + "  no sample";
  line += "  t " + Format83(p->Time, separator);
  line += "  PV " + Format83(p->PV, separator);
  line += "  SP " + Format83(p->Setpoint, separator);
  line += "  Out " + Format83(p->Output, separator);
  return line;
}

}  // namespace

std::optional<ChartPoint> NearestSample(const PointList& points, float time) {
  if (points.Empty() || std::isnan(time)) return std::nullopt;
  const double t = time;
  if (!points.TimesNeverRise()) {
    const ChartPoint* best = nullptr;
    points.ForEachOldestFirst([&](const ChartPoint& p) {
      if (!std::isnan(p.Time) && (best == nullptr || NoFarther(p, *best, t))) best = &p;
    });
    if (best == nullptr) return std::nullopt;
    return *best;
  }
  // Ages run newest (0) to oldest; Time falls or stays along them. `first`
  // becomes the youngest age whose Time is at or below `time`.
  std::size_t first = 0;
  std::size_t last = points.Size();
  while (first < last) {
    const std::size_t mid = first + (last - first) / 2;
    if (double(points.Newest(mid).Time) > t) {
      first = mid + 1;
    } else {
      last = mid;
    }
  }
  // Candidates: the oldest sample above `time` and the newest at or below
  // it (the newest of its equal-Time run, as ages count from the newest).
  std::optional<ChartPoint> best;
  if (first < points.Size()) best = points.Newest(first);
  if (first > 0) {
    const ChartPoint& above = points.Newest(first - 1);
    // Equal distances: the newer sample wins (the one above is newer).
    if (!best || NoFarther(above, *best, t)) {
      // The newest of `above`'s equal-Time run is the youngest such age.
      std::size_t age = first - 1;
      while (age > 0 && points.Newest(age - 1).Time == above.Time) --age;
      best = points.Newest(age);
    }
  }
  return best;
}

std::optional<ChartPoint> NearestSample(std::span<const ChartPoint> samples, float time) {
  if (std::isnan(time)) return std::nullopt;
  const ChartPoint* best = nullptr;
  for (const ChartPoint& p : samples) {
    if (!std::isnan(p.Time) && (best == nullptr || NoFarther(p, *best, time))) best = &p;
  }
  if (best == nullptr) return std::nullopt;
  return *best;
}

std::optional<ChartPoint> CursorReadout::Difference() const {
  if (!first || !second) return std::nullopt;
  return ChartPoint{second->Time - first->Time, second->PV - first->PV,
                    second->Setpoint - first->Setpoint, second->Output - first->Output};
}

std::string CursorReadout::Text(char decimalSeparator) const {
  return Line("C1", first, decimalSeparator) + "\n" + Line("C2", second, decimalSeparator) + "\n" +
         Line("\xCE\x94 ", Difference(), decimalSeparator);
}

}  // namespace korvane
