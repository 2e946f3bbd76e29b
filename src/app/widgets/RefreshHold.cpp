#include "app/widgets/RefreshHold.h"

#include <QTimer>
#include <QWidget>

namespace korvane {

RefreshHold::RefreshHold(QWidget* widget) : QObject(widget), widget_(widget), timer_(new QTimer(this)) {
  timer_->setObjectName("RefreshHoldTimer");
  timer_->setSingleShot(true);
  timer_->setInterval(kRefreshMs);
  connect(timer_, &QTimer::timeout, this, &RefreshHold::Release);
}

RefreshHold::~RefreshHold() = default;

void RefreshHold::Changing() {
  if (holding_ || widget_ == nullptr) return;
  // With its updates off, a change marks nothing to repaint; switching them
  // back on repaints the whole widget once.
  holding_ = true;
  widget_->setUpdatesEnabled(false);
  timer_->start();
}

void RefreshHold::Release() {
  timer_->stop();
  if (!holding_) return;
  holding_ = false;
  if (widget_ != nullptr) widget_->setUpdatesEnabled(true);
}

}  // namespace korvane
