#include "app/main/TerminationSignals.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <utility>

namespace korvane {

#ifdef Q_OS_UNIX
namespace {

// Written by the signal handler, read on the GUI thread; only write() and
// read() touch it from the handler, which are async-signal-safe.
int g_signalPipe[2] = {-1, -1};

extern "C" void WriteSignalByte(int) {
  const char byte = 1;
  ssize_t ignored = ::write(g_signalPipe[0], &byte, 1);
  (void)ignored;
}

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

}  // namespace
#endif

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
#ifdef Q_OS_UNIX
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
  notifier_ = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char byte = 0;
    if (::read(g_signalPipe[1], &byte, 1) == 1 && onSignal_) onSignal_();
  });
  struct sigaction action {};
  action.sa_handler = WriteSignalByte;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : kSignals) ::sigaction(sig, &action, nullptr);
#endif
}

TerminationSignals::~TerminationSignals() {
#ifdef Q_OS_UNIX
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int sig : kSignals) ::sigaction(sig, &action, nullptr);
  delete notifier_;
  notifier_ = nullptr;
  for (int& fd : g_signalPipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
#endif
}

}  // namespace korvane
