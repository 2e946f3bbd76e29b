#include "app/chart/ChartParts.h"

#include <QChart>
#include <QColor>
#include <QFont>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <utility>

namespace korvane {

QValueAxis* MakeAxis(QChart* chart, const char* name, const QString& title, Qt::Alignment side,
                     const QFont& font) {
  auto* axis = new QValueAxis;
  axis->setObjectName(name);
  axis->setTitleText(title);
  // The window's small font, so the labels keep their room when the window
  // is at its narrowest.
  axis->setLabelsFont(font);
  QFont titleFont = font;
  titleFont.setBold(true);
  axis->setTitleFont(titleFont);
  chart->addAxis(axis, side);
  // One-pixel grid and axis lines as cosmetic pens (width 0): the same
  // pixels, but a line item with a pen of width 1 works out its bounding
  // rectangle by stroking its outline, which every repaint of the plot asks
  // for, for each grid line and tick.
  for (auto [get, set] : {std::pair{&QValueAxis::gridLinePen, &QValueAxis::setGridLinePen},
                          std::pair{&QValueAxis::linePen, &QValueAxis::setLinePen},
                          std::pair{&QValueAxis::minorGridLinePen, &QValueAxis::setMinorGridLinePen}}) {
    QPen pen = (axis->*get)();
    if (pen.widthF() == 1.0) {
      pen.setWidthF(0.0);
      (axis->*set)(pen);
    }
  }
  return axis;
}

QLineSeries* MakeSeries(QChart* chart, const char* name, const QString& title, const QColor& colour,
                        QValueAxis* bottom, QValueAxis* vertical) {
  auto* series = new QLineSeries;
  series->setObjectName(name);
  series->setName(title);
  series->setColor(colour);
  series->setPointsVisible(false);
  chart->addSeries(series);
  series->attachAxis(bottom);
  series->attachAxis(vertical);
  return series;
}

}  // namespace korvane
