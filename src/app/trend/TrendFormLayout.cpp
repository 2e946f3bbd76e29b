#include "app/trend/TrendFormLayout.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScrollBar>
#include <QValueAxis>

#include "app/chart/ChartParts.h"
#include "app/widgets/FormControls.h"
#include "app/chart/SeriesColours.h"

namespace korvane {

void TrendAnchors::Add(QWidget* widget, QRect rect, unsigned anchors) {
  widget->setGeometry(rect);
  entries_.append(Entry{widget, rect, anchors});
}

void TrendAnchors::Apply(QSize size) const {
  const int dx = size.width() - designed_.width();
  const int dy = size.height() - designed_.height();
  for (const Entry& e : entries_) {
    QRect r = e.Designed;
    const bool left = (e.Anchors & kAnchorLeft) != 0;
    const bool right = (e.Anchors & kAnchorRight) != 0;
    const bool top = (e.Anchors & kAnchorTop) != 0;
    const bool bottom = (e.Anchors & kAnchorBottom) != 0;
    if (left && right) {
      r.setWidth(r.width() + dx);
    } else if (right) {
      r.translate(dx, 0);
    }
    if (top && bottom) {
      r.setHeight(r.height() + dy);
    } else if (bottom) {
      r.translate(0, dy);
    }
    e.Widget->setGeometry(r);
  }
}

namespace {

constexpr unsigned kTopLeft = kAnchorLeft | kAnchorTop;
constexpr unsigned kTopRight = kAnchorTop | kAnchorRight;
constexpr unsigned kBottomRight = kAnchorBottom | kAnchorRight;
constexpr unsigned kAllSides = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;

QLineEdit* FixedWidth(QLineEdit* edit, int width) {
  edit->setFixedWidth(width);
  return edit;
}

void BuildChart(QWidget& form, TrendFormWidgets& w) {
  w.Chart = new QChart;
  w.Chart->setObjectName("Chart1");
  w.Chart->setTitle("PID");
  w.Chart->setTitleFont(form.font());
  w.Chart->setBackgroundRoundness(0);
  // The bottom margin keeps the axis title clear of the scroll bar that lies
  // across the chart's foot.
  w.Chart->setMargins(QMargins(4, 2, 4, 24));
  w.Chart->legend()->setFont(form.font());
  w.Chart->legend()->setVisible(true);

  w.BottomAxis = MakeAxis(w.Chart, "BottomAxis", "Secs", Qt::AlignBottom, form.font());
  w.LeftAxis = MakeAxis(w.Chart, "LeftAxis", "Setpoint / PV", Qt::AlignLeft, form.font());
  w.RightAxis = MakeAxis(w.Chart, "RightAxis", "Output (%)", Qt::AlignRight, form.font());
  w.LeftAxis->setRange(0, 100);
  w.RightAxis->setRange(0, 110);

  w.Series1 = MakeSeries(w.Chart, "Series1", "Setpoint", kSetpointColour, w.BottomAxis, w.LeftAxis);
  w.Series2 = MakeSeries(w.Chart, "Series2", "PV", kPvColour, w.BottomAxis, w.LeftAxis);
  w.Series3 = MakeSeries(w.Chart, "Series3", "Output", kOutputColour, w.BottomAxis, w.RightAxis);
  for (QLineSeries* series : {w.Series1, w.Series2, w.Series3}) {
    QPen pen = series->pen();
    pen.setWidth(2);
    series->setPen(pen);
  }

  w.Chart1 = new QChartView(w.Chart, &form);
  w.Chart1->setObjectName("Chart1");
  w.Chart1->setAccessibleName("PID");
  w.Chart1->setRenderHint(QPainter::Antialiasing, true);
}

QGroupBox* BuildPlotGroup(QWidget& form, TrendFormWidgets& w) {
  auto* group = new QGroupBox("Plot", &form);
  group->setObjectName("GrpPlot");
  group->setAccessibleName("Plot");
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(8, 4, 8, 6);
  grid->setVerticalSpacing(3);
  grid->addWidget(MakeLabel(group, "LblVertical", "Vertical Axis:"), 0, 0, 1, 3);
  w.ChkAuto = MakeCheck(group, "ChkAuto", "Adjust Automatically");
  grid->addWidget(w.ChkAuto, 1, 0, 1, 3);
  auto* lblMin = MakeLabel(group, "LblMin", "Minimum:");
  w.TxtMin = FixedWidth(MakeEdit(group, "TxtMin", lblMin, "0"), 49);
  grid->addWidget(lblMin, 2, 0);
  grid->addWidget(w.TxtMin, 2, 1);
  auto* lblMax = MakeLabel(group, "LblMax", "Maximum:");
  w.TxtMax = FixedWidth(MakeEdit(group, "TxtMax", lblMax, "100"), 49);
  grid->addWidget(lblMax, 3, 0);
  grid->addWidget(w.TxtMax, 3, 1);
  grid->setColumnStretch(2, 1);
  return group;
}

QGroupBox* BuildPidGroup(QWidget& form, TrendFormWidgets& w) {
  auto* group = new QGroupBox("PID Factors", &form);
  group->setObjectName("GrpPID");
  group->setAccessibleName("PID Factors");
  auto* grid = new QGridLayout(group);
  // Tight margins: the widest unit, "Repitions/min", needs the room.
  grid->setContentsMargins(4, 4, 1, 6);
  grid->setHorizontalSpacing(4);
  struct Row {
    const char* LabelName;
    const char* Caption;
    const char* EditName;
    const char* UnitName;
    const char* Unit;
    QLineEdit** Edit;
  };
  const Row rows[] = {
      {"LblK", "Kp:", "TxtK", "LblKUnit", "Percent", &w.TxtK},
      {"LblKi", "Ki:", "TxtKi", "LblKiUnit", "Repitions/min", &w.TxtKi},
      {"LblKd", "Kd:", "TxtKd", "LblKdUnit", "Seconds", &w.TxtKd},
  };
  int line = 0;
  for (const Row& row : rows) {
    auto* label = MakeLabel(group, row.LabelName, row.Caption);
    *row.Edit = FixedWidth(MakeEdit(group, row.EditName, label), 73);
    grid->addWidget(label, line, 0);
    grid->addWidget(*row.Edit, line, 1);
    grid->addWidget(MakeLabel(group, row.UnitName, row.Unit), line, 2);
    ++line;
  }
  grid->setColumnStretch(2, 1);
  return group;
}

}  // namespace

TrendFormWidgets BuildTrendFormLayout(QWidget& form, TrendAnchors& anchors) {
  TrendFormWidgets w;
  w.LblHeading = MakeLabel(&form, "LblHeading", "Open File To Display Trend");
  // Read out by its text, which changes with the file.
  w.LblHeading->setAccessibleName(QString());
  BuildChart(form, w);
  w.ScrollBar1 = new QScrollBar(Qt::Horizontal, &form);
  w.ScrollBar1->setObjectName("ScrollBar1");
  w.ScrollBar1->setAccessibleName("Trend page");
  w.ScrollBar1->setRange(0, 10000);
  w.ScrollBar1->setSingleStep(50);
  w.ScrollBar1->setPageStep(500);
  w.ScrollBar1->setValue(0);
  w.GrpPlot = BuildPlotGroup(form, w);
  w.GrpPID = BuildPidGroup(form, w);
  w.CmdOpenFile = MakeButton(&form, "CmdOpenFile", "Open File", "Open File");
  w.CmdExit = MakeButton(&form, "CmdExit", "Exit", "Exit");

  // The heading label stretches with the window so a long heading shows
  // as much as fits; its text starts at the designed place.
  anchors.Add(w.LblHeading, QRect(24, 8, 609, 16), kTopLeft | kAnchorRight);
  anchors.Add(w.Chart1, QRect(24, 24, 609, 417), kAllSides);
  anchors.Add(w.ScrollBar1, QRect(72, 418, 425, 17), kAnchorLeft | kAnchorRight | kAnchorBottom);
  anchors.Add(w.GrpPlot, QRect(640, 21, 188, 124), kTopRight);
  anchors.Add(w.GrpPID, QRect(640, 152, 188, 121), kTopRight);
  anchors.Add(w.CmdOpenFile, QRect(659, 418, 73, 25), kBottomRight);
  anchors.Add(w.CmdExit, QRect(747, 418, 73, 25), kBottomRight);
  // The scroll bar lies over the chart.
  w.ScrollBar1->raise();
  return w;
}

}  // namespace korvane
