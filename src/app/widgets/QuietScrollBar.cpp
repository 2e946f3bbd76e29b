#include "app/widgets/QuietScrollBar.h"

#include <QStyleOptionSlider>

#include "app/widgets/PanelPicture.h"

namespace korvane {

QuietScrollBar::QuietScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
  KeepGroovePicture(this);  // a repaint draws the handle over the kept groove
}

QuietScrollBar::Look QuietScrollBar::CurrentLook() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  Look look;
  look.handle = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
  look.atMinimum = option.sliderPosition == option.minimum;
  look.atMaximum = option.sliderPosition == option.maximum;
  look.empty = option.minimum == option.maximum;
  look.active = option.activeSubControls;
  return look;
}

void QuietScrollBar::sliderChange(SliderChange change) {
  // A style whose bars fade in on a change needs to hear of every one.
  const bool transient = style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this) != 0;
  if (!transient && painted_ && *painted_ == CurrentLook()) return;
  QScrollBar::sliderChange(change);
}

void QuietScrollBar::paintEvent(QPaintEvent* event) {
  painted_ = CurrentLook();
  QScrollBar::paintEvent(event);
}

}  // namespace korvane
