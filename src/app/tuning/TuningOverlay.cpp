#include "app/tuning/TuningOverlay.h"

#include <QChart>
#include <QGraphicsSimpleTextItem>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QValueAxis>

namespace korvane {

TuningOverlay::TuningOverlay(QChart* chart, QValueAxis* bottom, QValueAxis* left, QObject* parent)
    : QObject(parent), chart_(chart), bottom_(bottom), left_(left) {
  predicted_ = NewSeries("Predicted PV", QColor(255, 140, 0), Qt::DashLine);
  QPen pen = predicted_->pen();
  pen.setWidth(2);
  predicted_->setPen(pen);
}

TuningOverlay::~TuningOverlay() {
  for (QGraphicsSimpleTextItem* label : labels_) delete label;
}

QLineSeries* TuningOverlay::NewSeries(const QString& name, const QColor& colour, Qt::PenStyle style) {
  auto* series = new QLineSeries(chart_);
  series->setName(name);
  series->setObjectName(name);
  QPen pen(colour);
  pen.setStyle(style);
  pen.setWidth(1);
  series->setPen(pen);
  chart_->addSeries(series);
  series->attachAxis(bottom_);
  series->attachAxis(left_);
  // The chart's legend names the three controller values only.
  for (QLegendMarker* marker : chart_->legend()->markers(series)) marker->setVisible(false);
  return series;
}

void TuningOverlay::Update(const std::vector<Marker>& markers,
                           const std::vector<std::pair<double, double>>& predicted, double clock) {
  while (lines_.size() < markers.size()) {
    lines_.push_back(NewSeries("Write marker", QColor(128, 0, 128), Qt::DotLine));
    labels_.push_back(new QGraphicsSimpleTextItem(chart_));
  }
  const double low = left_->min(), high = left_->max();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const double x = i < markers.size() ? markers[i].Time - clock : 0.0;
    const bool shown = i < markers.size() && x >= bottom_->min() && x <= bottom_->max();
    if (!shown) {
      if (lines_[i]->count() > 0) lines_[i]->clear();
      labels_[i]->setVisible(false);
      continue;
    }
    lines_[i]->replace(QList<QPointF>{{x, low}, {x, high}});
    labels_[i]->setText(markers[i].Label);
    // Writes a tick apart stand side by side: their labels go one under another.
    const double row = 14.0 * static_cast<double>(i % 4);
    labels_[i]->setPos(chart_->mapToPosition(QPointF(x, high), lines_[i]) + QPointF(2, row));
    labels_[i]->setVisible(true);
  }
  QList<QPointF> curve;
  curve.reserve(static_cast<qsizetype>(predicted.size()));
  for (const auto& [t, pv] : predicted) {
    if (t - clock <= bottom_->max()) curve.append(QPointF(t - clock, pv));
  }
  // Nothing to predict is the common case: no chart update for it.
  if (!curve.isEmpty() || predicted_->count() > 0) predicted_->replace(curve);
}

}  // namespace korvane
