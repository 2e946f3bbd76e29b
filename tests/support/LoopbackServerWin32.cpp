// The scripted loopback server on Winsock, for the TCP device's tests under wine.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/LoopbackServer.h"

namespace korvane::test {

namespace {

using Clock = std::chrono::steady_clock;

SOCKET Sock(std::intptr_t s) { return static_cast<SOCKET>(s); }

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

int Wait(std::intptr_t s, short events, Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  WSAPOLLFD p{Sock(s), events, 0};
  return ::WSAPoll(&p, 1, left < 0 ? 0 : static_cast<int>(left));
}

void CloseSock(std::intptr_t& s) {
  if (s != -1) ::closesocket(Sock(s));
  s = -1;
}

void Startup() {
  static bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("no Winsock");
}

}  // namespace

LoopbackServer::LoopbackServer(int backlog) {
  Startup();
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = Loopback(0);
  int length = sizeof a;
  if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, backlog) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    throw std::runtime_error("cannot listen on the loopback");
  }
  listener_ = static_cast<std::intptr_t>(s);
  port_ = ntohs(a.sin_port);
}

LoopbackServer::~LoopbackServer() {
  CloseClient();
  CloseListener();
  CloseSock(own_);
}

bool LoopbackServer::Accept(std::chrono::milliseconds timeout) {
  if (Wait(listener_, POLLRDNORM, Clock::now() + timeout) <= 0) return false;
  CloseClient();
  SOCKET c = ::accept(Sock(listener_), nullptr, nullptr);
  client_ = c == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(c);
  return client_ != -1;
}

std::string LoopbackServer::ReadAtLeast(std::size_t n, std::chrono::milliseconds timeout) {
  std::string got;
  const auto end = Clock::now() + timeout;
  while (got.size() < n && client_ != -1 && Wait(client_, POLLRDNORM, end) > 0) {
    char buffer[512];
    const int r = ::recv(Sock(client_), buffer, sizeof buffer, 0);
    if (r <= 0) break;
    got.append(buffer, static_cast<std::size_t>(r));
  }
  return got;
}

bool LoopbackServer::Write(std::string_view bytes) {
  while (!bytes.empty() && client_ != -1) {
    const int n = ::send(Sock(client_), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return bytes.empty();
}

void LoopbackServer::CloseClient() { CloseSock(client_); }
void LoopbackServer::CloseListener() { CloseSock(listener_); }

void LoopbackServer::ConnectOwnClient() {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = Loopback(port_);
  if (s == INVALID_SOCKET || ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    throw std::runtime_error("cannot connect to the loopback server");
  }
  own_ = static_cast<std::intptr_t>(s);
}

std::uint16_t UnusedLoopbackPort() {
  LoopbackServer server(1);
  return server.Port();
}

void MapComName(const std::string& folder, const std::string& name, const std::string& text) {
  // One line "COMn=TEXT" per name in ports.txt; a line of the same name is replaced.
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = std::filesystem::path(folder) / "ports.txt";
  std::string kept;
  {
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(name + "=", 0) != 0) kept += line + "\n";
    }
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << kept << name << "=" << text << "\r\n";
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace korvane::test
