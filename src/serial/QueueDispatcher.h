#pragma once
// A main-thread dispatcher built from the standard library: calls from other
// threads wait in a queue until the main thread runs them. For programs and
// tests without a GUI event loop; the thread that creates it is the main
// thread.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "serial/MainThread.h"

namespace korvane {

class QueueDispatcher : public MainThreadDispatcher {
 public:
  QueueDispatcher();

  // On the main thread the call runs at once; from any other thread it is
  // queued and the caller blocks until the main thread has run it.
  void RunAndWait(const std::function<void()>& fn) override;
  void ProcessPendingEvents() override;
  void Sleep(unsigned milliseconds) override;

  // Main thread: runs queued calls until pred() holds or the time is up;
  // returns pred().
  bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
  // Main thread: runs queued calls for the given time.
  void PumpFor(std::chrono::milliseconds duration);

 private:
  struct Call {
    const std::function<void()>* fn = nullptr;
    bool done = false;
    std::exception_ptr error;
  };

  std::thread::id mainThread_;
  std::mutex mutex_;
  std::condition_variable queued_;   // a call was queued
  std::condition_variable finished_; // a call was run
  std::deque<std::shared_ptr<Call>> calls_;
};

}  // namespace korvane
