#include "app/FrameListView.h"

#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace korvane {

namespace {
constexpr int kMargin = 4;
}

FrameListView::FrameListView(int capacity, QWidget* parent)
    : QAbstractScrollArea(parent), capacity_(std::max(capacity, 1)) {
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  lineHeight_ = fontMetrics().lineSpacing();
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
  UpdateScrollBars(true);
}

void FrameListView::AppendLines(const QStringList& lines) {
  QScrollBar* bar = verticalScrollBar();
  const bool follow = bar->value() == bar->maximum();
  for (const QString& line : lines) {
    QStaticText text(line);
    text.setTextFormat(Qt::PlainText);
    text.prepare(QTransform(), font());
    widest_ = std::max(widest_, static_cast<int>(text.size().width()));
    lines_.push_back(std::move(text));
    if (static_cast<int>(lines_.size()) > capacity_) lines_.pop_front();
  }
  UpdateScrollBars(follow);
  viewport()->update();
}

void FrameListView::Clear() {
  lines_.clear();
  widest_ = 0;
  UpdateScrollBars(true);
  viewport()->update();
}

int FrameListView::VisibleLines() const { return std::max(1, viewport()->height() / lineHeight_); }

void FrameListView::UpdateScrollBars(bool follow) {
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, LineCount() - VisibleLines()));
  v->setPageStep(VisibleLines());
  if (follow) v->setValue(v->maximum());
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, widest_ + 2 * kMargin - viewport()->width()));
  h->setPageStep(viewport()->width());
  h->setSingleStep(fontMetrics().averageCharWidth() * 4);
}

void FrameListView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::Text));
  const int first = verticalScrollBar()->value();
  const int last = std::min(LineCount(), first + VisibleLines() + 1);
  const int x = kMargin - horizontalScrollBar()->value();
  for (int i = first, y = 0; i < last; ++i, y += lineHeight_) {
    painter.drawStaticText(x, y, lines_[static_cast<std::size_t>(i)]);
  }
}

void FrameListView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  QScrollBar* bar = verticalScrollBar();
  UpdateScrollBars(bar->value() == bar->maximum());
}

void FrameListView::scrollContentsBy(int, int) { viewport()->update(); }

}  // namespace korvane
