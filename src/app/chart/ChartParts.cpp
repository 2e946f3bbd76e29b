#include "app/chart/ChartParts.h"

#include <QChart>
#include <QColor>
#include <QFont>
#include <QLineSeries>
#include <QValueAxis>

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
