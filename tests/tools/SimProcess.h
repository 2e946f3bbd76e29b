#pragma once
// korvane-sim as a child process for tests: its own COM-name folder (a
// private XDG_CONFIG_HOME), commands on its stdin, its stdout lines read back.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace korvane::sim::test {

using Millis = std::chrono::milliseconds;

// A private folder removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  // The COM-name folder korvane-sim uses with this folder as XDG_CONFIG_HOME.
  std::string PortsDir() const { return path_ + "/korvane/ports"; }

 private:
  std::string path_;
};

class SimProcess {
 public:
  // Starts bin/korvane-sim with `args` and XDG_CONFIG_HOME = configHome.
  SimProcess(const std::string& configHome, const std::vector<std::string>& args);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Waits for "korvane-sim: ready"; fills Device() and ComName() from the
  // mapping line on the way. False when the program ended or the time passed.
  bool WaitReady(Millis timeout = Millis(5000));
  // Sends one command line and waits for the reply line that starts with `expect`.
  bool Command(const std::string& line, const std::string& expect, Millis timeout = Millis(3000));
  // Next line that starts with "korvane-sim: " + prefix.
  std::optional<std::string> WaitFor(const std::string& prefix, Millis timeout);
  void CloseStdin();
  void Signal(int sig);
  // Exit status (WEXITSTATUS) once it ended, waiting up to `timeout`; -1 when still running.
  int WaitExit(Millis timeout);

  const std::string& Device() const { return device_; }
  const std::string& ComName() const { return com_; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::optional<std::string> ReadLine(Millis timeout);
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int status_ = -1;
  std::string buffer_;
  std::string device_;
  std::string com_;
  std::vector<std::string> lines_;
};

}  // namespace korvane::sim::test
