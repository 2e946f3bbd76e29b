// The chart area of the main window: Chart1 with its three series and
// three axes, and the scroll bar GraphScroll along its bottom.

#include <QChart>
#include <QChartView>
#include <QFont>
#include <QLineSeries>
#include <QScrollBar>
#include <QValueAxis>
#include <QVBoxLayout>

#include "app/MainFormLayout.h"
#include "app/SeriesColours.h"

namespace korvane {

namespace {

QValueAxis* MakeAxis(const char* name, const char* title, double min, double max,
                     const QFont& font) {
  auto* axis = new QValueAxis;
  axis->setObjectName(name);
  axis->setTitleText(title);
  axis->setRange(min, max);
  // The window's small font, so the labels keep their room when the window
  // is at its narrowest.
  axis->setLabelsFont(font);
  QFont titleFont = font;
  titleFont.setBold(true);
  axis->setTitleFont(titleFont);
  return axis;
}

QLineSeries* MakeSeries(QChart* chart, const char* name, const char* title, const QColor& colour,
                        QValueAxis* bottom, QValueAxis* vertical) {
  auto* series = new QLineSeries;
  series->setObjectName(name);
  series->setName(title);
  series->setColor(colour);
  series->setPointsVisible(false);
  chart->addSeries(series);
  series->attachAxis(bottom);
  series->attachAxis(vertical);
  return series;
}

}  // namespace

QWidget* BuildChartArea(QWidget* parent, MainFormWidgets& w) {
  auto* area = new QWidget(parent);
  area->setObjectName("ChartArea");
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  w.Chart1 = new QChart;
  w.Chart1->setObjectName("Chart1");
  w.Chart1->legend()->hide();
  w.Chart1->setBackgroundRoundness(0);
  w.Chart1->setPlotAreaBackgroundVisible(false);
  w.Chart1->setMargins(QMargins(4, 4, 4, 4));
  w.Chart1->setTitleFont(parent->font());

  w.BottomAxis = MakeAxis("BottomAxis", "Seconds", 0, 25, parent->font());
  w.LeftAxis = MakeAxis("LeftAxis", "Setpoint / PV", 0, 100, parent->font());
  w.RightAxis = MakeAxis("RightAxis", "Output (%)", 0, 100, parent->font());
  w.Chart1->addAxis(w.BottomAxis, Qt::AlignBottom);
  w.Chart1->addAxis(w.LeftAxis, Qt::AlignLeft);
  w.Chart1->addAxis(w.RightAxis, Qt::AlignRight);

  w.Series1 = MakeSeries(w.Chart1, "Series1", "Setpoint", kSetpointColour, w.BottomAxis, w.LeftAxis);
  w.Series3 = MakeSeries(w.Chart1, "Series3", "PV", kPvColour, w.BottomAxis, w.LeftAxis);
  w.Series2 = MakeSeries(w.Chart1, "Series2", "Output", kOutputColour, w.BottomAxis, w.RightAxis);

  w.Chart1View = new QChartView(w.Chart1, area);
  w.Chart1View->setObjectName("Chart1View");
  w.Chart1View->setAccessibleName("PID chart");
  w.Chart1View->setRenderHint(QPainter::Antialiasing, false);
  w.Chart1View->setMinimumSize(200, 200);
  column->addWidget(w.Chart1View, 1);

  w.GraphScroll = new QScrollBar(Qt::Horizontal, area);
  w.GraphScroll->setObjectName("GraphScroll");
  w.GraphScroll->setAccessibleName("Chart scroll position");
  w.GraphScroll->setRange(-400, 0);
  w.GraphScroll->setValue(0);
  w.GraphScroll->setSingleStep(1);
  w.GraphScroll->setPageStep(1);
  column->addWidget(w.GraphScroll);
  return area;
}

}  // namespace korvane
