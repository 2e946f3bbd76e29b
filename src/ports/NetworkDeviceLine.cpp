#include "ports/NetworkDeviceLine.h"

#include "network/ConnectOutcome.h"

namespace korvane {

namespace {

std::string HintFor(const std::string& reason) {
  if (reason == "Connection refused") return "Nothing listens on that port: check the port number and that the server or gateway runs.";
  if (reason == "No route to host") return "The host cannot be reached: check the address and the network connection.";
  if (reason == "Timed out") return "The host does not answer: check the address, the network and any firewall between.";
  if (reason == "Name not found") return "The host name is not known: check its spelling, or map the address instead.";
  if (reason == "Connection closed by the server") return "The server or gateway ended the connection: untick and tick Port Active to connect again.";
  return "The connection could not be made: check the mapping and the device.";
}

}  // namespace

std::optional<NetworkDeviceLine> DescribeNetworkMapping(const ComNameMap& map, const std::string& portName) {
  if (!map.IsNetworkMapped(portName)) return std::nullopt;
  NetworkDeviceLine line;
  std::string bad;
  const std::optional<NetworkTarget> target = map.NetworkTargetOf(portName, &bad);
  if (!target) {
    line.Text = portName + " → " + map.EntryText(portName);
    line.Reason = bad;
    line.Hint = "Write the mapping as tcp://HOST:PORT or rtu+tcp://HOST:PORT.";
    return line;
  }
  line.Text = portName + " → " + NetworkTargetText(*target);
  const ConnectOutcome outcome = LastConnectOutcome(portName);
  // An outcome for the address the name pointed at before says nothing now.
  if (outcome.Target != NetworkTargetText(*target)) return line;
  switch (outcome.Phase) {
    case ConnectPhase::Connecting:
      line.Reason = "Connecting…";
      break;
    case ConnectPhase::Connected:
      line.Reason = "Connected";
      break;
    case ConnectPhase::Failed:
      line.Reason = outcome.Reason;
      line.Hint = HintFor(outcome.Reason);
      break;
    case ConnectPhase::None:
    case ConnectPhase::Closed:
      break;
  }
  return line;
}

}  // namespace korvane
