#pragma once
// The few socket calls the TCP device needs, behind one small interface:
// NetSocketPosix.cpp (BSD sockets) and NetSocketWin32.cpp (Winsock); the
// build picks one. Every socket here is non-blocking; nothing waits longer
// than the time it is given.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane::net {

using Handle = std::intptr_t;
inline constexpr Handle kNoSocket = -1;

// Why a connection could not be made, in the words the configuration dialog shows.
enum class Failure { None, Refused, NoRoute, TimedOut, NameNotFound, Other };

// The addresses of a host in numeric form ("127.0.0.1", "::1"), or Failure::NameNotFound.
struct Resolved {
  std::vector<std::string> Addresses;
  Failure Error = Failure::None;
};

// Loads the socket library once (Winsock); true when sockets can be used.
bool Startup();
// The system's name lookup (may take as long as the system's resolver takes).
Resolved SystemResolve(const std::string& host);

// Starts a connect to a numeric address; kNoSocket with *failure (and the
// system's *error) when it fails at once.
Handle StartConnect(const std::string& address, std::uint16_t port, Failure* failure, int* error);
// Waits up to `ms` for the connect to finish: 1 connected, 0 still going,
// -1 failed (*failure, *error).
int FinishConnect(Handle socket, int ms, Failure* failure, int* error);
// No Nagle delay (a request goes out at once) and keep-alive probes, so a
// peer that vanished without a word is noticed.
void Tune(Handle socket);

struct Readiness {
  std::size_t Pending = 0;  // bytes that can be read now
  bool Closed = false;      // the peer closed (and nothing is left to read) or the connection broke
};
// Looks without waiting; false when the socket cannot be asked.
bool Probe(Handle socket, Readiness* out);
// Reads what is there, up to count: the count read, 0 when nothing is (or the peer closed).
std::size_t Receive(Handle socket, char* buffer, std::size_t count);
// Sends what fits now: the count sent; *broken when the connection failed.
std::size_t Send(Handle socket, const char* bytes, std::size_t count, bool* broken);
// Waits up to `ms` until bytes can be read or the connection ended; false on time-out.
bool WaitReadable(Handle socket, int ms);
// Waits up to `ms` until the socket takes more bytes; false on time-out or error.
bool WaitWritable(Handle socket, int ms);
void Close(Handle socket);

// The dialog's words for a failure: "Connection refused", "No route to
// host", "Timed out", "Name not found"; other errors in the system's words.
std::string FailureText(Failure failure, int error);
// The system's words for an error number.
std::string ErrorText(int error);

}  // namespace korvane::net
