#include "app/chart/LiveChart.h"

#include <QChart>
#include <QGraphicsScene>
#include <QGraphicsLineItem>
#include <QGraphicsTextItem>
#include <QGraphicsView>
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
#include "plot/Decimate.h"
#include "plot/Redraw.h"

namespace korvane {
namespace {

QList<QPointF> ToQt(const std::vector<PlotPoint>& points) {
  QList<QPointF> list;
  list.reserve(static_cast<qsizetype>(points.size()));
  for (const PlotPoint& p : points) list.append(QPointF(p.x, p.y));
  return list;
}

// The chart's titles, axis labels, grid lines and axis lines lie under and
// beside the plot, and a series update repaints whatever its outline
// touches: held as pixmaps, they are copied instead of laid out and drawn
// again. (The series change at every update and are drawn.)
void CacheStillParts(QGraphicsItem* item) {
  for (QGraphicsItem* child : item->childItems()) {
    const bool still = child->type() == QGraphicsTextItem::Type || child->type() == QGraphicsLineItem::Type;
    if (still && child->cacheMode() == QGraphicsItem::NoCache) {
      child->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    }
    CacheStillParts(child);
  }
}

void SetCaptionColour(QPushButton* button, const QColor& colour) {
  QPalette palette = button->palette();
  palette.setColor(QPalette::ButtonText, colour);
  button->setPalette(palette);
}

}  // namespace

LiveChart::LiveChart(const LiveChartWidgets& widgets, ChartHistory& history, QObject* parent)
    : QObject(parent), w_(widgets), history_(&history) {
  connect(w_.GraphTimeTimer, &QTimer::timeout, this, &LiveChart::GraphTimeTimerTimer);
  connect(w_.CmdHold, &QPushButton::clicked, this, &LiveChart::CmdHoldClick);
  connect(w_.CmdClear, &QPushButton::clicked, this, &LiveChart::CmdClearClick);
  // toggled, not clicked: a tick set from code (start-up, configuration)
  // must also enable or disable the range controls.
  connect(w_.ChkAuto, &QCheckBox::toggled, this, &LiveChart::ChkAutoClick);
  connect(w_.TxtPeriod, &QLineEdit::textChanged, this, &LiveChart::TxtPeriodChange);
  seriesTimer_ = new QTimer(this);
  seriesTimer_->setObjectName("SeriesRefreshTimer");
  seriesTimer_->setSingleShot(true);
  connect(seriesTimer_, &QTimer::timeout, this, &LiveChart::ApplyPendingSeries);
  auto newLabels = [this] { labelWalks_ = 2; };
  for (QValueAxis* axis : {w_.BottomAxis, w_.LeftAxis, w_.RightAxis}) {
    connect(axis, &QValueAxis::rangeChanged, this, newLabels);
    connect(axis, &QValueAxis::tickCountChanged, this, newLabels);
  }
  connect(w_.Chart1, &QChart::plotAreaChanged, this, newLabels);
  // Every sample the poll cycle adds redraws the chart.
  history_->SetRedraw([this] { RePlotFromSample(); });
}

LiveChart::~LiveChart() { history_->SetRedraw(nullptr); }

void LiveChart::ShowHistory(ChartHistory& history) {
  if (&history == history_) return;
  history_->SetRedraw(nullptr);
  history_ = &history;
  history_->SetRedraw([this] { RePlotFromSample(); });
  RePlot();
}

void LiveChart::AddRedrawHooks(std::function<void()> before, std::function<void()> after) {
  if (before) before_.push_back(std::move(before));
  if (after) after_.push_back(std::move(after));
}

void LiveChart::RePlot() { Draw(false); }

void LiveChart::RePlotFromSample() { Draw(true); }

void LiveChart::Draw(bool coalesce) {
  for (const auto& hook : before_) hook();
  const std::string minText = w_.TxtMin->text().toStdString();
  const std::string maxText = w_.TxtMax->text().toStdString();
  const std::string updatesText = w_.TxtUpdates->text().toStdString();

  RedrawInput in;
  in.points = &history_->Points();
  in.clock = history_->ChartClock();
  in.leftAutomatic = w_.ChkAuto->isChecked();
  in.leftMinText = minText;
  in.leftMaxText = maxText;
  in.updatesText = updatesText;
  in.updatePeriod = history_->UpdatePeriod();
  in.scrollPosition = w_.GraphScroll->value();
  in.bottomMin = w_.BottomAxis->min();
  in.bottomMax = w_.BottomAxis->max();
  RedrawResult r = ComputeRedraw(in);

  // A fixed range with its minimum above its maximum: nothing changes on
  // screen, the samples stay stored, the next valid redraw draws them.
  if (r.refused) {
    for (const auto& hook : after_) hook();
    return;
  }
  plottedClock_ = in.clock;
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

  if (r.leftAutomatic) {
    const std::vector<PlotPoint>* leftSeries[] = {&r.setpoint, &r.pv};
    if (const auto range = AutoAxisRange(leftSeries)) w_.LeftAxis->setRange(range->min, range->max);
  }

  // New labels and lines come with a new range, tick count or plot size,
  // made by the chart's layout after this redraw: the next redraw caches
  // them too.
  if (labelWalks_ > 0) {
    CacheStillParts(w_.Chart1);
    --labelWalks_;
  }

  // Series updates closer together than one screen refresh are never seen
  // apart: keep the newest and apply it when the refresh interval is over.
  const auto since = std::chrono::steady_clock::now() - seriesAt_;
  const std::chrono::milliseconds interval(kSeriesInterval);
  if (coalesce && (seriesTimer_->isActive() || since < interval)) {
    pending_ = std::make_unique<RedrawResult>(std::move(r));
    if (!seriesTimer_->isActive()) {
      seriesTimer_->start(std::chrono::ceil<std::chrono::milliseconds>(interval - since));
    }
  } else {
    pending_.reset();
    ApplySeries(r);
  }
  for (const auto& hook : after_) hook();
}

void LiveChart::ApplyPendingSeries() {
  if (!pending_) return;
  const std::unique_ptr<RedrawResult> plan = std::move(pending_);
  ApplySeries(*plan);
}

void LiveChart::ApplySeries(RedrawResult& r) {
  const QRectF plot = w_.Chart1->plotArea();
  if (decimate_ && plot.width() > 0.0 && r.bottomMax > r.bottomMin) {
    // Device pixels: the chart item sits at the scene origin of its view.
    qreal ratio = 1.0;
    if (w_.Chart1->scene() != nullptr && !w_.Chart1->scene()->views().isEmpty()) {
      ratio = w_.Chart1->scene()->views().front()->devicePixelRatioF();
    }
    DecimateRedraw(r, PixelColumns{r.bottomMin, r.bottomMax, plot.left() * ratio,
                                   plot.width() * ratio, 1.0});
  }
  // One bulk replace per series, and none for a series whose points are
  // those already on screen (a piece that repeated the last values before
  // the clock moved): its layout and painting would give the same picture.
  const bool known = shown_ != nullptr;
  if (!known) shown_ = std::make_unique<RedrawResult>();
  bool replaced = false;
  auto apply = [&](QLineSeries* series, std::vector<PlotPoint>& points, std::vector<PlotPoint>& shown) {
    if (known && series->count() == static_cast<qsizetype>(shown.size()) && points == shown) return;
    series->replace(ToQt(points));
    shown = std::move(points);
    replaced = true;
  };
  apply(w_.Series1, r.setpoint, shown_->setpoint);
  apply(w_.Series2, r.output, shown_->output);
  apply(w_.Series3, r.pv, shown_->pv);
  if (replaced) seriesAt_ = std::chrono::steady_clock::now();
}

void LiveChart::GraphTimeTimerTimer() { history_->Tick(); }

void LiveChart::CmdHoldClick() {
  const bool paused = !history_->ChartPaused();
  history_->SetChartPaused(paused);
  w_.CmdHold->setText(paused ? QStringLiteral("Restart") : QStringLiteral("Pause"));
  SetCaptionColour(w_.CmdHold, paused ? QColor(Qt::red) : QColor(Qt::black));
}

void LiveChart::CmdClearClick() {
  history_->Restart();
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
  history_->SetUpdatePeriod(period);
  w_.GraphTimeTimer->setInterval(period * 1000);
}

}  // namespace korvane
