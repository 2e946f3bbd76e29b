#include "app/trend/TrendForm.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QList>
#include <QMessageBox>
#include <QPointF>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/chart/ChartTools.h"
#include "app/widgets/SystemLocale.h"
#include "app/trend/TrendAxisSteps.h"
#include "base/Convert.h"
#include "files/TrendViewer.h"
#include "plot/AutoRange.h"
#include "plot/CursorReadout.h"

namespace korvane {
namespace {

using Points = std::vector<std::array<float, 2>>;

QList<QPointF> ToQt(const Points& points) {
  QList<QPointF> list;
  list.reserve(static_cast<qsizetype>(points.size()));
  for (const auto& p : points) list.append(QPointF(p[0], p[1]));
  return list;
}

std::vector<PlotPoint> ToPlot(const Points& points) {
  std::vector<PlotPoint> list;
  list.reserve(points.size());
  for (const auto& p : points) list.push_back(PlotPoint{p[0], p[1]});
  return list;
}

// Makes the setter calls on the axis whose range by the chart's rules is
// `range`, and shows the result on `axis`. The refusal, if any, is returned
// for the caller to report once its drawing has stopped.
std::optional<std::string> SetAxis(QValueAxis* axis, AxisSpan& range,
                                   std::span<const AxisStep> steps) {
  const AxisStepsOutcome out = ApplyAxisSteps(range, steps);
  range = out.Range;
  const AxisSpan shown = DisplaySpan(range);
  axis->setRange(shown.Min, shown.Max);
  return out.Refusal;
}

QString Text(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

TFrmTrend::TFrmTrend(QWidget* owner)
    : QWidget(owner, Qt::Window),
      viewer_(std::make_unique<TrendViewer>()),
      openDialog_([](QWidget* parent) { return QFileDialog::getOpenFileName(parent); }),
      messageBox_([](QWidget* parent, const QString& message) {
        QMessageBox::critical(parent, QCoreApplication::applicationName(), message);
      }) {
  setObjectName("FrmTrend");
  setWindowTitle("Trends");
  setAccessibleName("Trends");
  // The designed font; systems without it take their own sans-serif face.
  QFont font("MS Sans Serif", 8);
  font.setStyleHint(QFont::SansSerif);
  setFont(font);
  w_ = BuildTrendFormLayout(*this, anchors_);
  // Small enough to shrink, large enough that the buttons stay below the
  // "PID Factors" group and the chart keeps a readable plot.
  setMinimumSize(600, 360);
  resize(kTrendFormSize);

  connect(w_.CmdOpenFile, &QPushButton::clicked, this, &TFrmTrend::CmdOpenFileClick);
  connect(w_.CmdExit, &QPushButton::clicked, this, &TFrmTrend::CmdExitClick);
  connect(w_.ScrollBar1, &QScrollBar::valueChanged, this, &TFrmTrend::ScrollBar1Change);
  FormCreate();
  tools_ = std::make_unique<ChartTools>(w_.Chart1, w_.BottomAxis, w_.LeftAxis, w_.RightAxis,
                                        CursorSource{[this](float time) { return NearestRow(time); }});
}

std::optional<ChartPoint> TFrmTrend::NearestRow(float time) const {
  if (!viewer_->Loaded()) return std::nullopt;
  std::vector<ChartPoint> page;
  const std::int32_t end = std::min(viewer_->TrendCount(), viewer_->TrendStart() + TrendViewer::kPageRows);
  for (std::int32_t i = viewer_->TrendStart(); i < end; ++i) {
    const TrendRow& row = viewer_->Row(i);
    page.push_back(ChartPoint{row.Time, row.PV, row.Setpoint, row.Output});
  }
  return NearestSample(page, time);
}

TFrmTrend::~TFrmTrend() = default;

void TFrmTrend::ShowForward() {
  show();
  raise();
  activateWindow();
}

void TFrmTrend::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  anchors_.Apply(size());
}

void TFrmTrend::FormCreate() {
  w_.LblHeading->setText("Open File To Display Trend");
  const AxisStep steps[] = {{AxisStep::Bound::Max, 200}, {AxisStep::Bound::Min, 100}};
  SetAxis(w_.BottomAxis, bottom_, steps);
  w_.Chart->setTitle("PID");
  QList<QPointF> random, rising;
  for (int i = 0; i < 50; ++i) {
    const double x = 100 + 2 * i;
    random.append(QPointF(x, QRandomGenerator::global()->bounded(100)));
    rising.append(QPointF(x, i));
  }
  w_.Series1->replace(random);
  w_.Series2->replace(rising);
  w_.Series3->replace(rising);
  // TrendStart is 0 in a viewer that has read nothing.
}

void TFrmTrend::CmdOpenFileClick() {
  const QString path = openDialog_(this);
  if (path.isEmpty()) {
    DrawTrend();
    return;
  }
  const char separator = SystemDecimalSeparator();
  if (const auto failure = viewer_->OpenFile(QFile::encodeName(path).toStdString(), separator)) {
    ShowMessage(Text(*failure));
    return;
  }
  w_.LblHeading->setText(Text(viewer_->Heading()));
  w_.TxtK->setText(Text(viewer_->KpText()));
  w_.TxtKi->setText(Text(viewer_->KiText()));
  w_.TxtKd->setText(Text(viewer_->KdText()));
  // The scroll bar keeps its position; the viewer starts at the first row.
  DrawTrend();
}

void TFrmTrend::ScrollBar1Change(int position) {
  viewer_->ScrollBar1Change(position);
  DrawTrend();
}

void TFrmTrend::DrawTrend() {
  const ChartToolsRedraw zoomOff(*tools_);
  const bool automatic = w_.ChkAuto->isChecked();
  if (!automatic) {
    const AxisStep steps[] = {{AxisStep::Bound::Min, double(LenientInt(w_.TxtMin->text().toStdString()))},
                              {AxisStep::Bound::Max, double(LenientInt(w_.TxtMax->text().toStdString()))}};
    // A refused range stops the drawing before the series are touched.
    if (const auto refusal = SetAxis(w_.LeftAxis, left_, steps)) {
      ShowMessage(QString::fromStdString(*refusal));
      return;
    }
  }
  const TrendDrawing page = viewer_->DrawTrend();

  // An empty page has no span: the bottom axis keeps its present range.
  if (page.BottomMin && page.BottomMax) {
    const AxisStep steps[] = {{AxisStep::Bound::Max, 10000000.0},
                              {AxisStep::Bound::Min, *page.BottomMin},
                              {AxisStep::Bound::Max, *page.BottomMax}};
    if (const auto refusal = SetAxis(w_.BottomAxis, bottom_, steps)) {
      // The series were emptied before the bottom axis was set.
      for (QLineSeries* series : {w_.Series1, w_.Series2, w_.Series3}) series->clear();
      ShowMessage(QString::fromStdString(*refusal));
      return;
    }
  }
  w_.Chart->setTitle("PID");
  w_.Series1->replace(ToQt(page.Setpoint));
  w_.Series2->replace(ToQt(page.PV));
  w_.Series3->replace(ToQt(page.Output));

  if (automatic) {
    const std::vector<PlotPoint> setpoint = ToPlot(page.Setpoint);
    const std::vector<PlotPoint> pv = ToPlot(page.PV);
    const std::vector<PlotPoint>* leftSeries[] = {&setpoint, &pv};
    // Nothing drawn: the axis keeps its present range.
    if (const auto range = AutoAxisRange(leftSeries)) {
      left_ = {range->min, range->max};
      w_.LeftAxis->setRange(range->min, range->max);
    }
  }
}

void TFrmTrend::CmdExitClick() { close(); }

void TFrmTrend::ShowMessage(const QString& message) { messageBox_(this, message); }

}  // namespace korvane
