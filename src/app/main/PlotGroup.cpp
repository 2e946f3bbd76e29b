// The "Plot" group: vertical axis mode and range, the time window, the log
// switch, Pause and Clear, and the status line.

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/widgets/FormControls.h"
#include "app/widgets/PanelPicture.h"
#include "app/main/MainFormLayout.h"

namespace korvane {

QGroupBox* BuildPlotGroup(QWidget* parent, MainFormWidgets& w) {
  auto* group = new QGroupBox("Plot", parent);
  group->setObjectName("GrpPlot");
  group->setAccessibleName("Plot");
  group->setFixedWidth(kGroupWidth);
  auto* grid = new QGridLayout(group);
  grid->setVerticalSpacing(4);
  int row = 0;

  grid->addWidget(MakeLabel(group, "LblVertical", "Vertical Axis:"), row++, 0, 1, 3);
  w.ChkAuto = MakeCheck(group, "ChkAuto", "Adjust Automatically");
  grid->addWidget(w.ChkAuto, row++, 0, 1, 3);

  w.LblMin = MakeLabel(group, "LblMin", "Minimum:");
  w.TxtMin = MakeEdit(group, "TxtMin", w.LblMin);
  grid->addWidget(w.LblMin, row, 0);
  grid->addWidget(w.TxtMin, row++, 1);
  w.LblMax = MakeLabel(group, "LblMax", "Maximum:");
  w.TxtMax = MakeEdit(group, "TxtMax", w.LblMax);
  grid->addWidget(w.LblMax, row, 0);
  grid->addWidget(w.TxtMax, row++, 1);

  grid->addWidget(MakeLabel(group, "LblHorizontal", "Horizontal Axis:"), row++, 0, 1, 3);
  auto* lblWidth = MakeLabel(group, "LblWidth", "Width:");
  w.TxtUpdates = MakeEdit(group, "TxtUpdates", lblWidth, "400");
  w.TxtUpdates->setAccessibleName("Width in updates");
  grid->addWidget(lblWidth, row, 0);
  grid->addWidget(w.TxtUpdates, row, 1);
  grid->addWidget(MakeLabel(group, "LblUpdates", "Updates"), row++, 2);
  auto* lblPeriod = MakeLabel(group, "LblPeriod", "Update Period:");
  w.TxtPeriod = MakeEdit(group, "TxtPeriod", lblPeriod, "1");
  w.TxtPeriod->setAccessibleName("Update Period in seconds");
  grid->addWidget(lblPeriod, row, 0);
  grid->addWidget(w.TxtPeriod, row, 1);
  grid->addWidget(MakeLabel(group, "LblPeriodUnit", "Seconds"), row++, 2);

  w.ChkLog = MakeCheck(group, "ChkLog", "Log Data to File");
  grid->addWidget(w.ChkLog, row++, 0, 1, 3);

  w.CmdHold = MakeButton(group, "CmdHold", "Pause", "Pause");
  w.CmdClear = MakeButton(group, "CmdClear", "Clear", "Clear");
  grid->addWidget(w.CmdHold, row, 0);
  grid->addWidget(w.CmdClear, row++, 2);

  auto* lblStatus = MakeLabel(group, "LblStatus", "Status");
  grid->addWidget(lblStatus, row++, 0, 1, 3);
  w.TxtStatus = MakeEdit(group, "TxtStatus", lblStatus);
  w.TxtStatus->setReadOnly(true);
  KeepPanelPicture(w.TxtStatus);  // a new text each poll repaints the box alone
  grid->addWidget(w.TxtStatus, row++, 0, 1, 3);

  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);
  return group;
}

}  // namespace korvane
