#pragma once
// Axes and line series made the same way for the live chart and the trend
// viewer: named, in the window's font with bold titles, no point marks.

#include <QString>
#include <Qt>

class QChart;
class QColor;
class QFont;
class QLineSeries;
class QValueAxis;

namespace korvane {

// A value axis added to `chart` on `side`; its range is the caller's.
QValueAxis* MakeAxis(QChart* chart, const char* name, const QString& title, Qt::Alignment side,
                     const QFont& font);
// A line series in `colour` on `chart`, attached to both axes.
QLineSeries* MakeSeries(QChart* chart, const char* name, const QString& title, const QColor& colour,
                        QValueAxis* bottom, QValueAxis* vertical);

}  // namespace korvane
