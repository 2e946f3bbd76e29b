#pragma once
// Shared test infrastructure: pseudo-terminal pairs, child processes with a
// captured stdout, the locations of the test peers, and hex helpers.
//
// Link the target `korvane_test_support` and include "support/TestSupport.h".
// Everything here is std + POSIX only and throws std::runtime_error when the
// system refuses a resource (openpty, pipe, spawn).

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::test {

using Millis = std::chrono::milliseconds;

// A pseudo-terminal pair. The slave side is set to raw mode (cfmakeraw) and,
// by default, kept open by this object too, so the master side never sees a
// hang-up while a peer opens and closes the slave path. The test plays the
// serial line's far end on the master fd.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int MasterFd() const { return master_; }
  int SlaveFd() const { return slave_; }          // -1 after CloseSlave()
  const std::string& SlavePath() const { return slavePath_; }  // e.g. /dev/pts/7

  // Closes this object's handle on the slave side (the path stays usable
  // while anybody else holds it open).
  void CloseSlave();

  // Writes all bytes to the master side (what the slave side will read).
  void Write(std::string_view bytes);

  // Everything that arrives on the master side within `timeout`, read until
  // the time is up (always waits the whole time).
  std::string ReadFor(Millis timeout);

  // Reads the master side piece by piece (one element per read() call, as the
  // bytes arrive) until `done(all bytes so far)` is true, or until `timeout`
  // passed in total. The pieces keep their arrival boundaries.
  std::vector<std::string> ReadPieces(Millis timeout,
                                      const std::function<bool(const std::string&)>& done);

  // Reads until at least `count` bytes arrived or `timeout` passed; returns
  // what arrived (may be shorter on time-out).
  std::string ReadAtLeast(std::size_t count, Millis timeout);

  // Discards whatever is waiting on the master side right now.
  void Drain();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

// A child process with stdin and stdout connected to pipes (stderr is
// inherited, so a peer's complaints show in the test log). The destructor
// terminates it: SIGTERM, up to 2 s grace, then SIGKILL, and always reaps it.
class ChildProcess {
 public:
  // argv[0] is the program path (not searched on PATH). `environment` holds
  // NAME=value entries that replace or add to this process's environment.
  explicit ChildProcess(std::vector<std::string> argv, const std::vector<std::string>& environment = {});
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }

  // The next line of stdout (without the line end), or nothing on time-out
  // or end of output.
  std::optional<std::string> ReadLine(Millis timeout);

  // Skips lines until one starts with `prefix` and returns it; nothing when
  // `timeout` passes (in total) or the output ends first.
  std::optional<std::string> WaitForLine(std::string_view prefix, Millis timeout);

  // Every line read so far by ReadLine/WaitForLine, in order (skipped ones too).
  const std::vector<std::string>& LinesSeen() const { return seen_; }

  // Writes one line (a line end is added) to the child's stdin; false when
  // it could not be written whole.
  bool WriteLine(std::string_view line);

  // Closes the child's stdin (the peers take that as a request to exit).
  void CloseStdin();

  // Sends a signal to the child while it runs.
  void Signal(int sig);

  // The child's exit code once it has ended, waiting up to `timeout`; -1
  // while it still runs.
  int WaitExit(Millis timeout);

  // True while the child has not exited.
  bool Running();

  // SIGTERM, wait up to `grace`, then SIGKILL; reaps the child. Returns the
  // raw wait status (or -1 when the child was already reaped). Idempotent.
  int Terminate(Millis grace = Millis(2000));

 private:
  void Release();
  pid_t pid_ = -1;
  int stdinFd_ = -1;
  int stdoutFd_ = -1;
  int status_ = -1;
  std::string buffer_;
  bool eof_ = false;
  std::vector<std::string> seen_;
};

// Build output folder of all executables (<build>/bin) and the source root.
std::string BinPath(std::string_view name);
std::string SourcePath(std::string_view relative);

// Starts tests/peers' libmodbus RTU slave on `device` with extra arguments
// (see tests/peers/README.md) and waits (up to 5 s) for its "ready" line.
// Throws std::runtime_error when the peer does not come up.
ChildProcess StartRtuSlave(const std::string& device, const std::vector<std::string>& args = {});
// The same for the pymodbus ASCII slave (/usr/bin/python3, up to 15 s).
ChildProcess StartAsciiSlave(const std::string& device, const std::vector<std::string>& args = {});

// Modbus TCP servers on 127.0.0.1 at a port the system picks (*port gets
// it): tests/peers' libmodbus korvane_tcp_slave, and tcp_slave.py (pymodbus;
// "--framer rtu" serves RTU frames over the connection).
ChildProcess StartTcpSlave(const std::vector<std::string>& args, std::uint16_t* port);
ChildProcess StartPyTcpSlave(const std::vector<std::string>& args, std::uint16_t* port);

// "01 03 0a" / "01030A" -> bytes (blanks ignored, either case).
std::string FromHex(std::string_view hex);
// bytes -> "01 03 0A" (upper case, one blank between bytes).
std::string ToHex(std::string_view bytes);

}  // namespace korvane::test
