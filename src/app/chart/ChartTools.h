#pragma once
// Measuring tools on a chart view: two vertical cursors that read the stored
// sample at their time (time, PV, setpoint, output and the differences), a
// rubber-band zoom with its reset, and saving the chart as a picture.
//
// The owner's drawing rules stay as they are: the zoom is a view on top of
// the ranges the owner sets. Around each of the owner's redraws the axes go
// back to their own ranges (BeforeRedraw) and the zoom and cursors are put
// on again afterwards (AfterRedraw).
//
// Mouse: a drag in the plot area zooms into the dragged rectangle, a
// double-click resets the zoom; with the cursors shown, a click moves the
// nearer cursor there and a cursor is dragged by its line. The right button
// opens a menu with "Show Cursors", "Reset Zoom" and "Save Chart Picture...".

#include <QObject>
#include <QPointF>
#include <QRectF>

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "plot/ChartPoint.h"
#include "plot/CursorReadout.h"

class QAction;
class QChartView;
class QGraphicsLineItem;
class QLabel;
class QMenu;
class QRubberBand;
class QValueAxis;

namespace korvane {

// Where the cursors' samples come from.
struct CursorSource {
  // The stored sample nearest to a sample time (CursorReadout's NearestSample).
  std::function<std::optional<ChartPoint>(float time)> Nearest;
  // A sample of time t is drawn at x = t - Offset() on the bottom axis.
  std::function<double()> Offset = [] { return 0.0; };
};

class ChartTools : public QObject {
  Q_OBJECT
 public:
  // `bottom` and `left` carry the reference series' axes; `right` (may be
  // null) is zoomed in the same proportion as `left`.
  ChartTools(QChartView* view, QValueAxis* bottom, QValueAxis* left, QValueAxis* right,
             CursorSource source, QObject* parent = nullptr);
  ~ChartTools() override;

  void BeforeRedraw();
  void AfterRedraw();

  // Cursors. Index 0 or 1; `x` on the bottom axis. A cursor snaps to the
  // time of the sample it reads.
  void SetCursorsShown(bool shown);
  bool CursorsShown() const { return shown_; }
  void PlaceCursor(int index, double x);
  const CursorReadout& Readout() const { return readout_; }
  QLabel* ReadoutLabel() const { return label_; }
  // The cursor's x on the bottom axis, when it has a sample.
  std::optional<double> CursorX(int index) const;

  // Zoom into a rectangle of the view (pixels; clipped to the plot area).
  void ZoomTo(const QRectF& viewRect);
  void ResetZoom();
  bool Zoomed() const { return zoomed_; }

  QMenu* Menu() const { return menu_; }
  QAction* ShowCursorsAction() const { return showCursors_; }
  QAction* ResetZoomAction() const { return resetZoom_; }
  QAction* SavePictureAction() const { return savePicture_; }

  // Asks for a file name and saves the chart there as a PNG picture.
  void SavePictureDialog();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Range {
    double min = 0.0;
    double max = 0.0;
  };
  void RefreshCursors();
  void ApplyZoom();
  void SetAxes(const Range& bottom, const Range& left, const Range& right);
  double ValueAt(double viewX) const;
  double ViewXOf(double x) const;
  int CursorNear(double viewX) const;

  QChartView* view_;
  QValueAxis* bottom_;
  QValueAxis* left_;
  QValueAxis* right_;
  CursorSource source_;

  bool shown_ = false;
  std::array<std::optional<float>, 2> times_{};  // the sample time each cursor reads
  std::array<QGraphicsLineItem*, 2> lines_{};
  CursorReadout readout_;
  QLabel* label_ = nullptr;

  bool zoomed_ = false;
  bool applying_ = false;
  QRectF fraction_;  // of the owner's ranges: x0..x1 bottom, y0..y1 left/right
  Range baseBottom_, baseLeft_, baseRight_;

  QRubberBand* band_ = nullptr;
  QPointF pressAt_;
  int dragging_ = -1;  // cursor being dragged, -1 none
  bool banding_ = false;

  QMenu* menu_ = nullptr;
  QAction* showCursors_ = nullptr;
  QAction* resetZoom_ = nullptr;
  QAction* savePicture_ = nullptr;
};

// Takes a tool's view off for the length of an owner's redraw.
class ChartToolsRedraw {
 public:
  explicit ChartToolsRedraw(ChartTools& tools) : tools_(tools) { tools_.BeforeRedraw(); }
  ~ChartToolsRedraw() { tools_.AfterRedraw(); }
  ChartToolsRedraw(const ChartToolsRedraw&) = delete;
  ChartToolsRedraw& operator=(const ChartToolsRedraw&) = delete;

 private:
  ChartTools& tools_;
};

class LiveChart;
// The tools on the live chart's view: cursors read the chart history at
// sample times (x = Time - the clock of the last redraw), and every redraw
// of `chart` takes the zoom off and puts it back.
std::unique_ptr<ChartTools> AttachChartTools(LiveChart& chart, QChartView* view);

}  // namespace korvane
