#pragma once
// The main window's widgets: the chart with its scroll bar at the left, the
// "Plot" and "PID Factors" groups at the right edge. Built once; the window
// wires them to the poll cycle and the live chart.

#include "app/chart/LiveChart.h"
#include "base/PidForm.h"

class QChartView;
class QGroupBox;
class QMainWindow;

namespace korvane {

struct MainFormWidgets {
  // Chart area
  QChartView* Chart1View = nullptr;
  QChart* Chart1 = nullptr;
  QLineSeries* Series1 = nullptr;  // "Setpoint", red, left axis
  QLineSeries* Series2 = nullptr;  // "Output", blue, right axis
  QLineSeries* Series3 = nullptr;  // "PV", green, left axis
  QValueAxis* BottomAxis = nullptr;
  QValueAxis* LeftAxis = nullptr;
  QValueAxis* RightAxis = nullptr;
  QScrollBar* GraphScroll = nullptr;

  // "Plot" group
  QGroupBox* GrpPlot = nullptr;
  QCheckBox* ChkAuto = nullptr;
  QLabel* LblMin = nullptr;
  QLineEdit* TxtMin = nullptr;
  QLabel* LblMax = nullptr;
  QLineEdit* TxtMax = nullptr;
  QLineEdit* TxtUpdates = nullptr;
  QLineEdit* TxtPeriod = nullptr;
  QCheckBox* ChkLog = nullptr;
  QPushButton* CmdHold = nullptr;
  QPushButton* CmdClear = nullptr;
  QLineEdit* TxtStatus = nullptr;

  // "PID Factors" group
  QGroupBox* GrpPID = nullptr;
  QLineEdit* TxtPV = nullptr;
  QLineEdit* TxtOut = nullptr;
  QLineEdit* TxtSetPt = nullptr;
  QLineEdit* TxtK = nullptr;
  QLineEdit* TxtKi = nullptr;
  QLineEdit* TxtKd = nullptr;
  QLabel* LblKUnit = nullptr;   // the units of Kp, Ki and Kd as the controller holds them
  QLabel* LblKiUnit = nullptr;
  QLabel* LblKdUnit = nullptr;
  QPushButton* SPWrite = nullptr;
  QPushButton* KWrite = nullptr;
  QPushButton* KiWrite = nullptr;
  QPushButton* KdWrite = nullptr;
  QCheckBox* ChkUpdate = nullptr;

  // The part the live chart drives.
  LiveChartWidgets ForLiveChart(QTimer* graphTimeTimer) const;
};

inline constexpr int kGroupWidth = 257;

// Creates the chart area (chart, axes, series, scroll bar) into `w`.
QWidget* BuildChartArea(QWidget* parent, MainFormWidgets& w);
// Creates the "Plot" group into `w`.
QGroupBox* BuildPlotGroup(QWidget* parent, MainFormWidgets& w);
// Creates the "PID Factors" group into `w`.
QGroupBox* BuildPidGroup(QWidget* parent, MainFormWidgets& w);
// Names the units of Kp, Ki and Kd beside their boxes as the controller of
// `form` holds them: "% PB", "Reps/min" and "Seconds" for the default form.
void ShowPidUnits(const MainFormWidgets& w, const PidForm& form);
// Creates every widget and lays them out as the window's central widget.
MainFormWidgets BuildMainFormLayout(QMainWindow& form);

}  // namespace korvane
