#pragma once
// Paints a widget at most once per screen refresh while it changes. The
// first change starts a refresh (kRefreshMs); the repaints that changes ask
// for within it are dropped, and the widget is painted once when it ends, as
// it is then: the last change is always the one on screen and no paint shows
// an older state than the one before. The widget itself (its text, what the
// accessibility layer hears) changes at once, and a paint for any other
// reason (the window exposed, resized or grabbed) shows it as it is. A change
// after a quiet refresh is painted one refresh later, so a slow reply still
// shows what came before it.

#include <QObject>
#include <QPointer>

#include <functional>

class QTimer;
class QWidget;

namespace korvane {

class RefreshHold : public QObject {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 16;

  explicit RefreshHold(QWidget* widget);  // owned by the widget
  ~RefreshHold() override;

  // Makes `change` to the widget; its repaint waits for the refresh's end.
  void Change(const std::function<void()>& change);
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
