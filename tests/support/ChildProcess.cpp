#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/TestSupport.h"

extern char** environ;

namespace korvane::test {
namespace {

using Clock = std::chrono::steady_clock;

std::runtime_error SysError(const char* what, int err) {
  return std::runtime_error(std::string(what) + ": " + std::strerror(err));
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, const std::vector<std::string>& environment) {
  if (argv.empty()) throw std::invalid_argument("ChildProcess: empty argv");
  // This process's environment less the names `environment` sets, then those.
  auto overridden = [&environment](std::string_view entry) {
    std::string_view name = entry.substr(0, entry.find('=') + 1);  // "NAME="
    for (std::string_view over : environment) {
      if (over.substr(0, name.size()) == name) return true;
    }
    return false;
  };
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (!overridden(*e)) env.emplace_back(*e);
  }
  env.insert(env.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (auto& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) throw SysError("pipe", errno);
  if (::pipe2(out, O_CLOEXEC) != 0) {
    int e = errno;
    ::close(in[0]);
    ::close(in[1]);
    throw SysError("pipe", e);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // dup2 clears close-on-exec on the new descriptors 0 and 1.
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);

  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  int rc = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  if (rc != 0) {
    ::close(in[1]);
    ::close(out[0]);
    pid_ = -1;
    throw SysError(("spawn " + argv[0]).c_str(), rc);
  }
  stdinFd_ = in[1];
  stdoutFd_ = out[0];
}

ChildProcess::~ChildProcess() { Release(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Release();
    pid_ = std::exchange(other.pid_, -1);
    stdinFd_ = std::exchange(other.stdinFd_, -1);
    stdoutFd_ = std::exchange(other.stdoutFd_, -1);
    status_ = std::exchange(other.status_, -1);
    buffer_ = std::move(other.buffer_);
    eof_ = other.eof_;
    seen_ = std::move(other.seen_);
  }
  return *this;
}

void ChildProcess::Release() {
  Terminate();
  CloseStdin();
  if (stdoutFd_ >= 0) ::close(stdoutFd_);
  stdoutFd_ = -1;
}

std::optional<std::string> ChildProcess::ReadLine(Millis timeout) {
  auto end = Clock::now() + timeout;
  for (;;) {
    auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      seen_.push_back(line);
      return line;
    }
    if (eof_ || stdoutFd_ < 0) return std::nullopt;
    auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
    if (left <= 0) return std::nullopt;
    pollfd p{stdoutFd_, POLLIN, 0};
    int rc = ::poll(&p, 1, static_cast<int>(left));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) return std::nullopt;
    char buf[4096];
    ssize_t got = ::read(stdoutFd_, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      eof_ = true;
      continue;
    }
    buffer_.append(buf, static_cast<std::size_t>(got));
  }
}

std::optional<std::string> ChildProcess::WaitForLine(std::string_view prefix, Millis timeout) {
  auto end = Clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<Millis>(end - Clock::now());
    auto line = ReadLine(left.count() > 0 ? left : Millis(0));
    if (!line) return std::nullopt;
    if (line->compare(0, prefix.size(), prefix) == 0) return line;
  }
}

void ChildProcess::CloseStdin() {
  if (stdinFd_ >= 0) ::close(stdinFd_);
  stdinFd_ = -1;
}

bool ChildProcess::WriteLine(std::string_view line) {
  if (stdinFd_ < 0) return false;
  std::string text(line);
  text.push_back('\n');
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(stdinFd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void ChildProcess::Signal(int sig) {
  if (pid_ > 0) ::kill(pid_, sig);
}

int ChildProcess::WaitExit(Millis timeout) {
  auto end = Clock::now() + timeout;
  while (Running()) {
    if (Clock::now() >= end) return -1;
    std::this_thread::sleep_for(Millis(10));
  }
  return status_ >= 0 ? WEXITSTATUS(status_) : -1;
}

bool ChildProcess::Running() {
  if (pid_ <= 0) return false;
  int st = 0;
  pid_t r = ::waitpid(pid_, &st, WNOHANG);
  if (r == pid_) {
    status_ = st;
    pid_ = -1;
    return false;
  }
  return r == 0;
}

int ChildProcess::Terminate(Millis grace) {
  if (pid_ <= 0) return status_;
  ::kill(pid_, SIGTERM);
  auto end = Clock::now() + grace;
  int st = 0;
  for (;;) {
    pid_t r = ::waitpid(pid_, &st, WNOHANG);
    if (r == pid_ || (r < 0 && errno != EINTR)) break;
    if (Clock::now() >= end) {
      ::kill(pid_, SIGKILL);
      while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(Millis(5));
  }
  pid_ = -1;
  status_ = st;
  return status_;
}

namespace {

ChildProcess StartPeer(std::vector<std::string> argv, Millis wait, const char* what) {
  ChildProcess child(std::move(argv));
  if (!child.WaitForLine("ready", wait)) {
    std::string seen;
    for (const auto& l : child.LinesSeen()) seen += l + " | ";
    throw std::runtime_error(std::string(what) + " did not report ready; output: " + seen);
  }
  return child;
}

}  // namespace

ChildProcess StartRtuSlave(const std::string& device, const std::vector<std::string>& args) {
  std::vector<std::string> argv{BinPath("korvane_rtu_slave"), "--device", device};
  argv.insert(argv.end(), args.begin(), args.end());
  return StartPeer(std::move(argv), Millis(5000), "korvane_rtu_slave");
}

ChildProcess StartAsciiSlave(const std::string& device, const std::vector<std::string>& args) {
  std::vector<std::string> argv{"/usr/bin/python3", SourcePath("tests/peers/ascii_slave.py"), "--device", device};
  argv.insert(argv.end(), args.begin(), args.end());
  return StartPeer(std::move(argv), Millis(15000), "ascii_slave.py");
}

namespace {

// Starts a TCP peer that reports "ready PORT" and reads the port.
ChildProcess StartTcpPeer(std::vector<std::string> argv, Millis wait, const char* what, std::uint16_t* port) {
  ChildProcess child = StartPeer(std::move(argv), wait, what);
  const std::string& ready = child.LinesSeen().back();
  *port = static_cast<std::uint16_t>(std::stoi(ready.substr(ready.find(' ') + 1)));
  return child;
}

}  // namespace

ChildProcess StartTcpSlave(const std::vector<std::string>& args, std::uint16_t* port) {
  std::vector<std::string> argv{BinPath("korvane_tcp_slave")};
  argv.insert(argv.end(), args.begin(), args.end());
  return StartTcpPeer(std::move(argv), Millis(5000), "korvane_tcp_slave", port);
}

ChildProcess StartPyTcpSlave(const std::vector<std::string>& args, std::uint16_t* port) {
  std::vector<std::string> argv{"/usr/bin/python3", SourcePath("tests/peers/tcp_slave.py")};
  argv.insert(argv.end(), args.begin(), args.end());
  return StartTcpPeer(std::move(argv), Millis(15000), "tcp_slave.py", port);
}

}  // namespace korvane::test
