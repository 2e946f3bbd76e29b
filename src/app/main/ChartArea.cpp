// The chart area of the main window: Chart1 with its three series and
// three axes, and the scroll bar GraphScroll along its bottom.

#include <QChart>
#include <QChartView>
#include <QFont>
#include <QLineSeries>
#include <QScrollBar>
#include <QValueAxis>
#include <QVBoxLayout>

#include "app/chart/ChartParts.h"
#include "app/main/MainFormLayout.h"
#include "app/chart/SeriesColours.h"
#include "app/widgets/QuietScrollBar.h"

namespace korvane {

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

  w.BottomAxis = MakeAxis(w.Chart1, "BottomAxis", "Seconds", Qt::AlignBottom, parent->font());
  w.LeftAxis = MakeAxis(w.Chart1, "LeftAxis", "Setpoint / PV", Qt::AlignLeft, parent->font());
  w.RightAxis = MakeAxis(w.Chart1, "RightAxis", "Output (%)", Qt::AlignRight, parent->font());
  w.BottomAxis->setRange(0, 25);
  w.LeftAxis->setRange(0, 100);
  w.RightAxis->setRange(0, 100);

  w.Series1 = MakeSeries(w.Chart1, "Series1", "Setpoint", kSetpointColour, w.BottomAxis, w.LeftAxis);
  w.Series3 = MakeSeries(w.Chart1, "Series3", "PV", kPvColour, w.BottomAxis, w.LeftAxis);
  w.Series2 = MakeSeries(w.Chart1, "Series2", "Output", kOutputColour, w.BottomAxis, w.RightAxis);

  w.Chart1View = new QChartView(w.Chart1, area);
  w.Chart1View->setObjectName("Chart1View");
  w.Chart1View->setAccessibleName("PID chart");
  w.Chart1View->setRenderHint(QPainter::Antialiasing, false);
  w.Chart1View->setMinimumSize(200, 200);
  column->addWidget(w.Chart1View, 1);

  // The scroll range grows every second while the handle mostly stays put:
  // the bar repaints only when it moved.
  w.GraphScroll = new QuietScrollBar(Qt::Horizontal, area);
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
