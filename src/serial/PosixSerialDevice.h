#pragma once
// A serial device opened as a POSIX terminal (a UART, a USB adapter, a
// pseudo-terminal).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>

#include "serial/LineTermios.h"
#include "serial/SerialDevice.h"

namespace korvane {

class PosixSerialDevice : public SerialDevice {
 public:
  // Opens path for exclusive read/write use; nullptr when it does not exist,
  // is no terminal, or is held by someone else.
  static std::unique_ptr<PosixSerialDevice> Open(const std::string& path);
  ~PosixSerialDevice() override;

  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  bool IsOpen() const override;
  bool SetState(const Dcb& block) override;
  bool SetTimeouts(const CommTimeouts& timeouts) override;
  bool SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
  bool ModemStatus(std::uint32_t* status) override;
  bool HasModemLines() const override;
  bool ClearErrors(CommStatus* status) override;
  std::size_t Read(char* buffer, std::size_t count) override;
  // poll() on the terminal and on a wake-up pipe that CancelWaits fills.
  InputWait WaitForInput(std::chrono::microseconds timeout, std::chrono::microseconds gap) override;
  void CancelWaits() override;
  std::size_t Write(const char* bytes, std::size_t count) override;
  bool Purge() override;
  void Close() override;

 private:
  PosixSerialDevice(int fd, int wakeRead, int wakeWrite);

  // Every operation holds it shared; Close holds it exclusively, so the
  // descriptor is never closed under a write running on another thread.
  mutable std::shared_mutex mutex_;
  int fd_ = -1;
  int wakeRead_ = -1;   // readable once CancelWaits has run
  int wakeWrite_ = -1;
  CommTimeouts timeouts_{};
  std::atomic<bool> noModemLines_{false};  // TIOCMGET said the device has none
};

// Reads back what a terminal holds (either side of a pseudo-terminal shows
// the other's settings): c_cflag, c_iflag and the output rate in bit/s.
struct TerminalReadback {
  std::uint32_t ControlFlags = 0;
  std::uint32_t InputFlags = 0;
  std::uint32_t Speed = 0;
};
bool ReadTerminalSettings(int fd, TerminalReadback* out);

}  // namespace korvane
