// A termination signal reaches the program as a call on the GUI thread, and
// closing the main window that way closes an open port.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <csignal>

#include "app/main/TerminationSignals.h"

namespace korvane {
namespace {

void PumpUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST(TerminationSignals, EachSignalRunsTheCallbackOnTheGuiThread) {
  int calls = 0;
  {
    TerminationSignals termination([&calls] { ++calls; });
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
      const int before = calls;
      ASSERT_EQ(::raise(sig), 0);
      PumpUntil([&] { return calls > before; }, 2000);
      EXPECT_EQ(calls, before + 1) << "signal " << sig;
    }
  }
  // Gone with its object: the default action is back, so ignore while checking.
  struct sigaction current {};
  ASSERT_EQ(::sigaction(SIGTERM, nullptr, &current), 0);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace korvane
