#include "SimTcpLine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace korvane::sim {

SimTcpLine::SimTcpLine(std::uint16_t port, std::string scheme) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const int on = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never reachable from another machine
  socklen_t length = sizeof a;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener_, 1) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    const std::string why = std::strerror(errno);
    Close();
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + why);
  }
  port_ = ntohs(a.sin_port);
  path_ = std::move(scheme) + "://127.0.0.1:" + std::to_string(port_);
}

SimTcpLine::~SimTcpLine() { Close(); }

bool SimTcpLine::Read(std::string& into) {
  if (client_ < 0) {
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client_ >= 0) {
      const int on = 1;
      ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return true;
  }
  char buffer[1024];
  for (;;) {
    const ssize_t n = ::recv(client_, buffer, sizeof buffer, 0);
    if (n > 0) {
      into.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      ::close(client_);  // the client left: the next one may come
      client_ = -1;
    }
    return true;
  }
}

bool SimTcpLine::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (client_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::send(client_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{client_, POLLOUT, 0};
      if (::poll(&p, 1, 1000) <= 0) break;
    } else if (!(n < 0 && errno == EINTR)) {
      break;
    }
  }
  return true;
}

void SimTcpLine::Close() {
  if (client_ >= 0) ::close(client_);
  if (listener_ >= 0) ::close(listener_);
  client_ = listener_ = -1;
}

}  // namespace korvane::sim
