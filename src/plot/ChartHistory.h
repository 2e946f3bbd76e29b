#pragma once
// The live chart's state: the history of samples, the chart clock, the
// update period and the pause flag. GUI-free; the Qt chart and the trend
// export read it, the receive path and the chart timer feed it.

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "plot/PointList.h"
#include "plot/SampleSink.h"

namespace korvane {

// Several histories can run on one clock (one per controller on a line): a
// follower takes the clock, the update period and the pause of its leader,
// and Restart clears every history of the group.
class ChartHistory : public SampleSink {
 public:
  ChartHistory() = default;
  ~ChartHistory() override;
  // A moved history is one of its own: it follows no clock and leads none.
  ChartHistory(ChartHistory&& other) noexcept;
  ChartHistory& operator=(ChartHistory&&) = delete;

  // Runs this history on `leader`'s clock from now on (the leader must
  // outlive it, or the follower goes first); its own clock is no longer read.
  void FollowClockOf(ChartHistory& leader);

  // The largest update period whose timer interval (period x 1000 ms) still
  // fits a 32-bit signed millisecond count.
  static constexpr std::int32_t kMaxUpdatePeriod = 2147483647 / 1000;

  // PointList: newest first, every sample since the last ClearData.
  const PointList& Points() const noexcept { return points_; }

  // Stores one sample as the new head; draws nothing.
  void InsertDatapoint(float time, float pv, float setpoint, float output);
  // One sample of the poll cycle at the chart clock, then the redraw.
  void AddSample(float pv, float setpoint, float output) override;
  // What AddSample calls after storing (the live chart's redraw); an error
  // it throws goes to AddSample's caller with the sample already stored.
  void SetRedraw(std::function<void()> redraw) { redraw_ = std::move(redraw); }
  // Told of every sample stored by AddSample, before the redraw, whether
  // this history is drawn or not (the tuning of its controller reads it).
  void SetSampleHook(std::function<void()> hook) { sampleHook_ = std::move(hook); }

  // Frees every sample. The clock is left alone (see ResetClock).
  void ClearData() noexcept;
  // Clear: frees the samples of every history on this clock and sets the
  // clock back to 0, so no history keeps samples from before it.
  void Restart() noexcept;

  // ChartClock, in seconds.
  float ChartClock() const noexcept { return Clock().clock_; }
  // One tick of the chart timer: adds 0.1 unless paused.
  void Tick() noexcept;
  // Sets the clock back to 0 (Clear).
  void ResetClock() noexcept { Clock().clock_ = 0.0f; }

  // UpdatePeriod, whole seconds, initially 1.
  std::int32_t UpdatePeriod() const noexcept { return Clock().updatePeriod_; }
  // Accepts 1..kMaxUpdatePeriod; anything else changes nothing and
  // returns false.
  bool SetUpdatePeriod(std::int32_t seconds) noexcept;

  // ChartPaused, initially false.
  bool ChartPaused() const noexcept override { return Clock().paused_; }
  void SetChartPaused(bool paused) noexcept { Clock().paused_ = paused; }

  // Walks the history without changing it; `visit` takes a const ChartPoint&.
  template <class Visit>
  void ForEachOldestFirst(Visit&& visit) const {
    points_.ForEachOldestFirst(visit);
  }
  template <class Visit>
  void ForEachNewestFirst(Visit&& visit) const {
    points_.ForEachNewestFirst(visit);
  }

 private:
  ChartHistory& Clock() noexcept { return leader_ != nullptr ? *leader_ : *this; }
  const ChartHistory& Clock() const noexcept { return leader_ != nullptr ? *leader_ : *this; }

  ChartHistory* leader_ = nullptr;
  std::vector<ChartHistory*> followers_;
  PointList points_;
  float clock_ = 0.0f;
  std::int32_t updatePeriod_ = 1;
  bool paused_ = false;
  std::function<void()> redraw_;
  std::function<void()> sampleHook_;
};

}  // namespace korvane
