#include "app/widgets/QtMainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>

namespace korvane {

void QtMainThread::RunAndWait(const std::function<void()>& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() == app->thread()) {
    fn();
    return;
  }
  std::exception_ptr error;
  const bool queued = QMetaObject::invokeMethod(
      app,
      [&fn, &error] {
        try {
          fn();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (!queued) throw std::runtime_error("The main thread did not take the call.");
  if (error) std::rethrow_exception(error);
}

void QtMainThread::ProcessPendingEvents() { QCoreApplication::processEvents(); }

void QtMainThread::Sleep(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace korvane
