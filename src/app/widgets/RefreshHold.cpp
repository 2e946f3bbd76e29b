#include "app/widgets/RefreshHold.h"

#include <QTimer>
#include <QWidget>

namespace korvane {

RefreshHold::RefreshHold(QWidget* widget) : QObject(widget), widget_(widget), timer_(new QTimer(this)) {
  timer_->setObjectName("RefreshHoldTimer");
  timer_->setSingleShot(true);
  timer_->setInterval(kRefreshMs);
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &RefreshHold::Release);
}

RefreshHold::~RefreshHold() = default;

void RefreshHold::Change(const std::function<void()>& change) {
  if (widget_ == nullptr || widget_->testAttribute(Qt::WA_UpdatesDisabled)) {
    change();  // nothing is painted now anyway
    return;
  }
  if (!holding_) {
    holding_ = true;
    timer_->start();
  }
  // While the attribute is set, the widget's update() marks nothing to
  // repaint; unlike setUpdatesEnabled(false), it is set only for the change,
  // so every other paint still draws the widget.
  widget_->setAttribute(Qt::WA_UpdatesDisabled, true);
  change();
  widget_->setAttribute(Qt::WA_UpdatesDisabled, false);
}

void RefreshHold::Release() {
  timer_->stop();
  if (!holding_) return;
  holding_ = false;
  if (widget_ != nullptr) widget_->update();
}

}  // namespace korvane
