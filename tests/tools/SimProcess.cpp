#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/TestSupport.h"

extern char** environ;

namespace korvane::sim::test {

using Clock = std::chrono::steady_clock;

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvane-sim-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

SimProcess::SimProcess(const std::string& configHome, const std::vector<std::string>& args) {
  std::vector<std::string> argv{korvane::test::BinPath("korvane-sim")};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0) env.emplace_back(*e);
  }
  env.push_back("XDG_CONFIG_HOME=" + configHome);

  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<char*> a, e;
  for (auto& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  for (auto& s : env) e.push_back(s.data());
  e.push_back(nullptr);
  int rc = ::posix_spawn(&pid_, a[0], &actions, nullptr, a.data(), e.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  if (rc != 0) {
    ::close(in[1]);
    ::close(out[0]);
    throw std::runtime_error("cannot start " + argv[0]);
  }
  in_ = in[1];
  out_ = out[0];
}

SimProcess::~SimProcess() {
  if (pid_ > 0 && WaitExit(Millis(0)) < 0) {
    ::kill(pid_, SIGTERM);
    if (WaitExit(Millis(2000)) < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status_, 0);
    }
  }
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
}

std::optional<std::string> SimProcess::ReadLine(Millis timeout) {
  auto end = Clock::now() + timeout;
  for (;;) {
    if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      lines_.push_back(line);
      return line;
    }
    auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
    if (left < 0) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[512];
    ssize_t n = ::read(out_, buf, sizeof buf);
    if (n <= 0) return std::nullopt;
    buffer_.append(buf, static_cast<std::size_t>(n));
  }
}

std::optional<std::string> SimProcess::WaitFor(const std::string& prefix, Millis timeout) {
  auto end = Clock::now() + timeout;
  std::string want = "korvane-sim: " + prefix;
  for (;;) {
    auto left = std::chrono::duration_cast<Millis>(end - Clock::now());
    if (left.count() < 0) return std::nullopt;
    auto line = ReadLine(left);
    if (!line) return std::nullopt;
    if (line->compare(0, want.size(), want) == 0) return line;
  }
}

bool SimProcess::WaitReady(Millis timeout) {
  auto end = Clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<Millis>(end - Clock::now());
    auto line = ReadLine(left.count() < 0 ? Millis(0) : left);
    if (!line) return false;
    if (*line == "korvane-sim: ready") return true;
    // "korvane-sim: COM1 -> /dev/pts/5" or "korvane-sim: device /dev/pts/5"
    if (auto arrow = line->find(" -> "); arrow != std::string::npos) {
      com_ = line->substr(13, arrow - 13);
      device_ = line->substr(arrow + 4);
    } else if (line->rfind("korvane-sim: device ", 0) == 0) {
      device_ = line->substr(20);
    }
  }
}

bool SimProcess::Command(const std::string& line, const std::string& expect, Millis timeout) {
  std::string text = line + "\n";
  if (::write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return false;
  return WaitFor(expect, timeout).has_value();
}

void SimProcess::CloseStdin() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

void SimProcess::Signal(int sig) { ::kill(pid_, sig); }

int SimProcess::WaitExit(Millis timeout) {
  if (status_ >= 0) return WEXITSTATUS(status_);
  auto end = Clock::now() + timeout;
  for (;;) {
    int st = 0;
    if (::waitpid(pid_, &st, WNOHANG) == pid_) {
      status_ = st;
      return WEXITSTATUS(st);
    }
    if (Clock::now() >= end) return -1;
    std::this_thread::sleep_for(Millis(10));
  }
}

}  // namespace korvane::sim::test
