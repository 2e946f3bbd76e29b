#include "serial/QueueDispatcher.h"

#include <utility>

namespace korvane {

QueueDispatcher::QueueDispatcher() : mainThread_(std::this_thread::get_id()) {}

void QueueDispatcher::RunAndWait(const std::function<void()>& fn) {
  if (std::this_thread::get_id() == mainThread_) {
    fn();
    return;
  }
  auto call = std::make_shared<Call>();
  call->fn = &fn;
  std::unique_lock lock(mutex_);
  calls_.push_back(call);
  queued_.notify_all();
  finished_.wait(lock, [&] { return call->done; });
  if (call->error) std::rethrow_exception(call->error);
}

void QueueDispatcher::ProcessPendingEvents() {
  std::deque<std::shared_ptr<Call>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(calls_);
  }
  for (auto& call : batch) {
    std::exception_ptr error;
    try {
      (*call->fn)();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      call->error = std::move(error);
      call->done = true;
    }
    finished_.notify_all();
  }
}

void QueueDispatcher::Sleep(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool QueueDispatcher::PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    ProcessPendingEvents();
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::unique_lock lock(mutex_);
    queued_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                    std::chrono::milliseconds(5)),
                       [this] { return !calls_.empty(); });
  }
}

void QueueDispatcher::PumpFor(std::chrono::milliseconds duration) {
  PumpUntil([] { return false; }, duration);
}

}  // namespace korvane
