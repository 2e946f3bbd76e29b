// Chart tools on the real main window and the "Trends" window (offscreen):
// cursor read-outs are the stored samples at the cursor times, the rubber
// band zooms a view that redraws keep and a reset gives back, a saved PNG
// has the chart's pixel size and shows the curves; and the live chart's
// thinned, coalesced redraw paints the same picture as the full one.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QRubberBand>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

#include <cmath>
#include <cstdio>
#include <memory>
#include <set>

#include "app/chart/ChartPicture.h"
#include "app/chart/ChartTools.h"
#include "app/chart/LiveChart.h"
#include "app/main/MainForm.h"
#include "app/chart/SeriesColours.h"
#include "app/trend/TrendForm.h"
#include "plot/ChartHistory.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

class LiveTools : public ::testing::Test {
 protected:
  void SetUp() override {
    // The chart clock stands still, so redraws can be compared.
    form_.GraphTimeTimer().stop();
    form_.PollTimer().stop();
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  }
  // A flood: 20 samples a second (two per clock tick) over `seconds`.
  void Flood(int seconds) {
    ChartHistory& h = form_.History();
    for (int tick = 0; tick < seconds * 10; ++tick) {
      h.Tick();
      for (int piece = 0; piece < 2; ++piece) {
        const float t = h.ChartClock();
        h.InsertDatapoint(t, 50.0f + 30.0f * std::sin(t / 9.0f) + float((tick * 7 + piece) % 5),
                          tick / 700 % 2 ? 70.0f : 30.0f, 50.0f + 45.0f * std::cos(t / 13.0f));
      }
    }
    form_.Chart().RePlot();
  }
  QChartView* View() { return form_.Widgets().Chart1View; }
  QValueAxis* Bottom() { return form_.Widgets().BottomAxis; }
  QPoint ViewPoint(double x, double fraction) {
    const QRectF plot = form_.Widgets().Chart1->plotArea();
    const double sx = plot.left() + (x - Bottom()->min()) / (Bottom()->max() - Bottom()->min()) * plot.width();
    return View()->mapFromScene(QPointF(sx, plot.top() + fraction * plot.height()));
  }

  TMainForm form_;
};

void ExpectSameSample(const std::optional<ChartPoint>& read, const ChartPoint& stored) {
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Time, stored.Time);
  EXPECT_EQ(read->PV, stored.PV);
  EXPECT_EQ(read->Setpoint, stored.Setpoint);
  EXPECT_EQ(read->Output, stored.Output);
}

TEST_F(LiveTools, CursorReadOutsAreTheStoredSamplesAtTheCursorTimes) {
  Flood(200);
  ChartTools& tools = form_.Tools();
  tools.SetCursorsShown(true);
  const PointList& points = form_.History().Points();
  const float clock = form_.Chart().PlottedClock();
  for (std::size_t age : {0u, 40u, 2000u, 3000u}) {
    const ChartPoint& a = points.Newest(age);       // the newer of a pair sharing a Time
    const ChartPoint& b = points.Newest(age + 500);
    tools.PlaceCursor(0, double(a.Time - clock) + 0.01);
    tools.PlaceCursor(1, double(b.Time - clock) - 0.01);
    ExpectSameSample(tools.Readout().first, a);
    ExpectSameSample(tools.Readout().second, b);
    EXPECT_EQ(tools.Readout().Difference()->PV, b.PV - a.PV);
    EXPECT_EQ(*tools.CursorX(0), double(a.Time) - double(clock));  // snapped to the sample
    EXPECT_EQ(tools.ReadoutLabel()->text().toStdString(), tools.Readout().Text());
  }
  // A click moves the nearer cursor; it reads a stored sample within a pixel of the click.
  const double x = -123.0;
  tools.PlaceCursor(0, -300.0);
  tools.PlaceCursor(1, -50.0);
  QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, ViewPoint(x, 0.5));
  const double pixel = (Bottom()->max() - Bottom()->min()) / form_.Widgets().Chart1->plotArea().width();
  ASSERT_TRUE(tools.CursorX(1));
  EXPECT_NEAR(*tools.CursorX(1), x, pixel);
  ASSERT_TRUE(tools.Readout().second);
  ExpectSameSample(tools.Readout().second, *NearestSample(points, tools.Readout().second->Time));
}

TEST_F(LiveTools, RubberBandZoomIsKeptByRedrawsAndResetGivesTheChartItsOwnRanges) {
  Flood(100);
  QWidget* viewport = View()->viewport();
  QTest::mousePress(viewport, Qt::LeftButton, {}, ViewPoint(-300.0, 0.25));
  QTest::mouseMove(viewport, ViewPoint(-200.0, 0.75));
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, ViewPoint(-200.0, 0.75));
  ASSERT_TRUE(form_.Tools().Zoomed());
  EXPECT_NEAR(Bottom()->min(), -300.0, 1.0);
  EXPECT_NEAR(Bottom()->max(), -200.0, 1.0);
  EXPECT_NEAR(form_.Widgets().LeftAxis->min(), 25.0, 0.5);
  EXPECT_NEAR(form_.Widgets().LeftAxis->max(), 75.0, 0.5);
  EXPECT_NEAR(form_.Widgets().RightAxis->max(), 75.0, 0.5);

  // A redraw sees and sets the chart's own ranges; the zoom goes back on top.
  form_.Widgets().TxtMax->setText("200");
  form_.History().AddSample(1, 2, 3);
  EXPECT_NEAR(Bottom()->min(), -300.0, 1.0);
  EXPECT_NEAR(form_.Widgets().LeftAxis->max(), 150.0, 1.0);
  EXPECT_EQ(form_.Widgets().GraphScroll->minimum(), -100);

  QTest::mouseDClick(viewport, Qt::LeftButton, {}, ViewPoint(-250.0, 0.5));
  EXPECT_FALSE(form_.Tools().Zoomed());
  EXPECT_EQ(Bottom()->min(), -400.0);
  EXPECT_EQ(Bottom()->max(), 0.0);
  EXPECT_EQ(form_.Widgets().LeftAxis->max(), 200.0);
  EXPECT_EQ(form_.Widgets().RightAxis->max(), 100.0);
}

TEST_F(LiveTools, SavedPngHasTheChartsPixelSizeAndShowsTheCurves) {
  Flood(60);
  form_.Tools().SetCursorsShown(true);
  test::TempDir dir;
  ASSERT_FALSE(SaveChartPicture(View(), QString::fromStdString(dir.File("chart"))));
  const QImage picture(QString::fromStdString(dir.File("chart.png")));
  EXPECT_EQ(picture.size(), View()->size() * View()->devicePixelRatioF());
  std::set<QRgb> colours;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) colours.insert(picture.pixel(x, y) & 0xFFFFFFu);
  }
  for (const QColor& c : {kSetpointColour, kPvColour, kOutputColour}) EXPECT_TRUE(colours.count(c.rgb() & 0xFFFFFFu));
  EXPECT_GT(colours.size(), 5u);

  const auto refused = SaveChartPicture(View(), QString::fromStdString(dir.File("no/such/folder/x.png")));
  ASSERT_TRUE(refused);
  EXPECT_TRUE(refused->contains("no/such/folder/x.png"));
}

TEST_F(LiveTools, ThinnedAndCoalescedRedrawsPaintTheFullPicture) {
  Flood(400);
  const QImage thinned = View()->grab().toImage();
  EXPECT_LE(form_.Widgets().Series3->count(), 4 * 700);
  form_.Chart().SetDecimation(false);
  form_.Chart().RePlot();
  EXPECT_EQ(form_.Widgets().Series3->count(), 8000);
  // Within a pixel column the thinned line keeps the column's span of rows,
  // but the segments into and inside it take other slopes, and a segment
  // end near a column's edge may be rounded into the neighbouring column:
  // the pictures may differ there, and only there (next to a pixel of the
  // same curve colour in both; about 0.4 % of the view here).
  const QImage full = View()->grab().toImage();
  ASSERT_EQ(full.size(), thinned.size());
  auto curveNear = [](const QImage& image, int x, int y, QRgb colour) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (image.valid(x + dx, y + dy) && image.pixel(x + dx, y + dy) == colour) return true;
      }
    }
    return false;
  };
  int differing = 0;
  for (int y = 0; y < full.height(); ++y) {
    for (int x = 0; x < full.width(); ++x) {
      if (full.pixel(x, y) == thinned.pixel(x, y)) continue;
      ++differing;
      const QRgb curve = full.pixel(x, y) == View()->chart()->backgroundBrush().color().rgb() ? thinned.pixel(x, y) : full.pixel(x, y);
      EXPECT_TRUE(curveNear(full, x, y, curve) && curveNear(thinned, x, y, curve)) << x << "," << y;
    }
  }
  EXPECT_LT(differing, full.width() * full.height() / 200);

  // Samples closer together than a screen refresh: the first draws its
  // series at once, the newest follows once the refresh interval is over.
  form_.Chart().SetDecimation(true);
  QSignalSpy replaced(form_.Widgets().Series2, &QXYSeries::pointsReplaced);
  QTest::qWait(2 * LiveChart::kSeriesInterval);
  for (int i = 0; i < 5; ++i) form_.History().AddSample(1, 2, float(i));
  EXPECT_EQ(replaced.count(), 1);
  // (QTRY_COMPARE would only return from the test on a time-out.)
  EXPECT_TRUE(QTest::qWaitFor([&] { return replaced.count() == 2; }));
  const QList<QPointF> coalesced = form_.Widgets().Series2->points();
  EXPECT_EQ(coalesced.back(), QPointF(0.0, 4.0));
  form_.Chart().RePlot();
  EXPECT_EQ(form_.Widgets().Series2->points(), coalesced);
  // A piece that repeats the last values while the clock stands still
  // changes nothing on screen: the series are left alone.
  QTest::qWait(2 * LiveChart::kSeriesInterval);
  form_.History().AddSample(1, 2, 4);
  QTest::qWait(2 * LiveChart::kSeriesInterval);
  EXPECT_EQ(replaced.count(), 2);
}

TEST_F(LiveTools, EveryNewControlHasANameAndASpokenName) {
  ChartTools& tools = form_.Tools();
  const auto bands = View()->viewport()->findChildren<QRubberBand*>();
  ASSERT_EQ(bands.size(), 1);
  for (QWidget* w : std::initializer_list<QWidget*>{tools.ReadoutLabel(), tools.Menu(), bands.front()}) {
    EXPECT_FALSE(w->objectName().isEmpty());
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
  }
  for (QAction* a : tools.Menu()->actions()) EXPECT_FALSE(a->objectName().isEmpty());
  EXPECT_EQ(form_.Menu().SaveChartPicture1->objectName(), "SaveChartPicture1");
}

TEST(TrendTools, CursorReadsTheRowOfThePageAtItsTime) {
  test::TempDir dir;
  std::string text = "Run\r\nK=  12.500 Ki=   0.250 Kd=  30.000\r\nSecs, Setpoint, PV, Output\r\n";
  for (int row = 0; row < 150; ++row) {
    char line[80];
    std::snprintf(line, sizeof line, "%d,%8.3f,%8.3f,%8.3f\r\n", 10 + 2 * row, 60.0 + row, 0.5 * row, row % 7 + 0.25);
    text += line;
  }
  dir.Write("run.log", text);
  TFrmTrend form;
  form.SetOpenDialog([&](QWidget*) { return QString::fromStdString(dir.File("run.log")); });
  form.Widgets().CmdOpenFile->click();
  form.Tools().SetCursorsShown(true);
  form.Tools().PlaceCursor(0, 10 + 2 * 42 + 0.6);
  form.Tools().PlaceCursor(1, 5000.0);  // beyond the page: its last row
  const std::optional<ChartPoint> first = form.Tools().Readout().first;
  ASSERT_TRUE(first);
  EXPECT_EQ((std::vector<float>{first->Time, first->Setpoint, first->PV, first->Output}),
            (std::vector<float>{94.0f, 102.0f, 21.0f, 0.25f}));
  EXPECT_EQ(form.Tools().Readout().second->Time, 208.0f);
}

}  // namespace
}  // namespace korvane
