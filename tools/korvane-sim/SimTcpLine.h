#pragma once
// The simulator's end of a network mapping: a TCP server on 127.0.0.1 that
// serves one client at a time, for COM names mapped to tcp:// (Modbus TCP)
// or rtu+tcp:// (RTU or ASCII frames over the connection, as a transparent
// gateway carries them). A client that leaves frees the place for the next.

#include <cstdint>
#include <string>

namespace korvane::sim {

class SimTcpLine {
 public:
  // Listens on 127.0.0.1:port (0: a port the system picks). `scheme` is
  // "tcp" or "rtu+tcp" and names the mapping. Throws std::runtime_error.
  SimTcpLine(std::uint16_t port, std::string scheme);
  ~SimTcpLine();
  SimTcpLine(const SimTcpLine&) = delete;
  SimTcpLine& operator=(const SimTcpLine&) = delete;

  // The descriptor to wait on: the client's, or the listener's while none is connected.
  int Fd() const { return client_ >= 0 ? client_ : listener_; }
  // The mapping text a COM name points at: "tcp://127.0.0.1:5020".
  const std::string& Path() const { return path_; }
  std::uint16_t Port() const { return port_; }
  bool HasClient() const { return client_ >= 0; }

  // Accepts a waiting client, or reads what the client sent (empty when
  // nothing; a client that left is dropped). Always true: the server stays.
  bool Read(std::string& into);
  // Sends to the client; bytes for a client that is gone are dropped.
  bool Write(const std::string& bytes);
  void Close();

 private:
  int listener_ = -1;
  int client_ = -1;
  std::uint16_t port_ = 0;
  std::string path_;
};

}  // namespace korvane::sim
