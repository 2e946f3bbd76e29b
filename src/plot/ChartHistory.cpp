#include "plot/ChartHistory.h"

#include "plot/ChartClock.h"

namespace korvane {

void ChartHistory::InsertDatapoint(float time, float pv, float setpoint, float output) {
  points_.PushNewest(ChartPoint{time, pv, setpoint, output});
}

void ChartHistory::AddSample(float pv, float setpoint, float output) {
  InsertDatapoint(clock_, pv, setpoint, output);
  if (redraw_) redraw_();
}

void ChartHistory::ClearData() noexcept { points_.Clear(); }

void ChartHistory::Tick() noexcept {
  if (!paused_) clock_ = AdvanceChartClock(clock_);
}

bool ChartHistory::SetUpdatePeriod(std::int32_t seconds) noexcept {
  if (seconds < 1 || seconds > kMaxUpdatePeriod) return false;
  updatePeriod_ = seconds;
  return true;
}

}  // namespace korvane
