#pragma once
// The serial component's way onto the GUI thread: a call from the receive
// thread is queued to the application object and the caller blocks until it
// ran; whatever it threw is rethrown on the calling thread.

#include "serial/MainThread.h"

namespace korvane {

class QtMainThread : public MainThreadDispatcher {
 public:
  void RunAndWait(const std::function<void()>& fn) override;
  void ProcessPendingEvents() override;
  void Sleep(unsigned milliseconds) override;
};

}  // namespace korvane
