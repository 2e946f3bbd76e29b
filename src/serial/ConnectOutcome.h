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
};

void RecordConnectOutcome(const std::string& portName, ConnectOutcome outcome);
// None for a name that never connected.
ConnectOutcome LastConnectOutcome(const std::string& portName);

}  // namespace korvane
