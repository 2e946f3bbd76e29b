#pragma once
// korvane-sim as a child process for tests: its own COM-name folder (a
// private XDG_CONFIG_HOME), commands on its stdin, its stdout lines read back.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/TestSupport.h"

namespace korvane::sim::test {

using Millis = std::chrono::milliseconds;

using korvane::test::TempDir;

// The COM-name folder korvane-sim uses with `home` as XDG_CONFIG_HOME.
inline std::string PortsDir(const TempDir& home) { return home.File("korvane/ports"); }

class SimProcess {
 public:
  // Starts bin/korvane-sim with `args` and XDG_CONFIG_HOME = configHome.
  SimProcess(const std::string& configHome, const std::vector<std::string>& args);

  // Waits for "korvane-sim: ready"; fills Device() and ComName() from the
  // mapping line on the way. False when the program ended or the time passed.
  bool WaitReady(Millis timeout = Millis(5000));
  // Sends one command line and waits for the reply line that starts with `expect`.
  bool Command(const std::string& line, const std::string& expect, Millis timeout = Millis(3000));
  // Next line that starts with "korvane-sim: " + prefix.
  std::optional<std::string> WaitFor(const std::string& prefix, Millis timeout);
  void CloseStdin() { child_.CloseStdin(); }
  void Signal(int sig) { child_.Signal(sig); }
  // Exit status once it ended, waiting up to `timeout`; -1 when still running.
  int WaitExit(Millis timeout) { return child_.WaitExit(timeout); }

  const std::string& Device() const { return device_; }
  const std::string& ComName() const { return com_; }
  const std::vector<std::string>& Lines() const { return child_.LinesSeen(); }

 private:
  korvane::test::ChildProcess child_;
  std::string device_;
  std::string com_;
};

}  // namespace korvane::sim::test
