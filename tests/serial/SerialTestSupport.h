#pragma once
// What the serial tests share: a recorder of the component's events (and
// the shared temporary folder for COM-name maps).

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "serial/SerialPort.h"
#include "support/TempDir.h"

namespace korvane {

// Ports print by name in test failures.
inline void PrintTo(TCommPort port, std::ostream* os) {
  *os << (port == spNone ? std::string("spNone") : NameFromPort(port));
}

}  // namespace korvane

namespace korvane::test {

// Every event the component raised, in order. Handlers run on the main
// thread, so the test reads these without locks.
struct EventLog {
  std::vector<std::string> receives;
  std::vector<std::string> sends;
  std::vector<TLineStatusSet> lines;
  std::vector<TCommPort> connects;
  std::vector<TCommPort> disconnects;

  void Attach(TSerialPort& port) {
    port.OnReceive = [this](TSerialPort&, const std::string& buffer) { receives.push_back(buffer); };
    port.OnSend = [this](TSerialPort&, const std::string& buffer) { sends.push_back(buffer); };
    port.OnLineStatusChange = [this](TSerialPort&, TLineStatusSet set) { lines.push_back(set); };
    port.OnConnect = [this](TSerialPort&, TCommPort p) { connects.push_back(p); };
    port.OnDisconnect = [this](TSerialPort&, TCommPort p) { disconnects.push_back(p); };
  }
  std::string ReceivedAll() const {
    std::string all;
    for (const auto& piece : receives) all += piece;
    return all;
  }
};

// The message of the SerialError an action raises, or "(no error)".
inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const SerialError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace korvane::test
