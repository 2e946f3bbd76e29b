#pragma once
// The narrow interface through which the serial component reaches an open
// device. Its operations mirror the Windows serial calls the component was
// designed around, so the same component logic runs on any backend: the
// POSIX terminal device, the Windows one, or a fake one in tests.
//
// An implementation must allow Write and SetState on the main thread while
// the receive thread reads, and Close on the receive thread while the main
// thread writes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/SerialTypes.h"

namespace korvane {

// What ClearErrors reports about the receive side.
struct CommStatus {
  std::uint32_t InQueue = 0;   // bytes waiting in the receive queue
  bool Gone = false;           // the device hung up (unplugged, pty peer closed)
};

// What a device carries: a serial line, or a byte stream to one (a
// transparent gateway), which takes RTU and ASCII frames as they are; or a
// Modbus TCP connection, which takes MBAP frames only.
enum class DeviceFraming { Line, Mbap };

// How a wait for received bytes ended.
enum class InputWait {
  NotSupported,  // the device cannot wait for input: the caller pauses instead
  TimedOut,      // nothing arrived within the time-out (or the wait was cancelled)
  Arrived,       // bytes arrived, or the device hung up, before the time-out
  Gathered,      // bytes arrived and the device itself waited for the end of
                 // their burst (the quiet gap) or for the time-out: hand them on now
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  virtual DeviceFraming Framing() const { return DeviceFraming::Line; }

  virtual bool IsOpen() const = 0;
  // Applies the whole line-settings block; false when the device refuses it.
  virtual bool SetState(const Dcb& block) = 0;
  virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
  virtual bool SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue) = 0;
  // The modem status word (modem::kCtsOn, ...); false when it cannot be read.
  virtual bool ModemStatus(std::uint32_t* status) = 0;
  // False once the device has shown that it has no modem lines at all (a
  // pseudo-terminal): its status reads as all off for good, so nobody needs
  // to look at the lines again while it is open.
  virtual bool HasModemLines() const { return true; }
  // Clears line errors (never reported) and tells how many bytes wait.
  // False when the device cannot be asked at all.
  virtual bool ClearErrors(CommStatus* status) = 0;
  // Reads up to count bytes; returns the count read (never waits for more
  // than is queued with the component's time-outs).
  virtual std::size_t Read(char* buffer, std::size_t count) = 0;
  // Waits at most `timeout` for received bytes, without taking them from
  // the queue (a device may hold them back for Read, and then counts them in
  // ClearErrors' InQueue). `gap` is the quiet time that ends a burst; a
  // device that gathers a burst itself returns Gathered once the line has
  // been quiet that long. Runs on the receive thread while the main thread
  // writes. The default cannot wait: it returns NotSupported at once.
  virtual InputWait WaitForInput(std::chrono::microseconds timeout, std::chrono::microseconds gap);
  // Ends a WaitForInput running on another thread, and makes every later one
  // return at once (the receive thread is stopping). The default does
  // nothing: a wait then ends by its time-out.
  virtual void CancelWaits() {}
  // Writes count bytes within the write time-outs; returns the count written.
  virtual std::size_t Write(const char* bytes, std::size_t count) = 0;
  // Discards both queues and aborts pending transfers.
  virtual bool Purge() = 0;
  virtual void Close() = 0;
};

// Opens the device behind a port name ("COM3") for exclusive use.
class SerialDeviceOpener {
 public:
  virtual ~SerialDeviceOpener() = default;
  // nullptr when the device cannot be opened (absent, in use, no access).
  virtual std::unique_ptr<SerialDevice> Open(const std::string& portName) = 0;
};

}  // namespace korvane
