#pragma once
// A dock's refresh, told by the link monitor instead of looking at
// intervals: an idle link wakes nobody and a hidden dock costs nothing. A
// checked reply completes an exchange and refreshes the dock at once, in the
// same pass as the main window's paint for it, unless the last refresh is
// younger than the interval; any other change starts a single-shot timer,
// so changes within one interval share one refresh, at most that interval
// after the first of them. A dock being shown is brought up to date at once.

#include <QDockWidget>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

#include "link/LinkMonitor.h"

namespace korvane {

inline QTimer* RefreshWhileShown(QDockWidget* dock, LinkMonitor& monitor, const char* timerName,
                                 int intervalMs, const std::function<void()>& refresh) {
  auto* timer = new QTimer(dock);
  timer->setObjectName(timerName);
  timer->setInterval(intervalMs);
  timer->setSingleShot(true);
  timer->setTimerType(Qt::PreciseTimer);
  auto last = std::make_shared<QElapsedTimer>();  // since the last refresh
  auto run = [timer, refresh, last] {
    timer->stop();
    last->start();
    refresh();
  };
  QObject::connect(timer, &QTimer::timeout, dock, run);
  QObject::connect(dock, &QDockWidget::visibilityChanged, dock, [timer, run](bool shown) {
    if (!shown) return timer->stop();
    run();
  });
  monitor.AddChangeHook([dock = QPointer<QDockWidget>(dock), timer, run, last, intervalMs](bool settled) {
    if (dock == nullptr || !dock->isVisible()) return;
    if (settled && (!last->isValid() || last->elapsed() >= intervalMs)) return run();
    if (!timer->isActive()) timer->start();
  });
  return timer;
}

}  // namespace korvane
