#include "app/main/StartupCurve.h"

#include <QLineSeries>
#include <QList>
#include <QPointF>
#include <QValueAxis>

#include <algorithm>

#include "app/main/MainFormLayout.h"
#include "poll/DemoCurve.h"

namespace korvane {

void DrawDemonstrationCurve(const MainFormWidgets& widgets) {
  QList<QPointF> setpoint;
  QList<QPointF> output;
  QList<QPointF> pv;
  int low = 0;
  int high = 0;
  for (const DemoPoint& p : DemonstrationCurve()) {
    setpoint.append(QPointF(p.X, p.Setpoint));
    output.append(QPointF(p.X, p.Output));
    pv.append(QPointF(p.X, p.PV));
    low = std::min({low, p.Setpoint, p.PV});
    high = std::max({high, p.Setpoint, p.PV});
  }
  // One replace per series: the chart redraws once, not per point.
  widgets.Series1->replace(setpoint);
  widgets.Series2->replace(output);
  widgets.Series3->replace(pv);
  if (high > low) widgets.LeftAxis->setRange(low, high);
}

}  // namespace korvane
