#pragma once
// What the serial tests share: a recorder of the component's events and a
// temporary folder for COM-name maps.

#include <stdlib.h>

#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/SerialPort.h"

namespace korvane {

// Ports print by name in test failures.
inline void PrintTo(TCommPort port, std::ostream* os) {
  *os << (port == spNone ? std::string("spNone") : NameFromPort(port));
}

}  // namespace korvane

namespace korvane::test {

// Every event the component raised, in order. Handlers run on the main
// thread, so the test reads these without locks.
struct EventLog {
  std::vector<std::string> receives;
  std::vector<std::string> sends;
  std::vector<TLineStatusSet> lines;
  std::vector<TCommPort> connects;
  std::vector<TCommPort> disconnects;

  void Attach(TSerialPort& port) {
    port.OnReceive = [this](TSerialPort&, const std::string& buffer) { receives.push_back(buffer); };
    port.OnSend = [this](TSerialPort&, const std::string& buffer) { sends.push_back(buffer); };
    port.OnLineStatusChange = [this](TSerialPort&, TLineStatusSet set) { lines.push_back(set); };
    port.OnConnect = [this](TSerialPort&, TCommPort p) { connects.push_back(p); };
    port.OnDisconnect = [this](TSerialPort&, TCommPort p) { disconnects.push_back(p); };
  }
  std::string ReceivedAll() const {
    std::string all;
    for (const auto& piece : receives) all += piece;
    return all;
  }
};

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-serial-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace korvane::test
