#include "plot/PointList.h"

namespace korvane {

void PointList::PushNewest(const ChartPoint& point) {
  const std::size_t slot = size_ & (kBlockSize - 1);
  if (slot == 0 && (size_ >> kBlockShift) == blocks_.size()) {
    blocks_.push_back(std::make_unique_for_overwrite<ChartPoint[]>(kBlockSize));
  }
  if (size_ == 0) {
    timesNeverRise_ = point.Time == point.Time;  // NaN breaks the order
  } else if (!(point.Time >= Newest(0).Time)) {
    timesNeverRise_ = false;
  }
  blocks_[size_ >> kBlockShift][slot] = point;
  ++size_;
}

void PointList::Clear() noexcept {
  blocks_.clear();
  blocks_.shrink_to_fit();
  size_ = 0;
  timesNeverRise_ = true;
}

std::size_t PointList::BytesHeld() const noexcept {
  return blocks_.size() * kBlockSize * sizeof(ChartPoint) +
         blocks_.capacity() * sizeof(std::unique_ptr<ChartPoint[]>);
}

}  // namespace korvane
