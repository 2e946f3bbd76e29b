#pragma once
// A serial device opened as a Windows communications resource (\\.\COMn),
// with synchronous I/O: reads and writes are single ReadFile/WriteFile calls
// bounded by the driver's time-outs. A wait for input is a ReadFile with an
// interval time-out (the quiet gap that ends a burst) and a total time-out;
// the bytes it brings are held for the next Read.


#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "base/LeanWindows.h"
#include "serial/SerialDevice.h"

namespace korvane {

class Win32SerialDevice : public SerialDevice {
 public:
  // Opens COM1..COM99 for exclusive read/write use; nullptr for any other
  // name, or when the port is absent or held by someone else.
  static std::unique_ptr<Win32SerialDevice> Open(const std::string& portName);
  ~Win32SerialDevice() override;

  Win32SerialDevice(const Win32SerialDevice&) = delete;
  Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

  bool IsOpen() const override;
  bool SetState(const Dcb& block) override;
  bool SetTimeouts(const CommTimeouts& timeouts) override;
  bool SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
  bool ModemStatus(std::uint32_t* status) override;
  bool ClearErrors(CommStatus* status) override;
  std::size_t Read(char* buffer, std::size_t count) override;
  InputWait WaitForInput(std::chrono::microseconds timeout, std::chrono::microseconds gap) override;
  std::size_t Write(const char* bytes, std::size_t count) override;
  bool Purge() override;
  void Close() override;

 private:
  explicit Win32SerialDevice(HANDLE handle);

  // Every operation holds it shared; Close holds it exclusively, so the
  // handle is never closed under a write running on another thread.
  mutable std::shared_mutex mutex_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  COMMTIMEOUTS timeouts_{MAXDWORD, 0, 0, 0, 0};  // the component's, put back after every wait
  std::uint32_t inQueue_ = 4096;   // the most bytes one wait reads
  std::mutex heldMutex_;
  std::string held_;               // read by a wait, not yet by Read
};

// The longest one wait for input lasts on Windows, in milliseconds: a write
// on the same port waits for it to end.
inline constexpr DWORD kLongestWaitMs = 10;

// The time-outs of one wait for input: the gap and the time-out in whole
// milliseconds rounded up, at least 1 (all zeros would wait for ever), the
// time-out at most kLongestWaitMs; the write time-outs as given.
COMMTIMEOUTS WaitTimeouts(const COMMTIMEOUTS& configured, std::chrono::microseconds timeout,
                          std::chrono::microseconds gap);

// The block as the system's DCB: the same fields in the same order, the
// flag word laid over the DCB's bit-fields.
DCB ToWindowsDcb(const Dcb& block);

// The path CreateFileA opens for a port name: "\\.\COM3" for "COM3", empty
// for a text that is not COM1..COM99.
std::string DevicePathOf(const std::string& portName);

}  // namespace korvane
