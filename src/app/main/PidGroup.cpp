// The "PID Factors" group: PV and Out on show, setpoint and the three PID
// factors with their Write buttons, the colour keys of the chart's lines
// and "Update Values on Poll".

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/widgets/FormControls.h"
#include "app/widgets/PanelPicture.h"
#include "app/main/MainFormLayout.h"
#include "app/chart/SeriesColours.h"

namespace korvane {

namespace {

QLineEdit* AddRow(QGroupBox* group, QGridLayout* grid, int row, const char* labelName,
                  const char* caption, const char* editName) {
  auto* label = MakeLabel(group, labelName, caption);
  auto* edit = MakeEdit(group, editName, label);
  // Wide enough for any value the boxes show ("%8.3f" of a 16-bit register).
  edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance("-32768.000") + 6);
  // Each poll writes new values: repainting them must not repaint the group.
  KeepPanelPicture(edit);
  grid->addWidget(label, row, 0);
  grid->addWidget(edit, row, 1);
  return edit;
}

// A unit label's caption and what it says in full, for screen readers.
struct UnitText {
  const char* caption;
  const char* description;
};

UnitText ProportionalText(ProportionalUnit unit) {
  switch (unit) {
    case ProportionalUnit::BandUnits: return {"units PB", "proportional band in PV units"};
    case ProportionalUnit::Gain: return {"gain", "controller gain, output % per % of the span"};
    case ProportionalUnit::BandPercent: break;
  }
  return {"% PB", "proportional band in % of the span"};
}

UnitText IntegralText(IntegralUnit unit) {
  switch (unit) {
    case IntegralUnit::RepeatsPerSecond: return {"Reps/s", "integral rate in repeats per second"};
    case IntegralUnit::TimeSeconds: return {"s (Ti)", "integral time in seconds, 0 for no integral action"};
    case IntegralUnit::TimeMinutes: return {"min (Ti)", "integral time in minutes, 0 for no integral action"};
    case IntegralUnit::RepeatsPerMinute: break;
  }
  return {"Reps/min", "integral rate in repeats per minute"};
}

UnitText DerivativeText(DerivativeUnit unit) {
  if (unit == DerivativeUnit::Minutes) return {"Minutes", "derivative time in minutes"};
  return {"Seconds", "derivative time in seconds"};
}

void ShowUnit(QLabel* label, const UnitText& text) {
  label->setText(text.caption);
  label->setAccessibleName(text.caption);
  label->setAccessibleDescription(text.description);
}

}  // namespace

void ShowPidUnits(const MainFormWidgets& w, const PidForm& form) {
  ShowUnit(w.LblKUnit, ProportionalText(form.K));
  ShowUnit(w.LblKiUnit, IntegralText(form.Ki));
  ShowUnit(w.LblKdUnit, DerivativeText(form.Kd));
}

QGroupBox* BuildPidGroup(QWidget* parent, MainFormWidgets& w) {
  auto* group = new QGroupBox("PID Factors", parent);
  group->setObjectName("GrpPID");
  group->setAccessibleName("PID Factors");
  group->setFixedWidth(kGroupWidth);
  auto* grid = new QGridLayout(group);
  grid->setVerticalSpacing(2);
  grid->setHorizontalSpacing(4);

  w.TxtPV = AddRow(group, grid, 0, "LblPV", "PV:", "TxtPV");
  w.TxtPV->setReadOnly(true);
  grid->addWidget(MakeColourKey(group, "LblKeyPV", kPvColour, "PV line: green"), 0, 2);

  w.TxtOut = AddRow(group, grid, 1, "LblOut", "Out:", "TxtOut");
  w.TxtOut->setReadOnly(true);
  grid->addWidget(MakeColourKey(group, "LblKeyOut", kOutputColour, "Output line: blue"), 1, 2);

  w.TxtSetPt = AddRow(group, grid, 2, "LblSetPt", "Setpoint:", "TxtSetPt");
  grid->addWidget(MakeColourKey(group, "LblKeySetPt", kSetpointColour, "Setpoint line: red"), 2, 2);
  w.SPWrite = MakeButton(group, "SPWrite", "Write", "Write Setpoint");
  grid->addWidget(w.SPWrite, 2, 3);

  w.TxtK = AddRow(group, grid, 3, "LblK", "Kp:", "TxtK");
  w.LblKUnit = MakeLabel(group, "LblKUnit", "");
  grid->addWidget(w.LblKUnit, 3, 2);
  w.KWrite = MakeButton(group, "KWrite", "Write", "Write Kp");
  grid->addWidget(w.KWrite, 3, 3);

  w.TxtKi = AddRow(group, grid, 4, "LblKi", "Ki:", "TxtKi");
  w.LblKiUnit = MakeLabel(group, "LblKiUnit", "");
  grid->addWidget(w.LblKiUnit, 4, 2);
  w.KiWrite = MakeButton(group, "KiWrite", "Write", "Write Ki");
  grid->addWidget(w.KiWrite, 4, 3);

  w.TxtKd = AddRow(group, grid, 5, "LblKd", "Kd:", "TxtKd");
  w.LblKdUnit = MakeLabel(group, "LblKdUnit", "");
  grid->addWidget(w.LblKdUnit, 5, 2);
  w.KdWrite = MakeButton(group, "KdWrite", "Write", "Write Kd");
  grid->addWidget(w.KdWrite, 5, 3);

  ShowPidUnits(w, PidForm{});

  w.ChkUpdate = MakeCheck(group, "ChkUpdate", "Update Values on Poll");
  grid->addWidget(w.ChkUpdate, 6, 0, 1, 4);

  for (QPushButton* button : {w.SPWrite, w.KWrite, w.KiWrite, w.KdWrite}) button->setFixedWidth(44);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(7, 1);
  return group;
}

}  // namespace korvane
