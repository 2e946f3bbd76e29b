// Only the kernel's termios header is used here (struct termios2, BOTHER for
// any bit rate); glibc's <termios.h> clashes with it, so it is kept out.
#include "serial/PosixSerialDevice.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <mutex>


namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

// Sets or clears one modem output line. A terminal without modem lines (a
// pseudo-terminal) answers ENOTTY or EINVAL: nothing to set there, not a failure.
bool SetModemLine(int fd, int line, bool raise) {
  if (::ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
  return errno == ENOTTY || errno == EINVAL;
}

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return left > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                : static_cast<int>(left);
}

// Waits for events on fd until the deadline (none: no bound); true when one came.
bool WaitFor(int fd, short events, bool bounded, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, bounded ? RemainingMs(deadline) : -1);
    if (r > 0) return (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

std::unique_ptr<PosixSerialDevice> PosixSerialDevice::Open(const std::string& path) {
  if (path.empty()) return nullptr;
  // O_NONBLOCK stays set: reads return at once with what is queued, and
  // writes are bounded by polling within the write time-out.
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  termios2 probe{};
  if (::ioctl(fd, TCGETS2, &probe) != 0) {  // not a terminal
    ::close(fd);
    return nullptr;
  }
  // No other program may open it while we hold it: TIOCEXCL refuses later
  // opens (except by a privileged process), the lock catches another
  // instance of this program even when it runs as root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  ::ioctl(fd, TIOCEXCL);
  // Bytes that arrived while nobody had the device open are stale.
  ::ioctl(fd, TCFLSH, TCIFLUSH);
  int wake[2] = {-1, -1};
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<PosixSerialDevice>(new PosixSerialDevice(fd, wake[0], wake[1]));
}

PosixSerialDevice::PosixSerialDevice(int fd, int wakeRead, int wakeWrite)
    : fd_(fd), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {}

PosixSerialDevice::~PosixSerialDevice() { Close(); }

bool PosixSerialDevice::IsOpen() const {
  std::shared_lock lock(mutex_);
  return fd_ >= 0;
}

bool PosixSerialDevice::SetState(const Dcb& block) {
  std::shared_lock lock(mutex_);
  if (fd_ < 0) return false;
  const LineTermios line = TermiosFromDcb(block);
  if (!line.Valid) return false;
  termios2 t{};
  if (::ioctl(fd_, TCGETS2, &t) != 0) return false;
  // Raw 8-bit transfer: no echo, no line editing, no character translation.
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
  t.c_iflag |= line.InputFlags;
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR |
                                      CRTSCTS | HUPCL);
  t.c_cflag |= CREAD | CLOCAL | line.SpeedCode | line.ControlFlags;
  t.c_ispeed = line.Speed;
  t.c_ospeed = line.Speed;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  t.c_cc[VSTART] = static_cast<cc_t>(block.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(block.XoffChar);
  // The whole block in one call: a pseudo-terminal refuses some single
  // changes, and a half-applied block would leave the line inconsistent.
  if (::ioctl(fd_, TCSETS2, &t) != 0) return false;
  return SetModemLine(fd_, TIOCM_DTR, line.RaiseDtr) && SetModemLine(fd_, TIOCM_RTS, line.RaiseRts);
}

bool PosixSerialDevice::SetTimeouts(const CommTimeouts& timeouts) {
  std::unique_lock lock(mutex_);  // reads and writes use them under the shared lock
  if (fd_ < 0) return false;
  timeouts_ = timeouts;
  return true;
}

bool PosixSerialDevice::SetupQueues(std::uint32_t, std::uint32_t) {
  // Linux has no call to size a terminal's driver queues: the kernel keeps
  // its own fixed buffers (4 KiB and more). Accepted and ignored.
  std::shared_lock lock(mutex_);
  return fd_ >= 0;
}

bool PosixSerialDevice::ModemStatus(std::uint32_t* status) {
  *status = 0;
  std::shared_lock lock(mutex_);
  if (fd_ < 0) return false;
  int bits = 0;
  // A pseudo-terminal has no modem lines (ENOTTY): they count as all off,
  // now and at every later look.
  if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
    if (errno == ENOTTY || errno == EINVAL) noModemLines_.store(true);
    return false;
  }
  if ((bits & TIOCM_CTS) != 0) *status |= modem::kCtsOn;
  if ((bits & TIOCM_DSR) != 0) *status |= modem::kDsrOn;
  if ((bits & TIOCM_RNG) != 0) *status |= modem::kRingOn;
  if ((bits & TIOCM_CAR) != 0) *status |= modem::kRlsdOn;
  return true;
}

bool PosixSerialDevice::HasModemLines() const { return !noModemLines_.load(); }

bool PosixSerialDevice::ClearErrors(CommStatus* status) {
  *status = CommStatus{};
  std::shared_lock lock(mutex_);
  if (fd_ < 0) return false;
  // A terminal keeps no latched line-error state to clear: with INPCK off
  // bytes with framing or parity errors arrive as they were received.
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    // Hung up for good (adapter unplugged, pty peer closed): reads return
    // 0 from now on, whatever FIONREAD still claims.
    status->Gone = true;
    return true;
  }
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) return false;
  status->InQueue = waiting > 0 ? static_cast<std::uint32_t>(waiting) : 0u;
  return true;
}

std::size_t PosixSerialDevice::Read(char* buffer, std::size_t count) {
  std::shared_lock lock(mutex_);
  if (fd_ < 0 || count == 0) return 0;
  // The component's time-outs (interval "all bits set", totals 0) mean: return
  // at once with what is queued. Other time-outs wait at most their total.
  const CommTimeouts& t = timeouts_;
  const std::uint64_t totalMs = static_cast<std::uint64_t>(t.ReadTotalTimeoutMultiplier) * count +
                                t.ReadTotalTimeoutConstant;
  const bool immediate = t.ReadIntervalTimeout == 0xFFFFFFFFu && totalMs == 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(immediate ? 0 : totalMs);
  std::size_t done = 0;
  for (;;) {
    ssize_t n = ::read(fd_, buffer + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      if (done == count || immediate) return done;
      continue;
    }
    if (n == 0) return done;  // hung up
    if (errno == EINTR) continue;
    if (errno != EAGAIN || immediate || totalMs == 0) return done;
    if (!WaitFor(fd_, POLLIN, true, deadline)) return done;
  }
}

InputWait PosixSerialDevice::WaitForInput(std::chrono::microseconds timeout,
                                          std::chrono::microseconds) {
  std::shared_lock lock(mutex_);
  if (fd_ < 0) return InputWait::TimedOut;
  // Whether the line has gone quiet is the caller's to judge: it reads what
  // came and waits again for the gap.
  const auto us = std::max<std::int64_t>(0, timeout.count());
  timespec span{static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000) * 1000};
  pollfd p[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
  const int r = ::ppoll(p, 2, &span, nullptr);
  if (r <= 0) return InputWait::TimedOut;  // time-out, or a signal: the caller looks again
  if (p[1].revents != 0) return InputWait::TimedOut;  // cancelled: the thread is stopping
  return InputWait::Arrived;  // bytes, or a hang-up that ClearErrors reports
}

void PosixSerialDevice::CancelWaits() {
  std::shared_lock lock(mutex_);
  if (wakeWrite_ < 0) return;
  // One byte is enough: it is never read, so every later wait ends at once.
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &byte, 1);
}

std::size_t PosixSerialDevice::Write(const char* bytes, std::size_t count) {
  std::shared_lock lock(mutex_);
  if (fd_ < 0 || count == 0) return 0;
  // A write of n bytes is given multiplier * n + constant ms (100 n + 1000
  // with the component's defaults); both 0 means no bound.
  const std::uint64_t totalMs = static_cast<std::uint64_t>(timeouts_.WriteTotalTimeoutMultiplier) *
                                    count + timeouts_.WriteTotalTimeoutConstant;
  const bool bounded = totalMs != 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(totalMs);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) break;
    if (!WaitFor(fd_, POLLOUT, bounded, deadline)) break;
  }
  return done;
}

bool PosixSerialDevice::Purge() {
  std::shared_lock lock(mutex_);
  if (fd_ < 0) return false;
  return ::ioctl(fd_, TCFLSH, TCIOFLUSH) == 0;
}

void PosixSerialDevice::Close() {
  std::unique_lock lock(mutex_);
  if (fd_ < 0) return;
  // Unsent output would make close() wait for it to drain (up to 30 s on a
  // UART held up by flow control).
  ::ioctl(fd_, TCFLSH, TCOFLUSH);
  // The exclusive mark can outlive this descriptor (a pty slave whose
  // master stays open), so it is taken back explicitly.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  ::close(wakeRead_);
  ::close(wakeWrite_);
  wakeRead_ = -1;
  wakeWrite_ = -1;
}

bool ReadTerminalSettings(int fd, TerminalReadback* out) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return false;
  out->ControlFlags = t.c_cflag;
  out->InputFlags = t.c_iflag;
  out->Speed = t.c_ospeed;
  return true;
}

}  // namespace korvane
