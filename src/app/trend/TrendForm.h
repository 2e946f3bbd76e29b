#pragma once
// The "Trends" window: shows a recorded data log file page by page, with
// its heading and PID factors, independent of the live chart and the link.
// Created once at program start and hidden, not destroyed, by "Exit".

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "app/trend/TrendAxisSteps.h"
#include "app/trend/TrendFormLayout.h"
#include "plot/ChartPoint.h"

namespace korvane {

class ChartTools;
class TrendViewer;

class TFrmTrend : public QWidget {
  Q_OBJECT
 public:
  // The open dialog gives the chosen path, or an empty text when cancelled.
  using OpenDialog = std::function<QString(QWidget* owner)>;
  using Message = std::function<void(QWidget* owner, const QString& message)>;

  explicit TFrmTrend(QWidget* owner = nullptr);
  ~TFrmTrend() override;

  // Replace the standard open dialog and message box (tests answer them
  // without a modal loop).
  void SetOpenDialog(OpenDialog dialog) { openDialog_ = std::move(dialog); }
  void SetMessageBox(Message box) { messageBox_ = std::move(box); }

  // Shows the window beside the main window, or brings it forward.
  void ShowForward();

  const TrendViewer& Viewer() const { return *viewer_; }
  const TrendFormWidgets& Widgets() const { return w_; }
  ChartTools& Tools() { return *tools_; }

 public slots:
  void CmdOpenFileClick();
  void ScrollBar1Change(int position);
  void DrawTrend();
  void CmdExitClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FormCreate();
  void ShowMessage(const QString& message);
  // The row of the page shown whose Time is nearest (what a cursor reads).
  std::optional<ChartPoint> NearestRow(float time) const;

  std::unique_ptr<TrendViewer> viewer_;
  TrendAnchors anchors_{kTrendFormSize};
  // The axes' ranges as the chart's rules see them (what is shown may be
  // wider, see DisplaySpan).
  AxisSpan left_{0, 100};
  AxisSpan bottom_{0, 0};
  TrendFormWidgets w_;
  OpenDialog openDialog_;
  Message messageBox_;
  std::unique_ptr<ChartTools> tools_;  // cursors over the page shown, zoom, picture
};

}  // namespace korvane
