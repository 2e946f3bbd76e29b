#pragma once
// The poll cycle's view of the main window: the status line, the value
// boxes, "Update Values on Poll" and the live chart.

#include <functional>

#include "app/MainFormLayout.h"
#include "poll/PollCycle.h"

namespace korvane {

class LiveChart;

class QtPollView : public PollView {
 public:
  QtPollView(const MainFormWidgets& widgets, LiveChart& chart);

  void SetStatus(const std::string& text) override;
  void ShowValue(ValueBox box, const std::string& text) override;
  std::string EntryText(ValueBox box) const override;
  bool UpdateValuesOnPoll() const override;
  char DecimalSeparator() const override;
  bool DataLogStep() override;
  bool ChartPaused() const override;
  float ChartClock() const override;
  void InsertDatapoint(float time, float pv, float setpoint, float output) override;
  void RePlot() override;
  // A refused write is reported in the status line, so the poll goes on
  // without a box to dismiss.
  void WriteRefused(const std::string& message) override;

  // The data log's step at the start of every tick; without one the tick
  // simply goes on.
  std::function<bool()> OnDataLogStep;

 private:
  QLineEdit* Box(ValueBox box) const;

  const MainFormWidgets& w_;
  LiveChart& chart_;
};

}  // namespace korvane
