#pragma once
// The About box: a small window of three text lines without buttons,
// closed with its window's close button.

#include <QWidget>

namespace korvane {

class TAboutFrm : public QWidget {
  Q_OBJECT
 public:
  explicit TAboutFrm(QWidget* owner = nullptr);
  // Shows the box beside the main window, or brings it forward.
  void ShowForward();
};

}  // namespace korvane
