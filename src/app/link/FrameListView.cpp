#include "app/link/FrameListView.h"

#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdint>

#include "app/widgets/QuietScrollBar.h"

namespace korvane {

namespace {
constexpr int kMargin = 4;
}

FrameListView::FrameListView(int capacity, QWidget* parent)
    : QAbstractScrollArea(parent),
      glyphs_(QFontDatabase::systemFont(QFontDatabase::FixedFont)),
      capacity_(std::max(capacity, 1)) {
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  lineHeight_ = fontMetrics().lineSpacing();
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
  // The list's range grows with every new line while the handle mostly
  // stays put: the bars repaint only when they moved, and then, being
  // opaque, alone, not the dock beneath them as well.
  setVerticalScrollBar(new QuietScrollBar(Qt::Vertical, this));
  setHorizontalScrollBar(new QuietScrollBar(Qt::Horizontal, this));
  for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) bar->setAutoFillBackground(true);
  UpdateScrollBars(true);
}

void FrameListView::AppendLines(const QStringList& lines) {
  QScrollBar* bar = verticalScrollBar();
  const bool follow = bar->value() == bar->maximum();
  const std::int64_t top = dropped_ + bar->value();  // counted from the first line ever added
  const std::int64_t firstNew = dropped_ + LineCount();
  for (const QString& line : lines) {
    LineGlyphs::Line laid = glyphs_.Lay(line);
    widest_ = std::max(widest_, static_cast<int>(laid.width));
    lines_.push_back(std::move(laid));
    if (static_cast<int>(lines_.size()) > capacity_) {
      lines_.pop_front();
      ++dropped_;
    }
  }
  adjusting_ = true;
  UpdateScrollBars(follow);
  adjusting_ = false;
  // Move what is already drawn by the lines the view moved on, and paint
  // only the rows that show new lines: drawing text is the costly part.
  const std::int64_t shift = dropped_ + bar->value() - top;
  if (shift < 0 || shift >= VisibleLines()) {
    viewport()->update();
    return;
  }
  if (shift != 0) viewport()->scroll(0, static_cast<int>(-shift) * lineHeight_);
  const std::int64_t row = firstNew - (dropped_ + bar->value());
  const std::int64_t rows = static_cast<std::int64_t>(lines.size());
  if (row <= VisibleLines() && row + rows > 0) {
    viewport()->update(0, static_cast<int>(row) * lineHeight_, viewport()->width(),
                       static_cast<int>(rows) * lineHeight_);
  }
}

void FrameListView::Clear() {
  lines_.clear();
  dropped_ = 0;
  widest_ = 0;
  adjusting_ = true;
  UpdateScrollBars(true);
  adjusting_ = false;
  viewport()->update();
}

int FrameListView::VisibleLines() const { return std::max(1, viewport()->height() / lineHeight_); }

void FrameListView::UpdateScrollBars(bool follow) {
  // A new range makes the scroll area lay its children out again, which
  // repaints both bars, and matters only when a bar comes or goes. So the
  // range's signal is held back while the range stays on the same side of 0
  // and the value stays inside it (the value's own signal, which the scroll
  // area keeps its offset by, always goes out).
  auto set = [](QScrollBar* bar, int maximum, int page, int single, bool toEnd) {
    const bool quiet = (bar->maximum() > 0) == (maximum > 0) && bar->value() <= maximum;
    {
      const QSignalBlocker hold(quiet ? bar : nullptr);
      bar->setRange(0, maximum);
    }
    bar->setPageStep(page);
    if (single > 0) bar->setSingleStep(single);
    if (toEnd) bar->setValue(bar->maximum());
  };
  set(verticalScrollBar(), std::max(0, LineCount() - VisibleLines()), VisibleLines(), 0, follow);
  set(horizontalScrollBar(), std::max(0, widest_ + 2 * kMargin - viewport()->width()), viewport()->width(),
      fontMetrics().averageCharWidth() * 4, false);
}

void FrameListView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::Text));
  // Only the lines that cross the area to repaint.
  const QRect area = event->rect();
  const int value = verticalScrollBar()->value();
  const int first = value + std::max(0, area.top() / lineHeight_);
  const int last = std::min(LineCount(), value + area.bottom() / lineHeight_ + 1);
  const int x = kMargin - horizontalScrollBar()->value();
  const QColor background = viewport()->palette().color(viewport()->backgroundRole());
  for (int i = first; i < last; ++i) {
    glyphs_.Draw(painter, QPointF(x, (i - value) * lineHeight_), lines_[static_cast<std::size_t>(i)], background,
                 lineHeight_);
  }
}

void FrameListView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  QScrollBar* bar = verticalScrollBar();
  UpdateScrollBars(bar->value() == bar->maximum());
}

void FrameListView::scrollContentsBy(int dx, int dy) {
  if (adjusting_) return;  // AppendLines and Clear repaint what they changed
  viewport()->scroll(dx, dy * lineHeight_);
}

}  // namespace korvane
