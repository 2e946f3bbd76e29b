#pragma once
// The live strip chart behind the main window's Chart1: applies the core
// history and redraw computation to the Qt series, axes and scroll bar, and
// handles the Plot group's chart controls.

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

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
struct RedrawResult;

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

  ChartHistory& History() { return *history_; }
  // Draws `history` from now on (another controller's, on the same clock);
  // only the history drawn asks for redraws.
  void ShowHistory(ChartHistory& history);
  const LiveChartWidgets& Widgets() const { return w_; }

  // The chart clock of the last redraw: a sample is drawn at x = Time - this.
  float PlottedClock() const { return plottedClock_; }

  // Called around every redraw that is not refused: `before` ahead of its
  // computation, `after` once the axes and the scroll bar are set (the
  // series follow within one screen refresh). Chart tools take their view
  // off and put it back here; extra series or markers can follow the
  // redraw the same way.
  void AddRedrawHooks(std::function<void()> before, std::function<void()> after);

  // The redraw the history asks for after each stored sample: the axes and
  // the scroll bar at once, the series at most once per screen refresh
  // (kSeriesInterval); the newest drawing wins, none is lost.
  void RePlotFromSample();
  static constexpr int kSeriesInterval = 16;  // ms

  // Thins each drawn series to at most four points per pixel column of the
  // plot (the same picture); on by default.
  void SetDecimation(bool on) { decimate_ = on; }

 public slots:
  void GraphTimeTimerTimer();
  void CmdHoldClick();
  void CmdClearClick();
  void ChkAutoClick();
  void TxtPeriodChange();

 private:
  // The whole redraw; the series at once or, when `coalesce`, deferred
  // while the last series update is younger than kSeriesInterval.
  void Draw(bool coalesce);
  void ApplySeries(RedrawResult& plan);
  void ApplyPendingSeries();

  LiveChartWidgets w_;
  ChartHistory* history_;
  float plottedClock_ = 0.0f;
  bool decimate_ = true;
  std::vector<std::function<void()>> before_, after_;
  std::unique_ptr<RedrawResult> pending_;  // series waiting for the refresh timer
  std::unique_ptr<RedrawResult> shown_;    // the series' points last handed to the chart
  // Started only for a drawing that comes within kSeriesInterval of the
  // last series update, so a lone update leaves no wake-up behind it.
  QTimer* seriesTimer_ = nullptr;
  std::chrono::steady_clock::time_point seriesAt_{};  // the last series update
  int labelWalks_ = 2;  // redraws that still look for new labels and lines to cache
};

}  // namespace korvane
