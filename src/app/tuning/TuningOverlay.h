#pragma once
// The tuning workbench's drawing on the live chart: a vertical line with a
// short label at each journalled write, and the model's predicted step
// response as a dashed series on the PV axis.

#include <QObject>
#include <QString>

#include <utility>
#include <vector>

class QChart;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QValueAxis;

namespace korvane {

class TuningOverlay : public QObject {
  Q_OBJECT
 public:
  TuningOverlay(QChart* chart, QValueAxis* bottom, QValueAxis* left, QObject* parent = nullptr);
  ~TuningOverlay() override;

  struct Marker {
    double Time;
    QString Label;
  };
  // Places the markers and the predicted curve (chart time, PV) for the
  // axes' present ranges; the chart draws a time at x = time - clock. Call
  // after every redraw of the chart.
  void Update(const std::vector<Marker>& markers, const std::vector<std::pair<double, double>>& predicted,
              double clock);

  QLineSeries* Predicted() const { return predicted_; }
  int MarkerCount() const { return static_cast<int>(lines_.size()); }

 private:
  QLineSeries* NewSeries(const QString& name, const QColor& colour, Qt::PenStyle style);

  QChart* chart_;
  QValueAxis* bottom_;
  QValueAxis* left_;
  QLineSeries* predicted_;
  std::vector<QLineSeries*> lines_;
  std::vector<QGraphicsSimpleTextItem*> labels_;
};

}  // namespace korvane
