#include "network/NetworkTarget.h"

#include <cctype>

namespace korvane {

namespace {

constexpr std::string_view kTcp = "tcp://";
constexpr std::string_view kRtuTcp = "rtu+tcp://";
constexpr std::size_t kMaxHostLength = 253;  // the longest DNS name

std::optional<NetworkTarget> Fail(std::string* reason, std::string text) {
  if (reason != nullptr) *reason = std::move(text);
  return std::nullopt;
}

bool HostNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.';
}

bool Ipv6Character(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

}  // namespace

bool LooksLikeNetworkTarget(std::string_view text) { return text.find("://") != std::string_view::npos; }

std::optional<NetworkTarget> ParseNetworkTarget(std::string_view text, std::string* reason) {
  NetworkTarget target;
  if (text.substr(0, kTcp.size()) == kTcp) {
    target.Framing = NetworkFraming::Mbap;
    text.remove_prefix(kTcp.size());
  } else if (text.substr(0, kRtuTcp.size()) == kRtuTcp) {
    target.Framing = NetworkFraming::Raw;
    text.remove_prefix(kRtuTcp.size());
  } else {
    return Fail(reason, "Not tcp://HOST:PORT or rtu+tcp://HOST:PORT");
  }

  std::string_view host;
  std::string_view rest;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return Fail(reason, "Bad address: no ']' after the IPv6 address");
    host = text.substr(1, close - 1);
    rest = text.substr(close + 1);
    if (host.empty() || host.find(':') == std::string_view::npos) return Fail(reason, "Bad address: not an IPv6 address");
    for (char c : host) {
      if (!Ipv6Character(c)) return Fail(reason, "Bad address: not an IPv6 address");
    }
  } else {
    const std::size_t colon = text.find(':');
    host = text.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
    if (host.empty()) return Fail(reason, "Bad address: no host");
    if (host.size() > kMaxHostLength) return Fail(reason, "Bad address: host name too long");
    for (char c : host) {
      if (!HostNameCharacter(c)) return Fail(reason, "Bad address: host has a character not allowed");
    }
  }

  if (rest.empty() || rest.front() != ':') return Fail(reason, "Bad address: no port");
  rest.remove_prefix(1);
  if (rest.empty()) return Fail(reason, "Bad address: no port");
  if (rest.size() > 1 && rest.front() == '0') return Fail(reason, "Bad address: the port has a leading zero");
  std::uint32_t port = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return Fail(reason, "Bad address: the port is not a number");
    port = port * 10 + static_cast<std::uint32_t>(c - '0');
    if (port > 65535) return Fail(reason, "Bad address: port above 65535");
  }
  if (port == 0) return Fail(reason, "Bad address: port 0");
  target.Host.assign(host);
  target.Port = static_cast<std::uint16_t>(port);
  return target;
}

std::string HostAndPort(const NetworkTarget& target) {
  const bool ipv6 = target.Host.find(':') != std::string::npos;
  return (ipv6 ? "[" + target.Host + "]" : target.Host) + ":" + std::to_string(target.Port);
}

std::string NetworkTargetText(const NetworkTarget& target) {
  return std::string(target.Framing == NetworkFraming::Mbap ? "Modbus TCP " : "RTU over TCP ") + HostAndPort(target);
}

}  // namespace korvane
