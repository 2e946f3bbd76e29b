// LiveChart on real Qt chart objects: series after redraws, the axes and the
// scroll bar, pause and restart, clear, the axis mode controls and the
// update period.
#include <gtest/gtest.h>

#include <QChart>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QValueAxis>

#include <memory>

#include "app/chart/LiveChart.h"
#include "plot/ChartHistory.h"

namespace korvane {
namespace {

class LiveChartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    chart_.addSeries(&series1_);
    chart_.addSeries(&series3_);
    chart_.addSeries(&series2_);
    chart_.addAxis(&bottom_, Qt::AlignBottom);
    chart_.addAxis(&left_, Qt::AlignLeft);
    chart_.addAxis(&right_, Qt::AlignRight);
    for (QLineSeries* s : {&series1_, &series3_}) {
      s->attachAxis(&bottom_);
      s->attachAxis(&left_);
    }
    series2_.attachAxis(&bottom_);
    series2_.attachAxis(&right_);
    bottom_.setRange(0, 25);
    right_.setRange(0, 100);
    left_.setRange(0, 100);
    scroll_.setRange(-400, 0);
    scroll_.setValue(0);
    timer_.setInterval(100);
    updates_.setText("400");
    period_.setText("1");
    min_.setText("0");
    max_.setText("100");
    hold_.setText("Pause");

    LiveChartWidgets w;
    w.Chart1 = &chart_;
    w.Series1 = &series1_;
    w.Series3 = &series3_;
    w.Series2 = &series2_;
    w.BottomAxis = &bottom_;
    w.LeftAxis = &left_;
    w.RightAxis = &right_;
    w.GraphScroll = &scroll_;
    w.ChkAuto = &auto_;
    w.TxtMin = &min_;
    w.TxtMax = &max_;
    w.LblMin = &lblMin_;
    w.LblMax = &lblMax_;
    w.TxtUpdates = &updates_;
    w.TxtPeriod = &period_;
    w.CmdHold = &hold_;
    w.CmdClear = &clear_;
    w.GraphTimeTimer = &timer_;
    live_ = std::make_unique<LiveChart>(w, history_);
  }

  void TearDown() override {
    live_.reset();
    // The chart owns what was added to it; take the stack objects back.
    for (QLineSeries* s : {&series1_, &series3_, &series2_}) chart_.removeSeries(s);
    for (QValueAxis* a : {&bottom_, &left_, &right_}) chart_.removeAxis(a);
  }

  void Ticks(int n) {
    for (int i = 0; i < n; ++i) live_->GraphTimeTimerTimer();
  }
  // As the receive path does: one sample at the present clock, then a redraw.
  void Receive(float pv, float sp, float out) {
    history_.InsertDatapoint(history_.ChartClock(), pv, sp, out);
    live_->RePlot();
  }

  ChartHistory history_;
  QChart chart_;
  QLineSeries series1_, series3_, series2_;
  QValueAxis bottom_, left_, right_;
  QScrollBar scroll_{Qt::Horizontal};
  QCheckBox auto_{"Adjust Automatically"};
  QLineEdit min_, max_, updates_, period_;
  QLabel lblMin_{"Minimum:"}, lblMax_{"Maximum:"};
  QPushButton hold_, clear_{"Clear"};
  QTimer timer_;
  std::unique_ptr<LiveChart> live_;
};

// ---- Series after redraws -------------------------------------------------

TEST_F(LiveChartTest, RedrawsPutEachValueOnItsSeriesAtTimeMinusClock) {
  Ticks(10);
  Receive(20.0f, 25.0f, 40.0f);
  const float t1 = history_.ChartClock();
  Ticks(10);
  Receive(21.0f, 26.0f, 41.0f);
  const float clock = history_.ChartClock();
  const qreal x1 = static_cast<qreal>(t1 - clock);
  EXPECT_EQ(series1_.points(), (QList<QPointF>{{x1, 25.0}, {0.0, 26.0}}));
  EXPECT_EQ(series3_.points(), (QList<QPointF>{{x1, 20.0}, {0.0, 21.0}}));
  EXPECT_EQ(series2_.points(), (QList<QPointF>{{x1, 40.0}, {0.0, 41.0}}));
  EXPECT_EQ(bottom_.min(), -400.0);
  EXPECT_EQ(bottom_.max(), 0.0);
  EXPECT_EQ(scroll_.minimum(), -2);
  EXPECT_EQ(scroll_.value(), 0);
}

TEST_F(LiveChartTest, EachRedrawReplacesEverySeriesOnceInBulk) {
  for (int i = 0; i < 50; ++i) {
    Ticks(10);
    history_.InsertDatapoint(history_.ChartClock(), 1, 2, 3);
  }
  QSignalSpy replaced1(&series1_, &QXYSeries::pointsReplaced);
  QSignalSpy replaced2(&series2_, &QXYSeries::pointsReplaced);
  QSignalSpy replaced3(&series3_, &QXYSeries::pointsReplaced);
  QSignalSpy added(&series1_, &QXYSeries::pointAdded);
  live_->RePlot();
  EXPECT_EQ(replaced1.count(), 1);
  EXPECT_EQ(replaced2.count(), 1);
  EXPECT_EQ(replaced3.count(), 1);
  EXPECT_EQ(added.count(), 0);
  EXPECT_EQ(series1_.count(), 50);
}

TEST_F(LiveChartTest, ScrolledBackShowsTheOlderWindow) {
  for (int s = 0; s < 1000; ++s) {
    history_.InsertDatapoint(static_cast<float>(s), 0, static_cast<float>(s), 0);
  }
  Ticks(10000);  // clock 999.90289
  live_->RePlot();
  scroll_.setValue(-300);
  live_->RePlot();
  EXPECT_EQ(bottom_.min(), -700.0);
  EXPECT_EQ(bottom_.max(), -300.0);
  const QList<QPointF> points = series1_.points();
  ASSERT_FALSE(points.isEmpty());
  EXPECT_GE(points.front().x(), -701.0);
  EXPECT_LE(points.back().x(), -299.0);
  for (qsizetype i = 1; i < points.size(); ++i) EXPECT_LT(points[i - 1].x(), points[i].x());
}

TEST_F(LiveChartTest, ScrollPositionBelowTheNewMinimumIsPulledUpAfterClear) {
  for (int s = 0; s < 300; ++s) history_.InsertDatapoint(static_cast<float>(s), 0, 0, 0);
  Ticks(3000);
  live_->RePlot();
  scroll_.setValue(-200);
  clear_.click();
  EXPECT_TRUE(history_.Points().Empty());
  EXPECT_EQ(history_.ChartClock(), 0.0f);
  EXPECT_EQ(series1_.count(), 300);  // untouched until the next redraw
  Receive(1, 2, 3);
  EXPECT_EQ(scroll_.minimum(), 0);
  EXPECT_EQ(scroll_.value(), 0);
  EXPECT_EQ(series1_.points(), (QList<QPointF>{{0.0, 2.0}}));
}

TEST_F(LiveChartTest, WidthTextsAndUpdatePeriodSetTheBottomAxis) {
  Ticks(100);
  updates_.setText("abc");
  live_->RePlot();
  EXPECT_EQ(bottom_.min(), -1.0);
  updates_.setText("99999");
  live_->RePlot();
  EXPECT_EQ(bottom_.min(), -40000.0);
  updates_.setText("400");
  period_.setText("2");
  live_->RePlot();
  EXPECT_EQ(bottom_.min(), -800.0);
  EXPECT_EQ(bottom_.max(), 0.0);
}

// ---- Left axis ------------------------------------------------------------

TEST_F(LiveChartTest, FixedRangeComesFromTheTextsAtTheNextRedraw) {
  min_.setText("-20");
  max_.setText("250abc");
  Receive(1, 2, 3);
  EXPECT_EQ(left_.min(), -20.0);
  EXPECT_EQ(left_.max(), 250.0);
}

TEST_F(LiveChartTest, AutomaticRangeFollowsSetpointAndPv) {
  auto_.setChecked(true);
  Receive(300.0f, 500.0f, 50.0f);
  Ticks(10);
  Receive(400.0f, 500.0f, 60.0f);
  EXPECT_LT(left_.min(), 300.0);
  EXPECT_GT(left_.min(), 250.0);
  EXPECT_GT(left_.max(), 500.0);
  EXPECT_LT(left_.max(), 550.0);
  EXPECT_EQ(right_.min(), 0.0);
  EXPECT_EQ(right_.max(), 100.0);
}

TEST_F(LiveChartTest, RefusedFixedRangeKeepsTheCurvesAndLosesNoSample) {
  Ticks(10);
  Receive(1, 2, 3);
  Ticks(10);
  Receive(4, 5, 6);
  const QList<QPointF> before = series1_.points();
  const int scrollMin = scroll_.minimum();
  min_.setText("80");
  max_.setText("20");
  Ticks(10);
  QSignalSpy replaced(&series1_, &QXYSeries::pointsReplaced);
  Receive(7, 8, 9);
  EXPECT_EQ(replaced.count(), 0);
  EXPECT_EQ(series1_.points(), before);
  EXPECT_EQ(scroll_.minimum(), scrollMin);
  EXPECT_EQ(left_.min(), 0.0);
  EXPECT_EQ(left_.max(), 100.0);
  EXPECT_EQ(history_.Points().Size(), 3u);

  max_.setText("120");
  live_->RePlot();
  EXPECT_EQ(series1_.count(), 3);
  EXPECT_EQ(series1_.points().back(), QPointF(0.0, 8.0));
  EXPECT_EQ(left_.min(), 80.0);
  EXPECT_EQ(left_.max(), 120.0);
}

TEST_F(LiveChartTest, RangeAboveThePresentAxisIsAccepted) {
  min_.setText("200");  // above the present maximum 100, but a valid range
  max_.setText("300");
  Receive(250, 250, 50);
  EXPECT_EQ(left_.min(), 200.0);
  EXPECT_EQ(left_.max(), 300.0);
  EXPECT_EQ(series1_.count(), 1);
}

TEST_F(LiveChartTest, AdjustAutomaticallyTogglesTheFourRangeControls) {
  auto_.click();
  EXPECT_TRUE(auto_.isChecked());
  for (QWidget* w : std::initializer_list<QWidget*>{&min_, &max_, &lblMin_, &lblMax_}) {
    EXPECT_FALSE(w->isEnabled());
  }
  auto_.click();
  for (QWidget* w : std::initializer_list<QWidget*>{&min_, &max_, &lblMin_, &lblMax_}) {
    EXPECT_TRUE(w->isEnabled());
  }
}

// ---- Pause, restart, clock ------------------------------------------------

TEST_F(LiveChartTest, PauseFreezesTheClockAndRestartResumesWhereItStopped) {
  Ticks(25);
  const float before = history_.ChartClock();
  hold_.click();
  EXPECT_TRUE(history_.ChartPaused());
  EXPECT_TRUE(history_.ChartPaused());
  Ticks(600);  // a minute of ticks while paused
  EXPECT_EQ(history_.ChartClock(), before);
  hold_.click();
  EXPECT_FALSE(history_.ChartPaused());
  Ticks(1);
  EXPECT_GT(history_.ChartClock(), before);
  EXPECT_LT(history_.ChartClock(), before + 0.11f);
}

TEST_F(LiveChartTest, HoldCaptionIsRestartInRedWhilePausedAndPauseInBlack) {
  hold_.click();
  EXPECT_EQ(hold_.text(), "Restart");
  EXPECT_EQ(hold_.palette().color(QPalette::ButtonText), QColor(Qt::red));
  hold_.click();
  EXPECT_EQ(hold_.text(), "Pause");
  EXPECT_EQ(hold_.palette().color(QPalette::ButtonText), QColor(Qt::black));
}

TEST_F(LiveChartTest, ClearWhilePausedEmptiesTheHistoryAndZeroesTheClock) {
  Ticks(30);
  history_.InsertDatapoint(history_.ChartClock(), 1, 2, 3);
  hold_.click();
  clear_.click();
  EXPECT_TRUE(history_.Points().Empty());
  EXPECT_EQ(history_.ChartClock(), 0.0f);
  Ticks(10);
  EXPECT_EQ(history_.ChartClock(), 0.0f);
}

TEST_F(LiveChartTest, TimerTicksAdvanceTheClock) {
  timer_.setInterval(1);
  timer_.start();
  QElapsedTimer waited;
  waited.start();
  while (history_.ChartClock() < 0.25f && waited.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  timer_.stop();
  EXPECT_GE(history_.ChartClock(), 0.25f);
}

// ---- Update period --------------------------------------------------------

TEST_F(LiveChartTest, PeriodTextSetsTimerIntervalAndUpdatePeriod) {
  period_.setText("2");
  EXPECT_EQ(timer_.interval(), 2000);
  EXPECT_EQ(history_.UpdatePeriod(), 2);
  Ticks(1);
  EXPECT_EQ(history_.ChartClock(), 0.1f);  // still 0.1 per tick
}

TEST_F(LiveChartTest, PeriodTextThatIsNotAPositiveWholeNumberChangesNothing) {
  period_.setText("3");
  for (const char* text : {"", "0", "-1", "abc", "2.5", "3x", "2147484", "99999999999"}) {
    period_.setText(text);
    EXPECT_EQ(timer_.interval(), 3000) << text;
    EXPECT_EQ(history_.UpdatePeriod(), 3) << text;
  }
}

}  // namespace
}  // namespace korvane
