#pragma once
// A scripted TCP server on 127.0.0.1 for the network device's fault tests:
// the test accepts, reads what the device sent and answers whatever it
// likes (a reply cut short, one byte at a time, garbage), or closes.
// LoopbackServerPosix.cpp and LoopbackServerWin32.cpp implement it.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane::test {

class LoopbackServer {
 public:
  // Listens at a port the system picks. Backlog 0 with one connection
  // already waiting makes a listener whose further connects get no answer.
  explicit LoopbackServer(int backlog = 4);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t Port() const { return port_; }
  // Accepts the next client within the time; false when none came.
  bool Accept(std::chrono::milliseconds timeout);
  // Reads from the client until at least n bytes came or the time is up.
  std::string ReadAtLeast(std::size_t n, std::chrono::milliseconds timeout);
  // Writes all bytes to the client; false when it has gone.
  bool Write(std::string_view bytes);
  void CloseClient();
  void CloseListener();
  // Connects a client of its own (to fill the backlog); kept until the server goes.
  void ConnectOwnClient();

 private:
  std::intptr_t listener_ = -1;
  std::intptr_t client_ = -1;
  std::intptr_t own_ = -1;
  std::uint16_t port_ = 0;
};

// A loopback port where nothing listens (bound, then closed again).
std::uint16_t UnusedLoopbackPort();

// Points a COM name of the map's folder at `text` the way the platform's map
// keeps it (a symbolic link; on Windows a line of ports.txt), replacing a
// mapping of the same name.
void MapComName(const std::string& folder, const std::string& name, const std::string& text);

}  // namespace korvane::test
