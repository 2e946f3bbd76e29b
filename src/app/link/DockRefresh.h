#pragma once
// A dock's refresh: a single-shot timer that a change starts while the dock
// is shown. Changes within one interval share one refresh, which comes at
// most that interval after the first of them: a request and its reply show
// together, an idle link wakes nobody, a hidden dock costs nothing, and a
// dock being shown is brought up to date at once. The timer is precise, so
// a refresh is not moved onto the poll timer's wake-up, before the reply.

#include <QDockWidget>
#include <QPointer>
#include <QTimer>

#include <functional>

#include "link/LinkMonitor.h"

namespace korvane {

inline QTimer* RefreshWhileShown(QDockWidget* dock, LinkMonitor& monitor, const char* timerName,
                                 int intervalMs, const std::function<void()>& refresh) {
  auto* timer = new QTimer(dock);
  timer->setObjectName(timerName);
  timer->setInterval(intervalMs);
  timer->setSingleShot(true);
  timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer, &QTimer::timeout, dock, refresh);
  QObject::connect(dock, &QDockWidget::visibilityChanged, dock, [timer, refresh](bool shown) {
    if (!shown) return timer->stop();
    refresh();
  });
  monitor.AddChangeHook([dock = QPointer<QDockWidget>(dock), timer] {
    if (dock != nullptr && dock->isVisible() && !timer->isActive()) timer->start();
  });
  return timer;
}

}  // namespace korvane
