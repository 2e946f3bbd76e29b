#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the GUI thread, so a
// logout, `kill` or Ctrl+C closes the main window the ordinary way (the port
// is closed with DTR and RTS dropped) instead of ending the process mid-poll.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace korvane {

class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers; onSignal runs on the GUI thread once per signal.
  explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
  ~TerminationSignals() override;

 private:
  std::function<void()> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace korvane
