#pragma once
// A dock's refresh timer that runs only while the dock is shown: a hidden
// dock costs nothing, and a dock being shown is brought up to date at once.
// The timer is precise: a coarse one wakes with the poll timer, every
// second, and catches each request without its reply, which then comes
// with the next refresh, so every poll cost the dock two repaints.

#include <QDockWidget>
#include <QTimer>

#include <functional>

namespace korvane {

inline QTimer* RefreshWhileShown(QDockWidget* dock, const char* timerName, int intervalMs,
                                 const std::function<void()>& refresh) {
  auto* timer = new QTimer(dock);
  timer->setObjectName(timerName);
  timer->setInterval(intervalMs);
  timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer, &QTimer::timeout, dock, refresh);
  QObject::connect(dock, &QDockWidget::visibilityChanged, dock, [timer, refresh](bool shown) {
    if (!shown) return timer->stop();
    refresh();
    timer->start();
  });
  return timer;
}

}  // namespace korvane
