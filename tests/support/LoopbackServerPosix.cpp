#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "support/LoopbackServer.h"

namespace korvane::test {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

int Wait(int fd, short events, Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  pollfd p{fd, events, 0};
  return ::poll(&p, 1, left < 0 ? 0 : static_cast<int>(left));
}

void CloseFd(std::intptr_t& fd) {
  if (fd >= 0) ::close(static_cast<int>(fd));
  fd = -1;
}

}  // namespace

LoopbackServer::LoopbackServer(int backlog) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  socklen_t length = sizeof a;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    throw std::runtime_error("cannot listen on the loopback");
  }
  listener_ = fd;
  port_ = ntohs(a.sin_port);
}

LoopbackServer::~LoopbackServer() {
  CloseClient();
  CloseListener();
  CloseFd(own_);
}

bool LoopbackServer::Accept(std::chrono::milliseconds timeout) {
  if (Wait(static_cast<int>(listener_), POLLIN, Clock::now() + timeout) <= 0) return false;
  CloseClient();
  client_ = ::accept4(static_cast<int>(listener_), nullptr, nullptr, SOCK_CLOEXEC);
  return client_ >= 0;
}

std::string LoopbackServer::ReadAtLeast(std::size_t n, std::chrono::milliseconds timeout) {
  std::string got;
  const auto end = Clock::now() + timeout;
  while (got.size() < n && client_ >= 0 && Wait(static_cast<int>(client_), POLLIN, end) > 0) {
    char buffer[512];
    const ssize_t r = ::recv(static_cast<int>(client_), buffer, sizeof buffer, 0);
    if (r <= 0) break;
    got.append(buffer, static_cast<std::size_t>(r));
  }
  return got;
}

bool LoopbackServer::Write(std::string_view bytes) {
  while (!bytes.empty() && client_ >= 0) {
    const ssize_t n = ::send(static_cast<int>(client_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return bytes.empty();
}

void LoopbackServer::CloseClient() { CloseFd(client_); }
void LoopbackServer::CloseListener() { CloseFd(listener_); }

void LoopbackServer::ConnectOwnClient() {
  own_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(port_);
  if (own_ < 0 || ::connect(static_cast<int>(own_), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    throw std::runtime_error("cannot connect to the loopback server");
  }
}

std::uint16_t UnusedLoopbackPort() {
  // The port just released stays free: the system hands out ports in turn.
  LoopbackServer server(1);
  return server.Port();
}

void MapComName(const std::string& folder, const std::string& name, const std::string& text) {
  std::filesystem::create_directories(folder);
  const std::string entry = folder + "/" + name;
  ::unlink(entry.c_str());  // a mapping of the same name is replaced
  if (::symlink(text.c_str(), entry.c_str()) != 0) throw std::runtime_error("cannot map " + name);
}

}  // namespace korvane::test
