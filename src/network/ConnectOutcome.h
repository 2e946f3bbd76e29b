#pragma once
// How the latest connection of each COM name that points at a network
// address went: connecting, connected, or why not. The TCP device records
// it from its connecting thread; the configuration dialog reads it for its
// device line (the connect runs off the main thread, so its outcome comes
// later than the dialog's OK). Safe from any thread.

#include <string>

namespace korvane {

enum class ConnectPhase { None, Connecting, Connected, Failed, Closed };

struct ConnectOutcome {
  ConnectPhase Phase = ConnectPhase::None;
  std::string Reason;  // Failed and Closed: in the dialog's words, e.g. "Connection refused"
  // What was connected to ("Modbus TCP 192.0.2.10:502", or the mapping text
  // that did not parse), so an outcome is not shown for a mapping changed since.
  std::string Target;
};

void RecordConnectOutcome(const std::string& portName, ConnectOutcome outcome);
// None for a name that never connected.
ConnectOutcome LastConnectOutcome(const std::string& portName);

}  // namespace korvane
