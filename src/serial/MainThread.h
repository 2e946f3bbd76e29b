#pragma once
// What the serial component needs of the program's main (GUI) thread.
// The application hands in a Qt implementation; tests hand in a plain one.

#include <functional>

namespace korvane {

class MainThreadDispatcher {
 public:
  virtual ~MainThreadDispatcher() = default;
  // Called on another thread: runs fn on the main thread, blocks until it
  // returned, and rethrows there whatever fn threw.
  virtual void RunAndWait(const std::function<void()>& fn) = 0;
  // Called on the main thread: runs the calls and events already waiting
  // for it, once, without blocking.
  virtual void ProcessPendingEvents() = 0;
  // Millisecond sleep on the calling thread.
  virtual void Sleep(unsigned milliseconds) = 0;
};

}  // namespace korvane
