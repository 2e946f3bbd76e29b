#pragma once
// Paints a widget at most once per screen refresh while it changes. The
// first change holds the widget's repaint for one refresh (kRefreshMs);
// further changes within it are painted together when it ends, with the
// widget as it is then, so the last change is always the one on screen and
// no paint shows an older state than the one before. The widget itself (its
// text, what the accessibility layer hears) changes at once: only its pixels
// wait. A change after a quiet refresh is painted one refresh later, so a
// slow reply still shows what came before it.

#include <QObject>
#include <QPointer>

class QTimer;
class QWidget;

namespace korvane {

class RefreshHold : public QObject {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 16;

  explicit RefreshHold(QWidget* widget);
  ~RefreshHold() override;

  // Call before each change of the widget.
  void Changing();
  // Ends the refresh now: the widget is painted once, as it is (the timer
  // calls it at the end of the refresh).
  void Release();
  bool Holding() const { return holding_; }

 private:
  QPointer<QWidget> widget_;
  QTimer* timer_;
  bool holding_ = false;
};

}  // namespace korvane
