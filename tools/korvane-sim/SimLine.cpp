#include "SimLine.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace korvane::sim {

namespace {

std::runtime_error SysError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

speed_t SpeedCode(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B9600;
  }
}

// Raw mode with the whole line setting in one call (a pty refuses a call
// whose only change is parity or 7 bits, and drops them silently otherwise).
void Configure(int fd, const LineSetup& setup, bool pty) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) throw SysError("tcgetattr");
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  if (!pty) {
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    t.c_cflag |= setup.DataBits == 7 ? CS7 : CS8;
    if (setup.Parity == 'E') t.c_cflag |= PARENB;
    if (setup.Parity == 'O') t.c_cflag |= PARENB | PARODD;
    if (setup.StopBits == 2) t.c_cflag |= CSTOPB;
  }
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, SpeedCode(setup.Baud));
  ::cfsetospeed(&t, SpeedCode(setup.Baud));
  if (::tcsetattr(fd, TCSANOW, &t) != 0) throw SysError("tcsetattr");
}

}  // namespace

SimLine SimLine::CreatePty(const LineSetup& setup) {
  SimLine line;
  int master = -1, slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) throw SysError("openpty");
  line.fd_ = master;
  line.keep_ = slave;
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave, F_SETFD, FD_CLOEXEC);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  char* name = ::ptsname(master);
  if (!name) throw SysError("ptsname");
  line.path_ = name;
  Configure(slave, setup, true);
  ::tcflush(slave, TCIOFLUSH);
  return line;
}

SimLine SimLine::OpenDevice(const std::string& path, const LineSetup& setup) {
  SimLine line;
  line.fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (line.fd_ < 0) throw SysError("open " + path);
  line.path_ = path;
  Configure(line.fd_, setup, false);
  ::tcflush(line.fd_, TCIOFLUSH);
  return line;
}

SimLine::SimLine(SimLine&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), keep_(std::exchange(other.keep_, -1)),
      path_(std::move(other.path_)) {}

SimLine& SimLine::operator=(SimLine&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    keep_ = std::exchange(other.keep_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

SimLine::~SimLine() { Close(); }

void SimLine::Close() {
  if (fd_ >= 0) ::close(fd_);
  if (keep_ >= 0) ::close(keep_);
  fd_ = -1;
  keep_ = -1;
}

bool SimLine::Read(std::string& into) {
  char buf[512];
  for (;;) {
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) {
      into.append(buf, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n == 0) {
      // A terminal without VMIN/VTIME answers 0 when nothing is waiting; a
      // hung-up one answers 0 too, but then reports the hang-up when polled.
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 0) < 0) return errno == EINTR;
      return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
    }
    // EIO: the far side is gone (a device unplugged, a pty's other end
    // closed). On our own pty the slave handle keeps the line up.
    return false;
  }
}

bool SimLine::Write(const std::string& bytes) {
  std::size_t done = 0;
  int waits = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // Nobody reads the far side and its queue is full: drop the rest after
      // a second rather than stall the simulation.
      if (++waits > 10) return true;
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 100);
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace korvane::sim
