// The redraw computation: width, scroll range, bottom axis, bounds, the walk
// and the refused fixed left range.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "plot/AutoRange.h"
#include "plot/ChartHistory.h"
#include "plot/Redraw.h"

namespace korvane {
namespace {

struct Scene {
  ChartHistory history;
  float clock = 0.0f;
  std::string updates = "400";
  std::string minText = "0";
  std::string maxText = "100";
  bool automatic = false;
  std::int32_t scroll = 0;
  double bottomMin = 0.0;
  double bottomMax = 25.0;

  RedrawResult Redraw(RedrawInput::Start start = RedrawInput::Start::Bisect) const {
    RedrawInput in;
    in.points = &history.Points();
    in.clock = clock;
    in.leftAutomatic = automatic;
    in.leftMinText = minText;
    in.leftMaxText = maxText;
    in.updatesText = updates;
    in.updatePeriod = history.UpdatePeriod();
    in.scrollPosition = scroll;
    in.bottomMin = bottomMin;
    in.bottomMax = bottomMax;
    in.start = start;
    return ComputeRedraw(in);
  }
};

std::vector<float> Xs(const std::vector<PlotPoint>& points) {
  std::vector<float> xs;
  for (const PlotPoint& p : points) xs.push_back(p.x);
  return xs;
}

// ---- Empty history --------------------------------------------------------

TEST(RedrawEmpty, SetsAxesAndScrollAndDrawsNothing) {
  Scene s;
  const RedrawResult r = s.Redraw();
  EXPECT_FALSE(r.refused);
  EXPECT_EQ(r.leftMin, 0);
  EXPECT_EQ(r.leftMax, 100);
  EXPECT_EQ(r.scrollMinimum, 0);
  EXPECT_EQ(r.scrollPosition, 0);
  EXPECT_EQ(r.bottomMin, -400.0);
  EXPECT_EQ(r.bottomMax, 0.0);
  EXPECT_TRUE(r.setpoint.empty());
  EXPECT_TRUE(r.pv.empty());
  EXPECT_TRUE(r.output.empty());
}

// ---- The window at scroll 0 and scrolled back ------------------------------

TEST(RedrawWindow, Width400AtClock50DrawsEverySampleAtTimeMinusClock) {
  Scene s;
  s.clock = 50.0f;
  for (int i = 0; i <= 100; ++i) {
    const float t = 0.5f * static_cast<float>(i);
    s.history.InsertDatapoint(t, t + 1, t + 2, t + 3);
  }
  const RedrawResult r = s.Redraw();
  EXPECT_EQ(r.bottomMin, -400.0);
  EXPECT_EQ(r.bottomMax, 0.0);
  EXPECT_EQ(r.bounds.hi, 1.0f);
  EXPECT_EQ(r.bounds.lo, -401.0f);
  ASSERT_EQ(r.setpoint.size(), 101u);
  for (std::size_t i = 0; i <= 100; ++i) {
    const float t = 0.5f * static_cast<float>(i);
    EXPECT_EQ(r.setpoint[i], (PlotPoint{t - 50.0f, t + 2}));  // ascending x: oldest first
    EXPECT_EQ(r.pv[i], (PlotPoint{t - 50.0f, t + 1}));
    EXPECT_EQ(r.output[i], (PlotPoint{t - 50.0f, t + 3}));
  }
}

TEST(RedrawWindow, ScrolledTo100SkipsRightOfMinus99AndStopsLeftOfMinus501) {
  Scene s;
  s.clock = 650.0f;
  s.scroll = -100;
  // x = Time - 650 for: -601.5 -98.5 ... in arrival order (oldest first).
  for (float x : {-700.0f, -501.5f, -501.0f, -300.0f, -99.0f, -98.5f, -10.0f, 0.0f}) {
    s.history.InsertDatapoint(x + 650.0f, x, x, x);
  }
  const RedrawResult r = s.Redraw();
  EXPECT_EQ(r.scrollPosition, -100);
  EXPECT_EQ(r.bottomMin, -500.0);
  EXPECT_EQ(r.bottomMax, -100.0);
  EXPECT_EQ(r.bounds.hi, -99.0f);
  EXPECT_EQ(r.bounds.lo, -501.0f);
  EXPECT_EQ(Xs(r.pv), (std::vector<float>{-501.0f, -300.0f, -99.0f}));
}

TEST(RedrawWindow, WalkStopsAtTheFirstSampleLeftOfTheWindow) {
  // Times stored out of clock order: a sample inside the window lies behind
  // one left of it, and the walk never reaches it.
  Scene s;
  s.clock = 1000.0f;
  s.history.InsertDatapoint(900.0f, 1, 1, 1);  // x = -100, inside, but behind the stop
  s.history.InsertDatapoint(100.0f, 2, 2, 2);  // x = -900: stop
  s.history.InsertDatapoint(990.0f, 3, 3, 3);  // x = -10: drawn
  const RedrawResult r = s.Redraw();
  EXPECT_EQ(Xs(r.setpoint), (std::vector<float>{-10.0f}));
}

TEST(RedrawWindow, OldestSampleIsDrawnWhenInTheWindow) {
  Scene s;
  s.clock = 30.0f;
  for (int i = 0; i < 30; ++i) s.history.InsertDatapoint(static_cast<float>(i), 0, static_cast<float>(i), 0);
  const RedrawResult r = s.Redraw();
  ASSERT_EQ(r.setpoint.size(), 30u);
  EXPECT_EQ(r.setpoint.front(), (PlotPoint{-30.0f, 0.0f}));
}

TEST(RedrawWindow, EqualTimesKeepTheirStoredOrderInAscendingX) {
  Scene s;
  s.clock = 2.0f;
  s.history.InsertDatapoint(1.0f, 0, 10, 0);
  s.history.InsertDatapoint(1.0f, 0, 11, 0);  // a reply in two pieces, same clock
  s.history.InsertDatapoint(2.0f, 0, 12, 0);
  const RedrawResult r = s.Redraw();
  EXPECT_EQ(r.setpoint, (std::vector<PlotPoint>{{-1.0f, 10}, {-1.0f, 11}, {0.0f, 12}}));
}

// ---- Width ----------------------------------------------------------------

TEST(RedrawWidth, TextsWithoutAPositiveValueGiveOneUpdate) {
  for (const char* text : {"0", "-5", "abc", "", "  "}) {
    EXPECT_EQ(WindowWidth(text, 1), 1) << '"' << text << '"';
    EXPECT_EQ(WindowWidth(text, 3), 3) << '"' << text << '"';
  }
}

TEST(RedrawWidth, LeadingDigitsCountAndTheWidthIsCutAt40000) {
  EXPECT_EQ(WindowWidth("12abc", 1), 12);
  EXPECT_EQ(WindowWidth("99999", 1), 40000);
  EXPECT_EQ(WindowWidth("99999", 2), 80000);
  EXPECT_EQ(WindowWidth("40000", 1), 40000);
  EXPECT_EQ(WindowWidth("$10", 1), 16);
}

TEST(RedrawWidth, Period2DoublesTheWindow) {
  Scene s;
  ASSERT_TRUE(s.history.SetUpdatePeriod(2));
  s.clock = 900.0f;
  const RedrawResult r = s.Redraw();
  EXPECT_EQ(r.width, 800);
  EXPECT_EQ(r.bottomMin, -800.0);
}

TEST(RedrawWidth, ProductBeyond32BitsIsHeldAtTheLargestWidth) {
  EXPECT_EQ(WindowWidth("40000", 53687), 40000 * 53687);
  EXPECT_EQ(WindowWidth("40000", 53688), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(WindowWidth("40000", ChartHistory::kMaxUpdatePeriod), std::numeric_limits<std::int32_t>::max());

  Scene s;
  ASSERT_TRUE(s.history.SetUpdatePeriod(ChartHistory::kMaxUpdatePeriod));
  s.updates = "40000";
  s.clock = 100.0f;
  s.scroll = -100;
  s.history.InsertDatapoint(0.0f, 1, 1, 1);
  const RedrawResult r = s.Redraw();
  EXPECT_EQ(r.bottomMax, -100.0);
  EXPECT_EQ(r.bottomMin, -100.0 - 2147483647.0);
  EXPECT_LT(r.bounds.lo, r.bounds.hi);
  EXPECT_EQ(r.setpoint.size(), 1u);
}

// ---- Update period text ---------------------------------------------------

TEST(UpdatePeriodText, OnlyPositiveWholeNumbersWhoseIntervalFitsAreAccepted) {
  EXPECT_EQ(AcceptedUpdatePeriod("2"), 2);
  EXPECT_EQ(AcceptedUpdatePeriod("2147483"), 2147483);
  EXPECT_EQ(AcceptedUpdatePeriod("2147484"), 0);  // 2147484000 ms does not fit
  for (const char* text : {"0", "-1", "abc", "", "1.5", "12abc", "99999999999"}) {
    EXPECT_EQ(AcceptedUpdatePeriod(text), 0) << '"' << text << '"';
  }
}

// ---- Scroll range ---------------------------------------------------------

TEST(RedrawScroll, MinimumIsMinusClockWithHalvesToEven) {
  EXPECT_EQ(ScrollMinimum(12.5f), -12);
  EXPECT_EQ(ScrollMinimum(13.5f), -14);
  EXPECT_EQ(ScrollMinimum(12.4f), -12);
  EXPECT_EQ(ScrollMinimum(12.6f), -13);
  EXPECT_EQ(ScrollMinimum(0.0f), 0);
  EXPECT_EQ(ScrollMinimum(0.5f), 0);
  EXPECT_EQ(ScrollMinimum(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(ScrollMinimum(std::numeric_limits<float>::infinity()), 0);
  EXPECT_EQ(ScrollMinimum(1e20f), -std::numeric_limits<std::int32_t>::max());
}

TEST(RedrawScroll, PositionBelowTheMinimumIsPulledUp) {
  Scene s;
  s.clock = 50.0f;
  s.scroll = -100;
  const RedrawResult r = s.Redraw();
  EXPECT_EQ(r.scrollMinimum, -50);
  EXPECT_EQ(r.scrollPosition, -50);
  EXPECT_EQ(r.bottomMin, -450.0);
  EXPECT_EQ(r.bottomMax, -50.0);
}

TEST(RedrawScroll, PositionsOutsideTheRangeAreBroughtInside) {
  Scene s;
  s.clock = 50.0f;
  s.scroll = 25;
  EXPECT_EQ(s.Redraw().scrollPosition, 0);
  s.scroll = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(s.Redraw().scrollPosition, -50);
}

TEST(RedrawScroll, ClearThenRedrawPullsThePositionToZero) {
  Scene s;
  for (int i = 0; i < 300; ++i) s.history.InsertDatapoint(static_cast<float>(i), 0, 0, 0);
  s.clock = 300.0f;
  s.scroll = -200;
  ASSERT_EQ(s.Redraw().scrollPosition, -200);
  s.history.ClearData();
  s.history.ResetClock();
  s.clock = s.history.ChartClock();
  s.history.InsertDatapoint(s.clock, 5, 6, 7);
  const RedrawResult r = s.Redraw();
  EXPECT_EQ(r.scrollMinimum, 0);
  EXPECT_EQ(r.scrollPosition, 0);
  EXPECT_EQ(r.setpoint, (std::vector<PlotPoint>{{0.0f, 6.0f}}));
}

// ---- Bottom axis never inverted -------------------------------------------

// Applies the steps to an axis that refuses inversion and reports whether it did.
bool ApplyWithoutInversion(const RedrawResult& r, double min, double max) {
  for (std::size_t i = 0; i < r.bottomStepCount; ++i) {
    const AxisStep& step = r.bottomSteps[i];
    if (step.bound == AxisStep::Bound::Min) {
      if (step.value > max) return false;
      min = step.value;
    } else {
      if (step.value < min) return false;
      max = step.value;
    }
  }
  return min == r.bottomMin && max == r.bottomMax;
}

TEST(RedrawBottomAxis, StepsNeverInvertFromAnyPresentRange) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> value(-3000, 3000);
  for (int i = 0; i < 5000; ++i) {
    Scene s;
    s.clock = static_cast<float>(value(rng) + 3000);
    s.scroll = value(rng);
    s.updates = std::to_string(value(rng));
    double a = value(rng);
    double b = value(rng);
    if (a > b) std::swap(a, b);
    s.bottomMin = a;
    s.bottomMax = b;
    const RedrawResult r = s.Redraw();
    ASSERT_TRUE(ApplyWithoutInversion(r, a, b)) << a << ".." << b << " to " << r.bottomMin << ".." << r.bottomMax;
  }
}

TEST(RedrawBottomAxis, MovingFarRightOrLeftNeedsTheGuardSteps) {
  Scene s;
  s.clock = 5000.0f;
  s.bottomMin = -5000.0;  // present range far left of the new one
  s.bottomMax = -4000.0;
  RedrawResult r = s.Redraw();
  ASSERT_EQ(r.bottomStepCount, 3u);
  EXPECT_EQ(r.bottomSteps[0], (AxisStep{AxisStep::Bound::Max, 0.0}));
  s.bottomMin = 100.0;  // present range right of the new one
  s.bottomMax = 200.0;
  r = s.Redraw();
  ASSERT_EQ(r.bottomStepCount, 3u);
  EXPECT_EQ(r.bottomSteps[0], (AxisStep{AxisStep::Bound::Min, -400.0}));
}

// ---- Fixed left axis refused ----------------------------------------------

TEST(RedrawLeftAxis, MinimumAboveMaximumIsRefusedAndTheSampleWaits) {
  Scene s;
  s.clock = 10.0f;
  s.history.InsertDatapoint(9.0f, 1, 2, 3);
  s.minText = "50";
  s.maxText = "20";
  const RedrawResult refused = s.Redraw();
  EXPECT_TRUE(refused.refused);
  EXPECT_TRUE(refused.setpoint.empty());
  EXPECT_EQ(refused.bottomStepCount, 0u);

  s.history.InsertDatapoint(10.0f, 4, 5, 6);  // stored while the chart stays frozen
  EXPECT_TRUE(s.Redraw().refused);
  EXPECT_EQ(s.history.Points().Size(), 2u);

  s.maxText = "80";
  const RedrawResult r = s.Redraw();
  EXPECT_FALSE(r.refused);
  EXPECT_EQ(r.leftMin, 50);
  EXPECT_EQ(r.leftMax, 80);
  EXPECT_EQ(r.setpoint, (std::vector<PlotPoint>{{-1.0f, 2.0f}, {0.0f, 5.0f}}));
}

TEST(RedrawLeftAxis, LenientTextsAndEqualBoundsAreAccepted) {
  Scene s;
  s.minText = "abc";
  s.maxText = "0x10";
  RedrawResult r = s.Redraw();
  EXPECT_EQ(r.leftMin, 0);
  EXPECT_EQ(r.leftMax, 16);
  s.minText = "7";
  s.maxText = "7kg";
  r = s.Redraw();
  EXPECT_FALSE(r.refused);
}

TEST(RedrawLeftAxis, AutomaticIgnoresTheTexts) {
  Scene s;
  s.automatic = true;
  s.minText = "50";
  s.maxText = "20";
  EXPECT_FALSE(s.Redraw().refused);
}

// ---- Automatic left range -------------------------------------------------

TEST(AutoRange, SpansSetpointAndPvWithAMargin) {
  const std::vector<PlotPoint> sp{{0, 10}, {1, 30}};
  const std::vector<PlotPoint> pv{{0, 20}, {1, 110}};
  const std::vector<PlotPoint>* series[] = {&sp, &pv};
  const auto range = AutoAxisRange(series);
  ASSERT_TRUE(range);
  EXPECT_DOUBLE_EQ(range->min, 5.0);
  EXPECT_DOUBLE_EQ(range->max, 115.0);
}

TEST(AutoRange, NothingFiniteKeepsThePresentRange) {
  const std::vector<PlotPoint> none;
  const std::vector<PlotPoint> nan{{0, std::numeric_limits<float>::quiet_NaN()},
                                   {1, std::numeric_limits<float>::infinity()}};
  const std::vector<PlotPoint>* series[] = {&none, &nan};
  EXPECT_FALSE(AutoAxisRange(series));
}

TEST(AutoRange, FlatOrHugeValuesStillGiveAnOpenRange) {
  const std::vector<PlotPoint> flat{{0, 42}, {1, 42}};
  const std::vector<PlotPoint> huge{{0, 3e38f}, {1, -3e38f}};
  const std::vector<PlotPoint> flatBig{{0, 1e30f}};
  const std::vector<PlotPoint> flatZero{{0, 0}, {1, 0}};  // before the first reply
  for (const auto* one : {&flat, &huge, &flatBig, &flatZero}) {
    const std::vector<PlotPoint>* series[] = {one};
    const auto range = AutoAxisRange(series);
    ASSERT_TRUE(range);
    EXPECT_LT(range->min, range->max);
    EXPECT_TRUE(std::isfinite(range->min) && std::isfinite(range->max));
  }
}

}  // namespace
}  // namespace korvane
