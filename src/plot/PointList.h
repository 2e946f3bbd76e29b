#pragma once
// The chart history: every sample since the last Clear, newest first.
//
// Samples are kept in fixed blocks of kBlockSize, appended in arrival order
// and read backwards, so the newest sample (the head) has age 0 and the
// oldest has age Size() - 1. One allocation per block, none per sample; a
// stored sample never moves, and nothing is ever dropped except by Clear.

#include <cstddef>
#include <memory>
#include <vector>

#include "plot/ChartPoint.h"

namespace korvane {

class PointList {
 public:
  static constexpr std::size_t kBlockShift = 10;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;  // 16 KiB of samples

  PointList() = default;
  PointList(const PointList&) = delete;
  PointList& operator=(const PointList&) = delete;
  PointList(PointList&&) noexcept = default;
  PointList& operator=(PointList&&) noexcept = default;

  std::size_t Size() const noexcept { return size_; }
  bool Empty() const noexcept { return size_ == 0; }

  // Makes `point` the new head.
  void PushNewest(const ChartPoint& point);
  // Frees every sample.
  void Clear() noexcept;

  // age 0 is the head (newest); age Size() - 1 the oldest. Unchecked.
  const ChartPoint& Newest(std::size_t age) const noexcept { return At(size_ - 1 - age); }
  // index 0 is the oldest sample. Unchecked.
  const ChartPoint& Oldest(std::size_t index) const noexcept { return At(index); }

  // True while every sample's Time is at or below the Time of the sample
  // stored after it (no NaN among them): the order the chart clock gives.
  // Searches by time are only valid while this holds.
  bool TimesNeverRise() const noexcept { return timesNeverRise_; }

  // Heap bytes held for the samples and their block table.
  std::size_t BytesHeld() const noexcept;

  template <class Visit>
  void ForEachNewestFirst(Visit&& visit) const {
    for (std::size_t age = 0; age < size_; ++age) visit(Newest(age));
  }
  template <class Visit>
  void ForEachOldestFirst(Visit&& visit) const {
    for (std::size_t index = 0; index < size_; ++index) visit(At(index));
  }

 private:
  const ChartPoint& At(std::size_t index) const noexcept {
    return blocks_[index >> kBlockShift][index & (kBlockSize - 1)];
  }

  std::vector<std::unique_ptr<ChartPoint[]>> blocks_;
  std::size_t size_ = 0;
  bool timesNeverRise_ = true;
};

}  // namespace korvane
