#include "app/LiveChart.h"

#include <QChart>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QList>
#include <QPalette>
#include <QPointF>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QValueAxis>

#include <string>

#include "plot/AutoRange.h"
#include "plot/ChartHistory.h"
#include "plot/Redraw.h"

namespace korvane {
namespace {

QList<QPointF> ToQt(const std::vector<PlotPoint>& points) {
  QList<QPointF> list;
  list.reserve(static_cast<qsizetype>(points.size()));
  for (const PlotPoint& p : points) list.append(QPointF(p.x, p.y));
  return list;
}

void SetCaptionColour(QPushButton* button, const QColor& colour) {
  QPalette palette = button->palette();
  palette.setColor(QPalette::ButtonText, colour);
  button->setPalette(palette);
}

}  // namespace

LiveChart::LiveChart(const LiveChartWidgets& widgets, ChartHistory& history, QObject* parent)
    : QObject(parent), w_(widgets), history_(history) {
  connect(w_.GraphTimeTimer, &QTimer::timeout, this, &LiveChart::GraphTimeTimerTimer);
  connect(w_.CmdHold, &QPushButton::clicked, this, &LiveChart::CmdHoldClick);
  connect(w_.CmdClear, &QPushButton::clicked, this, &LiveChart::CmdClearClick);
  // toggled, not clicked: a tick set from code (start-up, configuration)
  // must also enable or disable the range controls.
  connect(w_.ChkAuto, &QCheckBox::toggled, this, &LiveChart::ChkAutoClick);
  connect(w_.TxtPeriod, &QLineEdit::textChanged, this, &LiveChart::TxtPeriodChange);
  // Every sample the poll cycle adds redraws the chart.
  history_.SetRedraw([this] { RePlot(); });
}

LiveChart::~LiveChart() { history_.SetRedraw(nullptr); }

void LiveChart::RePlot() {
  const std::string minText = w_.TxtMin->text().toStdString();
  const std::string maxText = w_.TxtMax->text().toStdString();
  const std::string updatesText = w_.TxtUpdates->text().toStdString();

  RedrawInput in;
  in.points = &history_.Points();
  in.clock = history_.ChartClock();
  in.leftAutomatic = w_.ChkAuto->isChecked();
  in.leftMinText = minText;
  in.leftMaxText = maxText;
  in.updatesText = updatesText;
  in.updatePeriod = history_.UpdatePeriod();
  in.scrollPosition = w_.GraphScroll->value();
  in.bottomMin = w_.BottomAxis->min();
  in.bottomMax = w_.BottomAxis->max();
  const RedrawResult r = ComputeRedraw(in);

  // A fixed range with its minimum above its maximum: nothing changes on
  // screen, the samples stay stored, the next valid redraw draws them.
  if (r.refused) return;
  if (!r.leftAutomatic) w_.LeftAxis->setRange(r.leftMin, r.leftMax);

  w_.GraphScroll->setMinimum(r.scrollMinimum);  // pulls a lower position up
  w_.GraphScroll->setValue(r.scrollPosition);

  for (std::size_t i = 0; i < r.bottomStepCount; ++i) {
    const AxisStep& step = r.bottomSteps[i];
    if (step.bound == AxisStep::Bound::Min) {
      w_.BottomAxis->setMin(step.value);
    } else {
      w_.BottomAxis->setMax(step.value);
    }
  }

  // One bulk replace per series.
  w_.Series1->replace(ToQt(r.setpoint));
  w_.Series2->replace(ToQt(r.output));
  w_.Series3->replace(ToQt(r.pv));

  if (r.leftAutomatic) {
    const std::vector<PlotPoint>* leftSeries[] = {&r.setpoint, &r.pv};
    if (const auto range = AutoAxisRange(leftSeries)) w_.LeftAxis->setRange(range->min, range->max);
  }
  if (afterRePlot_) afterRePlot_();
}

void LiveChart::GraphTimeTimerTimer() { history_.Tick(); }

void LiveChart::CmdHoldClick() {
  const bool paused = !history_.ChartPaused();
  history_.SetChartPaused(paused);
  w_.CmdHold->setText(paused ? QStringLiteral("Restart") : QStringLiteral("Pause"));
  SetCaptionColour(w_.CmdHold, paused ? QColor(Qt::red) : QColor(Qt::black));
}

void LiveChart::CmdClearClick() {
  history_.ClearData();
  history_.ResetClock();
}

void LiveChart::ChkAutoClick() {
  const bool manual = !w_.ChkAuto->isChecked();
  w_.TxtMin->setEnabled(manual);
  w_.TxtMax->setEnabled(manual);
  w_.LblMin->setEnabled(manual);
  w_.LblMax->setEnabled(manual);
}

void LiveChart::TxtPeriodChange() {
  const std::int32_t period = AcceptedUpdatePeriod(w_.TxtPeriod->text().toStdString());
  if (period == 0) return;
  history_.SetUpdatePeriod(period);
  w_.GraphTimeTimer->setInterval(period * 1000);
}

}  // namespace korvane
