#pragma once
// The widgets of the "Trends" window at their designed places, and the
// anchoring that moves and stretches them when the window is resized.

#include <QRect>
#include <QSize>
#include <QVector>

class QChart;
class QChartView;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QScrollBar;
class QValueAxis;
class QWidget;

namespace korvane {

// The window's designed client size.
inline constexpr QSize kTrendFormSize{844, 493};

struct TrendFormWidgets {
  QLabel* LblHeading = nullptr;
  QChartView* Chart1 = nullptr;
  QChart* Chart = nullptr;         // the chart shown by Chart1
  QLineSeries* Series1 = nullptr;  // "Setpoint", red, left axis
  QLineSeries* Series2 = nullptr;  // "PV", green, left axis
  QLineSeries* Series3 = nullptr;  // "Output", blue, right axis
  QValueAxis* BottomAxis = nullptr;
  QValueAxis* LeftAxis = nullptr;
  QValueAxis* RightAxis = nullptr;
  QScrollBar* ScrollBar1 = nullptr;
  QGroupBox* GrpPlot = nullptr;
  QCheckBox* ChkAuto = nullptr;
  QLineEdit* TxtMin = nullptr;
  QLineEdit* TxtMax = nullptr;
  QGroupBox* GrpPID = nullptr;
  QLineEdit* TxtK = nullptr;
  QLineEdit* TxtKi = nullptr;
  QLineEdit* TxtKd = nullptr;
  QPushButton* CmdOpenFile = nullptr;
  QPushButton* CmdExit = nullptr;
};

// The sides of the window a control keeps its designed distance to. A
// control anchored to both sides of a direction stretches with the window.
enum TrendAnchor : unsigned {
  kAnchorLeft = 1,
  kAnchorTop = 2,
  kAnchorRight = 4,
  kAnchorBottom = 8,
};

class TrendAnchors {
 public:
  explicit TrendAnchors(QSize designed) : designed_(designed) {}
  // Places `widget` at `rect` and remembers how it follows the window.
  void Add(QWidget* widget, QRect rect, unsigned anchors);
  // Moves every control for a window of `size`.
  void Apply(QSize size) const;

 private:
  struct Entry {
    QWidget* Widget;
    QRect Designed;
    unsigned Anchors;
  };
  QSize designed_;
  QVector<Entry> entries_;
};

// Creates every control of the window as a child of `form` at its designed
// place, registering each with `anchors`.
TrendFormWidgets BuildTrendFormLayout(QWidget& form, TrendAnchors& anchors);

}  // namespace korvane
