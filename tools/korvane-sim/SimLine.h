#pragma once
// The simulator's end of the serial line: the master side of a new
// pseudo-terminal (whose slave path the master program opens), or an
// existing serial device. Non-blocking, raw, with the line settings applied.

#include <string>

namespace korvane::sim {

struct LineSetup {
  int Baud = 9600;
  char Parity = 'N';
  int DataBits = 8;
  int StopBits = 1;
};

class SimLine {
 public:
  // Creates a pseudo-terminal pair. Throws std::runtime_error on failure.
  static SimLine CreatePty(const LineSetup& setup);
  // Opens an existing device. Throws std::runtime_error on failure.
  static SimLine OpenDevice(const std::string& path, const LineSetup& setup);

  SimLine(SimLine&& other) noexcept;
  SimLine& operator=(SimLine&& other) noexcept;
  SimLine(const SimLine&) = delete;
  SimLine& operator=(const SimLine&) = delete;
  ~SimLine();

  int Fd() const { return fd_; }
  // The path the master program opens (the pty's slave path, or the device).
  const std::string& Path() const { return path_; }
  bool IsPty() const { return keep_ >= 0; }

  // Reads what is waiting (empty when nothing). False when the line is gone.
  bool Read(std::string& into);
  // Writes all bytes (waits while the line's queue is full). False when the line is gone.
  bool Write(const std::string& bytes);
  void Close();

 private:
  SimLine() = default;
  int fd_ = -1;
  int keep_ = -1;  // our own handle on the pty's slave side, so the far side may come and go
  std::string path_;
};

}  // namespace korvane::sim
