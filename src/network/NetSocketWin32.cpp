// The TCP device's socket calls on Winsock. Same behaviour as the BSD
// socket version: non-blocking sockets, WSAPoll for the waits.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <algorithm>
#include <mutex>
#include <string>

#include "network/NetSocket.h"

namespace korvane::net {

namespace {

Failure FailureOf(int error) {
  switch (error) {
    case WSAECONNREFUSED: return Failure::Refused;
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH: return Failure::NoRoute;
    case WSAETIMEDOUT: return Failure::TimedOut;
    default: return Failure::Other;
  }
}

SOCKET Sock(Handle socket) { return static_cast<SOCKET>(socket); }

bool ToSockaddr(const std::string& address, std::uint16_t port, sockaddr_storage* out, int* length) {
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

}  // namespace

bool Startup() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    WSADATA data{};
    ready = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;  // kept for the life of the program
  });
  return ready;
}

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
    if (::getnameinfo(a->ai_addr, static_cast<socklen_t>(a->ai_addrlen), text, sizeof text, nullptr, 0,
                      NI_NUMERICHOST) == 0) {
      result.Addresses.emplace_back(text);
    }
  }
  ::freeaddrinfo(list);
  if (result.Addresses.empty()) result.Error = Failure::NameNotFound;
  return result;
}

Handle StartConnect(const std::string& address, std::uint16_t port, Failure* failure, int* error) {
  sockaddr_storage to{};
  int length = 0;
  if (!ToSockaddr(address, port, &to, &length)) {
    *failure = Failure::NameNotFound;
    *error = WSAEINVAL;
    return kNoSocket;
  }
  SOCKET s = ::WSASocketW(to.ss_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) {
    *error = ::WSAGetLastError();
    *failure = Failure::Other;
    return kNoSocket;
  }
  u_long nonBlocking = 1;
  ::ioctlsocket(s, static_cast<long>(FIONBIO), &nonBlocking);  // the macro's value does not fit a long
  if (::connect(s, reinterpret_cast<sockaddr*>(&to), length) != 0 && ::WSAGetLastError() != WSAEWOULDBLOCK) {
    *error = ::WSAGetLastError();
    *failure = FailureOf(*error);
    ::closesocket(s);
    return kNoSocket;
  }
  return static_cast<Handle>(s);
}

int FinishConnect(Handle socket, int ms, Failure* failure, int* error) {
  // select, not WSAPoll: WSAPoll on older Windows never reports a connect
  // that failed, so a refused connect would only end at the time-out.
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(Sock(socket), &writable);
  FD_SET(Sock(socket), &failed);
  timeval wait{ms / 1000, (ms % 1000) * 1000};
  const int r = ::select(0, nullptr, &writable, &failed, &wait);
  if (r == 0) return 0;
  int soError = 0;
  int length = sizeof soError;
  if (r < 0 || ::getsockopt(Sock(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length) != 0) {
    soError = ::WSAGetLastError();
  }
  if (soError == 0 && FD_ISSET(Sock(socket), &failed)) soError = WSAECONNREFUSED;
  if (soError == 0) return 1;
  *error = soError;
  *failure = FailureOf(soError);
  return -1;
}

void Tune(Handle socket) {
  const BOOL on = TRUE;
  ::setsockopt(Sock(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  ::setsockopt(Sock(socket), SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
  // Probe after 10 s of silence, every 5 s, as on Linux.
  tcp_keepalive values{1, 10000, 5000};
  DWORD returned = 0;
  ::WSAIoctl(Sock(socket), SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr, nullptr);
}

bool Probe(Handle socket, Readiness* out) {
  *out = Readiness{};
  WSAPOLLFD p{Sock(socket), POLLRDNORM, 0};
  if (::WSAPoll(&p, 1, 0) < 0) return false;
  u_long waiting = 0;
  if (::ioctlsocket(Sock(socket), FIONREAD, &waiting) != 0) return false;
  out->Pending = waiting;
  const bool broken = (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
  out->Closed = out->Pending == 0 && (broken || (p.revents & POLLRDNORM) != 0);
  return true;
}

std::size_t Receive(Handle socket, char* buffer, std::size_t count) {
  const int n = ::recv(Sock(socket), buffer, static_cast<int>(std::min<std::size_t>(count, 1 << 30)), 0);
  return n > 0 ? static_cast<std::size_t>(n) : 0u;
}

std::size_t Send(Handle socket, const char* bytes, std::size_t count, bool* broken) {
  *broken = false;
  const int n = ::send(Sock(socket), bytes, static_cast<int>(std::min<std::size_t>(count, 1 << 30)), 0);
  if (n >= 0) return static_cast<std::size_t>(n);
  *broken = ::WSAGetLastError() != WSAEWOULDBLOCK;
  return 0;
}

bool WaitReadable(Handle socket, int ms) {
  WSAPOLLFD p{Sock(socket), POLLRDNORM, 0};
  return ::WSAPoll(&p, 1, ms) > 0;
}

bool WaitWritable(Handle socket, int ms) {
  WSAPOLLFD p{Sock(socket), POLLOUT, 0};
  return ::WSAPoll(&p, 1, ms) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
}

void Close(Handle socket) {
  if (socket != kNoSocket) ::closesocket(Sock(socket));
}

std::string ErrorText(int error) {
  char text[256] = {};
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
  std::string out(text, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
  return out.empty() ? "error " + std::to_string(error) : out;
}

}  // namespace korvane::net
