#include "link/FrameRing.h"

#include <algorithm>

namespace korvane {

FrameRing::FrameRing(std::size_t capacity) : records_(std::max<std::size_t>(capacity, 1)) {}

void FrameRing::Push(const FrameRecord& record) {
  FrameRecord& slot = records_[next_];
  slot.WallMs = record.WallMs;
  slot.Direction = record.Direction;
  slot.Rtu = record.Rtu;
  slot.Mbap = record.Mbap;
  slot.Text = record.Text;
  slot.Result = record.Result;
  // assign keeps the slot's buffer: no allocation once the ring has cycled.
  slot.Bytes.assign(record.Bytes, 0, kMaxFrameBytes);
  next_ = (next_ + 1) % records_.size();
  size_ = std::min(size_ + 1, records_.size());
  ++pushed_;
}

void FrameRing::Clear() {
  next_ = 0;
  size_ = 0;
}

const FrameRecord& FrameRing::At(std::size_t index) const {
  const std::size_t oldest = (next_ + records_.size() - size_) % records_.size();
  return records_[(oldest + index) % records_.size()];
}

}  // namespace korvane
