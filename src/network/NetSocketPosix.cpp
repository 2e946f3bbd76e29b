#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "network/NetSocket.h"

namespace korvane::net {

namespace {

Failure FailureOf(int error) {
  switch (error) {
    case ECONNREFUSED: return Failure::Refused;
    case EHOSTUNREACH:
    case ENETUNREACH: return Failure::NoRoute;
    case ETIMEDOUT: return Failure::TimedOut;
    default: return Failure::Other;
  }
}

// A numeric address as a socket address; false when it is none.
bool ToSockaddr(const std::string& address, std::uint16_t port, sockaddr_storage* out, socklen_t* length) {
  *out = sockaddr_storage{};
  auto* v4 = reinterpret_cast<sockaddr_in*>(out);
  if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    *length = sizeof(sockaddr_in);
    return true;
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(out);
  if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    *length = sizeof(sockaddr_in6);
    return true;
  }
  return false;
}

int Fd(Handle socket) { return static_cast<int>(socket); }

}  // namespace

bool Startup() { return true; }

Resolved SystemResolve(const std::string& host) {
  Resolved result;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) {
    result.Error = Failure::NameNotFound;
    return result;
  }
  for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
    char text[NI_MAXHOST];
    if (::getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0) {
      result.Addresses.emplace_back(text);
    }
  }
  ::freeaddrinfo(list);
  if (result.Addresses.empty()) result.Error = Failure::NameNotFound;
  return result;
}

Handle StartConnect(const std::string& address, std::uint16_t port, Failure* failure, int* error) {
  sockaddr_storage to{};
  socklen_t length = 0;
  if (!ToSockaddr(address, port, &to, &length)) {
    *failure = Failure::NameNotFound;
    *error = EINVAL;
    return kNoSocket;
  }
  const int fd = ::socket(to.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = errno;
    *failure = Failure::Other;
    return kNoSocket;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), length) != 0 && errno != EINPROGRESS) {
    *error = errno;
    *failure = FailureOf(*error);
    ::close(fd);
    return kNoSocket;
  }
  return fd;
}

int FinishConnect(Handle socket, int ms, Failure* failure, int* error) {
  pollfd p{Fd(socket), POLLOUT, 0};
  const int r = ::poll(&p, 1, ms);
  if (r == 0 || (r < 0 && errno == EINTR)) return 0;
  int soError = 0;
  socklen_t length = sizeof soError;
  if (r < 0 || ::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &soError, &length) != 0) soError = errno;
  if (soError == 0) return 1;
  *error = soError;
  *failure = FailureOf(soError);
  return -1;
}

void Tune(Handle socket) {
  const int on = 1;
  ::setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::setsockopt(Fd(socket), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  // A gateway that lost power sends nothing: probe after 10 s of silence,
  // every 5 s, and give up after 3 unanswered probes.
  const int idle = 10, interval = 5, count = 3;
  ::setsockopt(Fd(socket), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  ::setsockopt(Fd(socket), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  ::setsockopt(Fd(socket), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

bool Probe(Handle socket, Readiness* out) {
  *out = Readiness{};
  pollfd p{Fd(socket), POLLIN, 0};
  if (::poll(&p, 1, 0) < 0) return errno == EINTR;
  int waiting = 0;
  if (::ioctl(Fd(socket), FIONREAD, &waiting) != 0) return false;
  out->Pending = waiting > 0 ? static_cast<std::size_t>(waiting) : 0u;
  // Readable with nothing to read is the peer's end of stream; the bytes
  // sent before it are delivered first.
  const bool broken = (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
  out->Closed = out->Pending == 0 && (broken || (p.revents & POLLIN) != 0);
  return true;
}

std::size_t Receive(Handle socket, char* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::recv(Fd(socket), buffer, count, MSG_DONTWAIT);
    if (n > 0) return static_cast<std::size_t>(n);
    if (n < 0 && errno == EINTR) continue;
    return 0;
  }
}

std::size_t Send(Handle socket, const char* bytes, std::size_t count, bool* broken) {
  *broken = false;
  for (;;) {
    const ssize_t n = ::send(Fd(socket), bytes, count, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR) continue;
    *broken = errno != EAGAIN && errno != EWOULDBLOCK;
    return 0;
  }
}

bool WaitReadable(Handle socket, int ms) {
  pollfd p{Fd(socket), POLLIN, 0};
  return ::poll(&p, 1, ms) > 0;
}

bool WaitWritable(Handle socket, int ms) {
  pollfd p{Fd(socket), POLLOUT, 0};
  const int r = ::poll(&p, 1, ms);
  return r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
}

void Close(Handle socket) {
  if (socket != kNoSocket) ::close(Fd(socket));
}

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace korvane::net
