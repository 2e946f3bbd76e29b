#include "plot/ChartClock.h"

namespace korvane {

float AdvanceChartClock(float clock) noexcept {
  return static_cast<float>(static_cast<double>(clock) + 0.1);
}

}  // namespace korvane
