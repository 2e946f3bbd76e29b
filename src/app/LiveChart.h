#pragma once
// The live strip chart behind the main window's Chart1: applies the core
// history and redraw computation to the Qt series, axes and scroll bar, and
// handles the Plot group's chart controls.

#include <QObject>

#include <functional>

class QChart;
class QLineSeries;
class QValueAxis;
class QScrollBar;
class QCheckBox;
class QLineEdit;
class QLabel;
class QPushButton;
class QTimer;

namespace korvane {

class ChartHistory;  // plot/ChartHistory.h: PointList, ChartClock, ChartPaused, UpdatePeriod

// The widgets the main window creates and hands over; none is owned here.
struct LiveChartWidgets {
  QChart* Chart1 = nullptr;
  QLineSeries* Series1 = nullptr;  // "Setpoint", red, left axis
  QLineSeries* Series3 = nullptr;  // "PV", green, left axis
  QLineSeries* Series2 = nullptr;  // "Output", blue, right axis
  QValueAxis* BottomAxis = nullptr;
  QValueAxis* LeftAxis = nullptr;
  QValueAxis* RightAxis = nullptr;
  QScrollBar* GraphScroll = nullptr;
  QCheckBox* ChkAuto = nullptr;
  QLineEdit* TxtMin = nullptr;
  QLineEdit* TxtMax = nullptr;
  QLabel* LblMin = nullptr;
  QLabel* LblMax = nullptr;
  QLineEdit* TxtUpdates = nullptr;
  QLineEdit* TxtPeriod = nullptr;
  QPushButton* CmdHold = nullptr;
  QPushButton* CmdClear = nullptr;
  QTimer* GraphTimeTimer = nullptr;
};

class LiveChart : public QObject {
  Q_OBJECT
 public:
  // Connects the controls' signals to the handlers below.
  LiveChart(const LiveChartWidgets& widgets, ChartHistory& history, QObject* parent = nullptr);
  ~LiveChart() override;

  // Rebuilds the three series, the axes and the scroll bar from the history.
  void RePlot();

  ChartHistory& History() { return history_; }
  // Runs after every redraw (the tuning marks follow the axes).
  void SetAfterRePlot(std::function<void()> hook) { afterRePlot_ = std::move(hook); }

 public slots:
  void GraphTimeTimerTimer();
  void CmdHoldClick();
  void CmdClearClick();
  void ChkAutoClick();
  void TxtPeriodChange();

 private:
  LiveChartWidgets w_;
  ChartHistory& history_;
  std::function<void()> afterRePlot_;
};

}  // namespace korvane
