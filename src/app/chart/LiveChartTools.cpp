// The chart tools wired to the live chart and its history.
#include <QChartView>

#include "app/chart/ChartTools.h"
#include "app/chart/LiveChart.h"
#include "plot/ChartHistory.h"
#include "plot/CursorReadout.h"

namespace korvane {

std::unique_ptr<ChartTools> AttachChartTools(LiveChart& chart, QChartView* view) {
  const LiveChartWidgets& w = chart.Widgets();
  CursorSource source;
  source.Nearest = [&chart](float time) { return NearestSample(chart.History().Points(), time); };
  source.Offset = [&chart] { return static_cast<double>(chart.PlottedClock()); };
  auto tools = std::make_unique<ChartTools>(view, w.BottomAxis, w.LeftAxis, w.RightAxis, std::move(source));
  ChartTools* t = tools.get();
  chart.AddRedrawHooks([t] { t->BeforeRedraw(); }, [t] { t->AfterRedraw(); });
  return tools;
}

}  // namespace korvane
