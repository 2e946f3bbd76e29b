#include "plot/ChartHistory.h"

#include "plot/ChartClock.h"

#include <algorithm>
#include <utility>

namespace korvane {

ChartHistory::ChartHistory(ChartHistory&& other) noexcept
    : points_(std::move(other.points_)), clock_(other.ChartClock()), updatePeriod_(other.UpdatePeriod()),
      paused_(other.ChartPaused()), redraw_(std::move(other.redraw_)),
      sampleHook_(std::move(other.sampleHook_)) {}

ChartHistory::~ChartHistory() {
  if (leader_ != nullptr) {
    auto& list = leader_->followers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  for (ChartHistory* follower : followers_) follower->leader_ = nullptr;
}

void ChartHistory::FollowClockOf(ChartHistory& leader) {
  if (&leader == this || leader_ == &leader) return;
  ChartHistory& root = leader.Clock();
  root.followers_.push_back(this);
  leader_ = &root;
}

void ChartHistory::Restart() noexcept {
  ChartHistory& root = Clock();
  root.points_.Clear();
  for (ChartHistory* follower : root.followers_) follower->points_.Clear();
  root.clock_ = 0.0f;
}

void ChartHistory::InsertDatapoint(float time, float pv, float setpoint, float output) {
  points_.PushNewest(ChartPoint{time, pv, setpoint, output});
}

void ChartHistory::AddSample(float pv, float setpoint, float output) {
  InsertDatapoint(ChartClock(), pv, setpoint, output);
  if (sampleHook_) sampleHook_();
  if (redraw_) redraw_();
}

void ChartHistory::ClearData() noexcept { points_.Clear(); }

void ChartHistory::Tick() noexcept {
  ChartHistory& root = Clock();
  if (!root.paused_) root.clock_ = AdvanceChartClock(root.clock_);
}

bool ChartHistory::SetUpdatePeriod(std::int32_t seconds) noexcept {
  if (seconds < 1 || seconds > kMaxUpdatePeriod) return false;
  Clock().updatePeriod_ = seconds;
  return true;
}

}  // namespace korvane
