#include "serial/Win32SerialDevice.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>

#include "serial/PortNames.h"

namespace korvane {

namespace {

static_assert(sizeof(DCB) == sizeof(Dcb), "Dcb mirrors the system's DCB");
static_assert(modem::kCtsOn == MS_CTS_ON && modem::kDsrOn == MS_DSR_ON &&
                  modem::kRingOn == MS_RING_ON && modem::kRlsdOn == MS_RLSD_ON,
              "the modem status bits are the system's");

// Drives one modem output line. A port without modem lines (wine on a
// pseudo-terminal answers ERROR_NOT_SUPPORTED) has nothing to set: not a failure.
bool SetModemLine(HANDLE handle, DWORD function) {
  return ::EscapeCommFunction(handle, function) || ::GetLastError() == ERROR_NOT_SUPPORTED;
}

DWORD ClampedCount(std::size_t count) {
  constexpr std::size_t kMax = std::numeric_limits<DWORD>::max();
  return static_cast<DWORD>(count > kMax ? kMax : count);
}

DWORD WholeMs(std::chrono::microseconds span) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(span).count();
  if (ms < 1) return 1;
  return ms >= static_cast<long long>(MAXDWORD) ? MAXDWORD - 1 : static_cast<DWORD>(ms);
}

}  // namespace

COMMTIMEOUTS WaitTimeouts(const COMMTIMEOUTS& configured, std::chrono::microseconds timeout,
                          std::chrono::microseconds gap) {
  COMMTIMEOUTS t = configured;
  t.ReadIntervalTimeout = WholeMs(gap);
  t.ReadTotalTimeoutMultiplier = 0;
  // Calls on a port opened for synchronous use run one after another: a
  // write from the main thread waits until a read in progress has ended. A
  // wait is therefore cut short at kLongestWaitMs (the receive thread simply
  // waits again), so a request is never held up for a whole Delay.
  t.ReadTotalTimeoutConstant = std::min<DWORD>(WholeMs(timeout), kLongestWaitMs);
  return t;
}

std::string DevicePathOf(const std::string& portName) {
  if (PortFromName(portName) == spNone) return {};
  return "\\\\.\\" + portName;
}

DCB ToWindowsDcb(const Dcb& block) {
  DCB out{};
  std::memcpy(&out, &block, sizeof out);
  out.DCBlength = sizeof out;
  return out;
}

std::unique_ptr<Win32SerialDevice> Win32SerialDevice::Open(const std::string& portName) {
  const std::string path = DevicePathOf(portName);
  if (path.empty()) return nullptr;
  // No sharing: a second open of the port is refused while we hold it.
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  DCB probe{};
  probe.DCBlength = sizeof probe;
  if (!::GetCommState(handle, &probe)) {  // a file or device that is no serial port
    ::CloseHandle(handle);
    return nullptr;
  }
  // Bytes that arrived while nobody had the port open are stale.
  ::PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR);
  return std::unique_ptr<Win32SerialDevice>(new Win32SerialDevice(handle));
}

Win32SerialDevice::Win32SerialDevice(HANDLE handle) : handle_(handle) {}

Win32SerialDevice::~Win32SerialDevice() { Close(); }

bool Win32SerialDevice::IsOpen() const {
  std::shared_lock lock(mutex_);
  return handle_ != INVALID_HANDLE_VALUE;
}

bool Win32SerialDevice::SetState(const Dcb& block) {
  std::shared_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  DCB current{};
  current.DCBlength = sizeof current;
  if (!::GetCommState(handle_, &current)) return false;
  DCB wanted = ToWindowsDcb(block);
  if (!::SetCommState(handle_, &wanted)) return false;
  // SetCommState sets the lines under "enable" and "disable" control; they
  // are driven once more so that a port whose driver leaves them alone still
  // shows them as asked. Hand-shake and toggle modes belong to the driver.
  const std::uint32_t dtr = block.Flags & dcb::kDtrControlMask;
  const std::uint32_t rts = block.Flags & dcb::kRtsControlMask;
  bool ok = true;
  if (dtr == 0 || dtr == dcb::kDtrControlEnable) {
    ok = SetModemLine(handle_, dtr == 0 ? CLRDTR : SETDTR) && ok;
  }
  if (rts == 0 || rts == dcb::kRtsControlEnable) {
    ok = SetModemLine(handle_, rts == 0 ? CLRRTS : SETRTS) && ok;
  }
  return ok;
}

bool Win32SerialDevice::SetTimeouts(const CommTimeouts& timeouts) {
  std::shared_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  COMMTIMEOUTS t{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                 timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                 timeouts.WriteTotalTimeoutConstant};
  timeouts_ = t;  // set at open, before the receive thread waits
  return ::SetCommTimeouts(handle_, &t) != 0;
}

bool Win32SerialDevice::SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue) {
  std::shared_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  if (inQueue > 0) inQueue_ = inQueue;
  return ::SetupComm(handle_, inQueue, outQueue) != 0;
}

bool Win32SerialDevice::ModemStatus(std::uint32_t* status) {
  *status = 0;
  std::shared_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  DWORD bits = 0;
  if (!::GetCommModemStatus(handle_, &bits)) return false;
  *status = bits & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
  return true;
}

bool Win32SerialDevice::ClearErrors(CommStatus* status) {
  *status = CommStatus{};
  std::shared_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  DWORD errors = 0;
  COMSTAT stat{};
  if (!::ClearCommError(handle_, &errors, &stat)) {
    // The port went away under us (a USB adapter unplugged): the handle
    // answers nothing any more.
    const DWORD why = ::GetLastError();
    if (why == ERROR_ACCESS_DENIED || why == ERROR_BAD_COMMAND || why == ERROR_DEVICE_REMOVED ||
        why == ERROR_OPERATION_ABORTED || why == ERROR_GEN_FAILURE) {
      status->Gone = true;
      return true;
    }
    return false;
  }
  std::lock_guard held(heldMutex_);
  status->InQueue = stat.cbInQue + static_cast<std::uint32_t>(held_.size());
  return true;
}

std::size_t Win32SerialDevice::Read(char* buffer, std::size_t count) {
  std::shared_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE || count == 0) return 0;
  std::size_t done = 0;
  {
    std::lock_guard held(heldMutex_);
    done = std::min(count, held_.size());
    held_.copy(buffer, done);
    held_.erase(0, done);
  }
  if (done == count) return done;
  // The component's time-outs are in effect here: this returns at once.
  DWORD read = 0;
  if (!::ReadFile(handle_, buffer + done, ClampedCount(count - done), &read, nullptr)) return done;
  return done + read;
}

InputWait Win32SerialDevice::WaitForInput(std::chrono::microseconds timeout,
                                          std::chrono::microseconds gap) {
  std::shared_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE) return InputWait::TimedOut;
  std::lock_guard held(heldMutex_);
  if (!held_.empty()) return InputWait::Gathered;  // what the last wait read comes first
  // The read ends once the line has been quiet for the interval after a
  // byte, once the total time-out has passed, or once the buffer is full:
  // in each case what it brought goes on at once.
  COMMTIMEOUTS wait = WaitTimeouts(timeouts_, timeout, gap);
  if (!::SetCommTimeouts(handle_, &wait)) return InputWait::NotSupported;
  held_.resize(inQueue_);
  DWORD read = 0;
  const auto start = std::chrono::steady_clock::now();
  const BOOL ok = ::ReadFile(handle_, held_.data(), ClampedCount(held_.size()), &read, nullptr);
  // A read cut short at kLongestWaitMs may have stopped in the middle of a
  // burst: the caller then judges the quiet gap itself.
  const bool cut = wait.ReadTotalTimeoutConstant < WholeMs(timeout) &&
                   std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(kLongestWaitMs);
  held_.resize(read);
  ::SetCommTimeouts(handle_, &timeouts_);
  // A failed read may be a port that went away: ClearErrors tells.
  if (!ok) return InputWait::Arrived;
  if (read == 0) return InputWait::TimedOut;
  return cut ? InputWait::Arrived : InputWait::Gathered;
}

std::size_t Win32SerialDevice::Write(const char* bytes, std::size_t count) {
  std::shared_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE || count == 0) return 0;
  DWORD written = 0;
  // The count is what the driver reports, also when the call failed part-way.
  ::WriteFile(handle_, bytes, ClampedCount(count), &written, nullptr);
  return written;
}

bool Win32SerialDevice::Purge() {
  std::shared_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  {
    std::lock_guard held(heldMutex_);
    held_.clear();
  }
  return ::PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) != 0;
}

void Win32SerialDevice::Close() {
  std::unique_lock lock(mutex_);
  if (handle_ == INVALID_HANDLE_VALUE) return;
  // Unsent output would hold CloseHandle up while it drains.
  ::PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
  ::CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

}  // namespace korvane
