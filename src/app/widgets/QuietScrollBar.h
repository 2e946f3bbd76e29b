#pragma once
// A scroll bar that repaints on a change of its range, value or page step
// only when what it draws changes: the handle's place and size in pixels,
// and whether it sits at an end. A range that grows by a second or a line
// at a time mostly moves the handle by less than a pixel, and painting an
// identical bar is the costly part of such a change. Every other cause of a
// repaint (resize, hover, press, palette, enabled) is left to QScrollBar.

#include <QRect>
#include <QScrollBar>
#include <QStyle>

#include <optional>

namespace korvane {

class QuietScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  explicit QuietScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

  // What a paint now would show of the bar's values.
  struct Look {
    QRect handle;
    bool atMinimum = false;
    bool atMaximum = false;
    bool empty = false;  // minimum == maximum
    QStyle::SubControls active;
    friend bool operator==(const Look&, const Look&) = default;
  };
  Look CurrentLook() const;

 protected:
  void sliderChange(SliderChange change) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<Look> painted_;  // as last painted
};

}  // namespace korvane
