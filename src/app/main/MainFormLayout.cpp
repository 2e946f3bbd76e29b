#include "app/main/MainFormLayout.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QVBoxLayout>

namespace korvane {

LiveChartWidgets MainFormWidgets::ForLiveChart(QTimer* graphTimeTimer) const {
  LiveChartWidgets c;
  c.Chart1 = Chart1;
  c.Series1 = Series1;
  c.Series3 = Series3;
  c.Series2 = Series2;
  c.BottomAxis = BottomAxis;
  c.LeftAxis = LeftAxis;
  c.RightAxis = RightAxis;
  c.GraphScroll = GraphScroll;
  c.ChkAuto = ChkAuto;
  c.TxtMin = TxtMin;
  c.TxtMax = TxtMax;
  c.LblMin = LblMin;
  c.LblMax = LblMax;
  c.TxtUpdates = TxtUpdates;
  c.TxtPeriod = TxtPeriod;
  c.CmdHold = CmdHold;
  c.CmdClear = CmdClear;
  c.GraphTimeTimer = graphTimeTimer;
  return c;
}

MainFormWidgets BuildMainFormLayout(QMainWindow& form) {
  MainFormWidgets w;
  auto* central = new QWidget(&form);
  central->setObjectName("MainArea");
  auto* row = new QHBoxLayout(central);
  row->setContentsMargins(8, 8, 8, 8);
  row->setSpacing(7);

  // The chart takes all the width the window gives; the groups keep their
  // width at the right edge.
  row->addWidget(BuildChartArea(central, w), 1);
  auto* groups = new QVBoxLayout;
  groups->setSpacing(7);
  w.GrpPlot = BuildPlotGroup(central, w);
  w.GrpPID = BuildPidGroup(central, w);
  groups->addWidget(w.GrpPlot);
  groups->addWidget(w.GrpPID);
  groups->addStretch(1);
  row->addLayout(groups, 0);

  form.setCentralWidget(central);
  return w;
}

}  // namespace korvane
