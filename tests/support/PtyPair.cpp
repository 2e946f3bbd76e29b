#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "support/TestSupport.h"

namespace korvane::test {
namespace {

using Clock = std::chrono::steady_clock;

std::runtime_error SysError(const char* what) {
  return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

int RemainingMs(Clock::time_point end) {
  auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// One read of whatever is waiting, after waiting up to `ms` for it.
// Returns false when nothing came (time-out or hang-up).
bool ReadSome(int fd, int ms, std::string& out) {
  pollfd p{fd, POLLIN, 0};
  int rc = ::poll(&p, 1, ms);
  if (rc < 0 && errno == EINTR) return true;
  if (rc <= 0 || !(p.revents & POLLIN)) return false;
  char buf[4096];
  ssize_t got = ::read(fd, buf, sizeof buf);
  if (got <= 0) return false;
  out.assign(buf, static_cast<std::size_t>(got));
  return true;
}

}  // namespace

PtyPair::PtyPair() {
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw SysError("openpty");
  slavePath_ = name;
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  termios tio{};
  if (::tcgetattr(slave_, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
  }
}

PtyPair::~PtyPair() {
  CloseSlave();
  if (master_ >= 0) ::close(master_);
}

void PtyPair::CloseSlave() {
  if (slave_ >= 0) ::close(slave_);
  slave_ = -1;
}

void PtyPair::Write(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw SysError("write to pty master");
    }
    done += static_cast<std::size_t>(n);
  }
}

std::string PtyPair::ReadFor(Millis timeout) {
  std::string all, piece;
  auto end = Clock::now() + timeout;
  while (Clock::now() < end) {
    if (ReadSome(master_, RemainingMs(end), piece)) {
      all += piece;
    } else if (Clock::now() < end) {
      // Hang-up: nothing more will come; wait out the rest without spinning.
      ::usleep(1000);
    }
  }
  return all;
}

std::vector<std::string> PtyPair::ReadPieces(Millis timeout,
                                             const std::function<bool(const std::string&)>& done) {
  std::vector<std::string> pieces;
  std::string all, piece;
  auto end = Clock::now() + timeout;
  while (!done(all) && Clock::now() < end) {
    if (ReadSome(master_, RemainingMs(end), piece)) {
      if (piece.empty()) continue;
      all += piece;
      pieces.push_back(piece);
    } else if (Clock::now() < end) {
      ::usleep(1000);
    }
  }
  return pieces;
}

std::string PtyPair::ReadAtLeast(std::size_t count, Millis timeout) {
  std::string all;
  for (const auto& p : ReadPieces(timeout, [count](const std::string& s) { return s.size() >= count; }))
    all += p;
  return all;
}

void PtyPair::Drain() {
  std::string piece;
  while (ReadSome(master_, 0, piece)) {
  }
}

}  // namespace korvane::test
