// The history's storage and order, the chart clock and the update period.
#include <gtest/gtest.h>

#include <stdexcept>

#include <limits>
#include <vector>

#include "plot/ChartClock.h"
#include "plot/ChartHistory.h"

namespace korvane {
namespace {

float TickedClock(int ticks) {
  ChartHistory history;
  for (int i = 0; i < ticks; ++i) history.Tick();
  return history.ChartClock();
}

// ---- Chart clock: single-precision drift ---------------------------------

TEST(ChartClockDrift, MatchesRepeatedSinglePrecisionSums) {
  EXPECT_EQ(TickedClock(10), 1.0000001f);
  EXPECT_EQ(TickedClock(1000), 99.999046f);
  EXPECT_EQ(TickedClock(10000), 999.90289f);
  EXPECT_EQ(TickedClock(36000), 3601.1624f);
}

TEST(ChartClockDrift, OneTickAddsTheDoubleTenth) {
  EXPECT_EQ(AdvanceChartClock(0.0f), 0.1f);
  EXPECT_EQ(AdvanceChartClock(0.1f), static_cast<float>(static_cast<double>(0.1f) + 0.1));
}

TEST(ChartClockPause, PausedTicksDoNotCountAndRestartResumes) {
  ChartHistory history;
  for (int i = 0; i < 5; ++i) history.Tick();
  const float before = history.ChartClock();
  history.SetChartPaused(true);
  for (int i = 0; i < 600; ++i) history.Tick();
  EXPECT_EQ(history.ChartClock(), before);
  history.SetChartPaused(false);
  history.Tick();
  EXPECT_EQ(history.ChartClock(), AdvanceChartClock(before));
}

// ---- History order and storage --------------------------------------------

TEST(PointListOrder, HeadIsNewestAndOldestFirstWalkReversesIt) {
  ChartHistory history;
  for (int i = 0; i < 3000; ++i) {  // crosses block boundaries
    const float f = static_cast<float>(i);
    history.InsertDatapoint(f, 1.0f * f, 2.0f * f, 3.0f * f);
  }
  const PointList& points = history.Points();
  ASSERT_EQ(points.Size(), 3000u);
  EXPECT_EQ(points.Newest(0).Time, 2999.0f);
  EXPECT_EQ(points.Newest(2999).Time, 0.0f);
  EXPECT_EQ(points.Newest(1024).Setpoint, 2.0f * 1975.0f);
  EXPECT_EQ(points.Newest(1024).PV, 1975.0f);
  EXPECT_EQ(points.Newest(1024).Output, 3.0f * 1975.0f);

  std::vector<float> oldestFirst;
  history.ForEachOldestFirst([&](const ChartPoint& p) { oldestFirst.push_back(p.Time); });
  std::vector<float> newestFirst;
  history.ForEachNewestFirst([&](const ChartPoint& p) { newestFirst.push_back(p.Time); });
  ASSERT_EQ(oldestFirst.size(), 3000u);
  for (std::size_t i = 0; i < 3000; ++i) {
    EXPECT_EQ(oldestFirst[i], static_cast<float>(i));
    EXPECT_EQ(newestFirst[i], static_cast<float>(2999 - i));
  }
}

TEST(PointListOrder, ExactBlockMultipleKeepsEverySample) {
  PointList points;
  const std::size_t n = 2 * PointList::kBlockSize;
  for (std::size_t i = 0; i < n; ++i) points.PushNewest(ChartPoint{static_cast<float>(i), 0, 0, 0});
  EXPECT_EQ(points.Size(), n);
  EXPECT_EQ(points.Oldest(n - 1).Time, static_cast<float>(n - 1));
  points.PushNewest(ChartPoint{-1.0f, 0, 0, 0});
  EXPECT_EQ(points.Newest(0).Time, -1.0f);
  EXPECT_EQ(points.Newest(1).Time, static_cast<float>(n - 1));
}

TEST(PointListOrder, EqualTimesKeepTheClockOrderButFallingOrNanBreakIt) {
  constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
  const std::pair<std::vector<float>, bool> cases[] = {
      {{1.0f, 1.0f}, true}, {{1.0f, 1.0f, 0.5f}, false}, {{kNan}, false},
      {{1.0f, kNan}, false}, {{1.0f, kNan, 2.0f}, false}, {{kNan, 1.0f}, false}};
  PointList points;
  for (const auto& [times, inOrder] : cases) {
    points.Clear();
    EXPECT_TRUE(points.TimesNeverRise());
    for (float t : times) points.PushNewest(ChartPoint{t, 0, 0, 0});
    EXPECT_EQ(points.TimesNeverRise(), inOrder) << times.size() << " samples";
  }
}

TEST(PointListStorage, ClearFreesEverythingAndStartsOver) {
  ChartHistory history;
  for (int i = 0; i < 5000; ++i) history.InsertDatapoint(0.1f * static_cast<float>(i), 0, 0, 0);
  EXPECT_GT(history.Points().BytesHeld(), 5000u * sizeof(ChartPoint) - 1);
  history.ClearData();
  EXPECT_TRUE(history.Points().Empty());
  EXPECT_EQ(history.Points().BytesHeld(), 0u);
  history.InsertDatapoint(0.0f, 7, 8, 9);
  EXPECT_EQ(history.Points().Size(), 1u);
  EXPECT_EQ(history.Points().Newest(0).Setpoint, 8.0f);
}

TEST(PointListStorage, LargeHistoryHoldsAtMostTwentyFourBytesPerSample) {
  PointList points;
  const std::size_t n = 200000;
  for (std::size_t i = 0; i < n; ++i) points.PushNewest(ChartPoint{static_cast<float>(i), 0, 0, 0});
  EXPECT_LE(points.BytesHeld(), n * 24);
}

TEST(ClearData, LeavesTheClockForTheCallerToReset) {
  ChartHistory history;
  for (int i = 0; i < 20; ++i) history.Tick();
  history.InsertDatapoint(history.ChartClock(), 1, 2, 3);
  history.ClearData();
  EXPECT_GT(history.ChartClock(), 1.9f);
  history.ResetClock();
  EXPECT_EQ(history.ChartClock(), 0.0f);
}

TEST(AddSample, StoresAtTheChartClockThenRedrawsAndKeepsTheSampleWhenTheRedrawFails) {
  ChartHistory history;
  for (int i = 0; i < 3; ++i) history.Tick();
  int redraws = 0;
  history.SetRedraw([&] {
    ++redraws;
    if (redraws == 2) throw std::runtime_error("redraw failed");
  });
  SampleSink& sink = history;
  sink.AddSample(1, 2, 3);
  EXPECT_THROW(sink.AddSample(4, 5, 6), std::runtime_error);
  ASSERT_EQ(history.Points().Size(), 2u);
  EXPECT_EQ(history.Points().Newest(0).PV, 4.0f);
  EXPECT_EQ(history.Points().Newest(1).Time, history.ChartClock());
  EXPECT_EQ(redraws, 2);
}

// ---- Update period --------------------------------------------------------

TEST(UpdatePeriod, AcceptsOnlyPeriodsWhoseIntervalFits) {
  ChartHistory history;
  EXPECT_EQ(history.UpdatePeriod(), 1);
  EXPECT_TRUE(history.SetUpdatePeriod(2));
  EXPECT_EQ(history.UpdatePeriod(), 2);
  EXPECT_FALSE(history.SetUpdatePeriod(0));
  EXPECT_FALSE(history.SetUpdatePeriod(-3));
  EXPECT_FALSE(history.SetUpdatePeriod(ChartHistory::kMaxUpdatePeriod + 1));
  EXPECT_EQ(history.UpdatePeriod(), 2);
  EXPECT_TRUE(history.SetUpdatePeriod(ChartHistory::kMaxUpdatePeriod));
}

}  // namespace
}  // namespace korvane
