#pragma once
// A COM name that points at a network address instead of a device: the
// mapping text "tcp://HOST:PORT" (Modbus TCP, MBAP frames) or
// "rtu+tcp://HOST:PORT" (the serial frames as they are, for transparent
// serial-to-Ethernet gateways). Parsed strictly; a bad text gets a reason.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

enum class NetworkFraming {
  Mbap,  // tcp://: Modbus TCP
  Raw,   // rtu+tcp://: RTU or ASCII frames unchanged over the connection
};

struct NetworkTarget {
  NetworkFraming Framing = NetworkFraming::Mbap;
  std::string Host;  // a name, an IPv4 address, or an IPv6 address (without its brackets)
  std::uint16_t Port = 0;
};

// True when the text names a network address at all ("scheme://..."), so
// that it is parsed as one rather than taken as a device path.
bool LooksLikeNetworkTarget(std::string_view text);
// Parses a mapping text. Nothing, with *reason set, when it is not exactly
// one of the two forms: the scheme in lower case, a host of letters, digits,
// '-', '.' (or an IPv6 address in brackets), and a port 1..65535 in decimal,
// with nothing before or after.
std::optional<NetworkTarget> ParseNetworkTarget(std::string_view text, std::string* reason = nullptr);
// "192.0.2.10:502", "[::1]:502".
std::string HostAndPort(const NetworkTarget& target);
// For the configuration dialog's device line: "Modbus TCP 192.0.2.10:502",
// "RTU over TCP 192.0.2.10:502".
std::string NetworkTargetText(const NetworkTarget& target);

}  // namespace korvane
