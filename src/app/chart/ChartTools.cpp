#include "app/chart/ChartTools.h"

#include <QAbstractSeries>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGraphicsLineItem>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPen>
#include <QRubberBand>
#include <QValueAxis>

#include <cmath>
#include <cstddef>

#include "app/chart/ChartPicture.h"

namespace korvane {
namespace {

constexpr double kGrab = 4.0;      // pixels either side of a cursor line that grab it
constexpr double kMinZoom = 5.0;   // smallest rubber band, pixels, that zooms
const QColor kCursorColours[2] = {QColor(160, 0, 160), QColor(0, 130, 130)};

double Lerp(double min, double max, double f) { return min + f * (max - min); }

// Cursor 1 or 2 from the public index 0 or 1.
std::size_t Slot(int index) { return index == 1 ? 1u : 0u; }

}  // namespace

ChartTools::ChartTools(QChartView* view, QValueAxis* bottom, QValueAxis* left, QValueAxis* right,
                       CursorSource source, QObject* parent)
    : QObject(parent), view_(view), bottom_(bottom), left_(left), right_(right),
      source_(std::move(source)) {
  setObjectName("ChartTools");
  for (std::size_t i = 0; i < 2; ++i) {
    lines_[i] = new QGraphicsLineItem;
    QPen pen(kCursorColours[i], 1, Qt::DashLine);
    pen.setCosmetic(true);
    lines_[i]->setPen(pen);
    lines_[i]->setZValue(100);
    lines_[i]->setVisible(false);
    view_->chart()->scene()->addItem(lines_[i]);
  }

  label_ = new QLabel(view_);
  label_->setObjectName("CursorReadout");
  label_->setAccessibleName("Cursor read-out");
  label_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  label_->setStyleSheet("background: rgba(255, 255, 255, 215); border: 1px solid gray; padding: 2px;");
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  label_->hide();

  band_ = new QRubberBand(QRubberBand::Rectangle, view_->viewport());
  band_->setObjectName("ZoomRubberBand");
  band_->setAccessibleName("Zoom rectangle");

  menu_ = new QMenu(view_);
  menu_->setObjectName("ChartToolsMenu");
  menu_->setAccessibleName("Chart tools");
  showCursors_ = menu_->addAction("Show &Cursors");
  showCursors_->setObjectName("ShowCursors");
  showCursors_->setCheckable(true);
  resetZoom_ = menu_->addAction("&Reset Zoom");
  resetZoom_->setObjectName("ResetZoom");
  resetZoom_->setEnabled(false);
  savePicture_ = menu_->addAction("&Save Chart Picture...");
  savePicture_->setObjectName("SaveChartPicture");
  connect(showCursors_, &QAction::toggled, this, &ChartTools::SetCursorsShown);
  connect(resetZoom_, &QAction::triggered, this, &ChartTools::ResetZoom);
  connect(savePicture_, &QAction::triggered, this, &ChartTools::SavePictureDialog);

  connect(view_->chart(), &QChart::plotAreaChanged, this, &ChartTools::RefreshCursors);
  view_->viewport()->installEventFilter(this);
}

ChartTools::~ChartTools() {
  for (QGraphicsLineItem* line : lines_) {
    if (view_->chart()->scene() != nullptr) view_->chart()->scene()->removeItem(line);
    delete line;
  }
}

// ---- Zoom -------------------------------------------------------------------

void ChartTools::SetAxes(const Range& bottom, const Range& left, const Range& right) {
  applying_ = true;
  bottom_->setRange(bottom.min, bottom.max);
  left_->setRange(left.min, left.max);
  if (right_ != nullptr) right_->setRange(right.min, right.max);
  applying_ = false;
}

void ChartTools::BeforeRedraw() {
  if (zoomed_) SetAxes(baseBottom_, baseLeft_, baseRight_);
}

void ChartTools::AfterRedraw() {
  if (zoomed_) {
    // Whatever the redraw set is the owner's range now.
    baseBottom_ = {bottom_->min(), bottom_->max()};
    baseLeft_ = {left_->min(), left_->max()};
    if (right_ != nullptr) baseRight_ = {right_->min(), right_->max()};
    ApplyZoom();
  }
  RefreshCursors();
}

void ChartTools::ApplyZoom() {
  const QRectF& f = fraction_;
  auto part = [](const Range& r, double a, double b) { return Range{Lerp(r.min, r.max, a), Lerp(r.min, r.max, b)}; };
  SetAxes(part(baseBottom_, f.left(), f.right()), part(baseLeft_, f.top(), f.bottom()),
          part(baseRight_, f.top(), f.bottom()));
}

void ChartTools::ZoomTo(const QRectF& viewRect) {
  const QRectF plot = view_->chart()->plotArea();
  const QRectF r = view_->mapToScene(viewRect.toAlignedRect()).boundingRect().intersected(plot);
  if (r.width() < 1.0 || r.height() < 1.0) return;
  if (!zoomed_) {
    baseBottom_ = {bottom_->min(), bottom_->max()};
    baseLeft_ = {left_->min(), left_->max()};
    if (right_ != nullptr) baseRight_ = {right_->min(), right_->max()};
    fraction_ = QRectF(0.0, 0.0, 1.0, 1.0);
  }
  // Fractions of the shown range (y counted upwards), composed with the zoom so far.
  const double x0 = (r.left() - plot.left()) / plot.width();
  const double x1 = (r.right() - plot.left()) / plot.width();
  const double y0 = (plot.bottom() - r.bottom()) / plot.height();
  const double y1 = (plot.bottom() - r.top()) / plot.height();
  const QRectF f = fraction_;
  fraction_ = QRectF(QPointF(Lerp(f.left(), f.right(), x0), Lerp(f.top(), f.bottom(), y0)),
                     QPointF(Lerp(f.left(), f.right(), x1), Lerp(f.top(), f.bottom(), y1)));
  zoomed_ = true;
  resetZoom_->setEnabled(true);
  ApplyZoom();
  RefreshCursors();
}

void ChartTools::ResetZoom() {
  if (!zoomed_) return;
  SetAxes(baseBottom_, baseLeft_, baseRight_);
  zoomed_ = false;
  resetZoom_->setEnabled(false);
  RefreshCursors();
}

// ---- Cursors ----------------------------------------------------------------

double ChartTools::ValueAt(double viewX) const {
  const QRectF plot = view_->chart()->plotArea();
  const double sceneX = view_->mapToScene(QPoint(static_cast<int>(std::lround(viewX)), 0)).x();
  return Lerp(bottom_->min(), bottom_->max(), (sceneX - plot.left()) / plot.width());
}

double ChartTools::ViewXOf(double x) const {
  const QRectF plot = view_->chart()->plotArea();
  const double span = bottom_->max() - bottom_->min();
  const double sceneX = plot.left() + (x - bottom_->min()) / span * plot.width();
  return view_->mapFromScene(QPointF(sceneX, 0.0)).x();
}

std::optional<double> ChartTools::CursorX(int index) const {
  const std::optional<float>& time = times_[Slot(index)];
  if (!time) return std::nullopt;
  return static_cast<double>(*time) - source_.Offset();
}

void ChartTools::SetCursorsShown(bool shown) {
  shown_ = shown;
  if (showCursors_->isChecked() != shown) showCursors_->setChecked(shown);
  if (shown) {
    // Placed at a third and two thirds of what is shown, unless placed before.
    for (std::size_t i = 0; i < 2; ++i) {
      if (!times_[i]) PlaceCursor(static_cast<int>(i), Lerp(bottom_->min(), bottom_->max(), double(i + 1) / 3.0));
    }
  }
  RefreshCursors();
}

void ChartTools::PlaceCursor(int index, double x) {
  const double offset = source_.Offset();
  const std::optional<ChartPoint> sample = source_.Nearest(static_cast<float>(x + offset));
  // Without samples the cursor stays where it was put.
  times_[Slot(index)] = sample ? sample->Time : static_cast<float>(x + offset);
  RefreshCursors();
}

void ChartTools::RefreshCursors() {
  const QRectF plot = view_->chart()->plotArea();
  std::array<std::optional<ChartPoint>, 2> read{};
  for (std::size_t i = 0; i < 2; ++i) {
    if (shown_ && times_[i]) read[i] = source_.Nearest(*times_[i]);
    const std::optional<double> x = CursorX(static_cast<int>(i));
    const double span = bottom_->max() - bottom_->min();
    const double sceneX = x ? plot.left() + (*x - bottom_->min()) / span * plot.width() : 0.0;
    const bool inside = shown_ && x && span > 0.0 && sceneX >= plot.left() && sceneX <= plot.right();
    if (inside) lines_[i]->setLine(sceneX, plot.top(), sceneX, plot.bottom());
    lines_[i]->setVisible(inside);
  }
  readout_ = CursorReadout{read[0], read[1]};
  label_->setVisible(shown_);
  if (!shown_) return;
  label_->setText(QString::fromUtf8(readout_.Text(QLocale().decimalPoint().at(0).toLatin1())));
  label_->adjustSize();
  const QPoint at = view_->mapFromScene(plot.topLeft());
  label_->move(at.x() + 4, at.y() + 4);
}

int ChartTools::CursorNear(double viewX) const {
  int best = -1;
  double bestDistance = kGrab + 1.0;
  for (std::size_t i = 0; i < 2; ++i) {
    if (!lines_[i]->isVisible()) continue;
    const double distance = std::fabs(view_->mapFromScene(lines_[i]->line().p1()).x() - viewX);
    if (distance <= kGrab && distance < bestDistance) best = static_cast<int>(i), bestDistance = distance;
  }
  return best;
}

// ---- Mouse and menu -----------------------------------------------------------

bool ChartTools::eventFilter(QObject* watched, QEvent* event) {
  if (watched != view_->viewport()) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() != Qt::LeftButton) return false;
      pressAt_ = e->position();
      dragging_ = shown_ ? CursorNear(pressAt_.x()) : -1;
      banding_ = dragging_ < 0;
      if (banding_) band_->setGeometry(QRect(pressAt_.toPoint(), QSize()));
      return true;
    }
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (dragging_ >= 0) {
        PlaceCursor(dragging_, ValueAt(e->position().x()));
      } else if (banding_) {
        band_->setGeometry(QRectF(pressAt_, e->position()).normalized().toRect());
        band_->setVisible(band_->width() >= kMinZoom || band_->height() >= kMinZoom);
      }
      return dragging_ >= 0 || banding_;
    }
    case QEvent::MouseButtonRelease: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() != Qt::LeftButton) return false;
      const QRectF rect = QRectF(pressAt_, e->position()).normalized();
      if (banding_ && rect.width() >= kMinZoom && rect.height() >= kMinZoom) {
        ZoomTo(rect);
      } else if (banding_ && shown_) {
        // A click: the nearer cursor moves there.
        const double x = ValueAt(e->position().x());
        const std::optional<double> a = CursorX(0), b = CursorX(1);
        const int index = (a && b && std::fabs(*b - x) < std::fabs(*a - x)) ? 1 : 0;
        PlaceCursor(index, x);
      }
      band_->hide();
      banding_ = false;
      dragging_ = -1;
      return true;
    }
    case QEvent::MouseButtonDblClick:
      ResetZoom();
      return true;
    case QEvent::ContextMenu:
      menu_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
      return true;
    default:
      return false;
  }
}

void ChartTools::SavePictureDialog() {
  const QString path = QFileDialog::getSaveFileName(view_->window(), "Save Chart Picture", QString(),
                                                    "PNG picture (*.png)");
  if (path.isEmpty()) return;
  if (const auto failure = SaveChartPicture(view_, path)) {
    QMessageBox::critical(view_->window(), "Save Chart Picture", *failure);
  }
}

}  // namespace korvane
