#pragma once
// Two pseudo-terminals joined back to back, like a null-modem cable: what
// one slave side writes, the other slave side reads. The component opens
// one end, a Modbus peer the other.

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include "support/TestSupport.h"

namespace korvane::test {

class PtyBridge {
 public:
  PtyBridge() : relay_([this] { Relay(); }) {}
  ~PtyBridge() {
    stop_.store(true);
    relay_.join();
  }
  PtyBridge(const PtyBridge&) = delete;
  PtyBridge& operator=(const PtyBridge&) = delete;

  const std::string& PathA() const { return a_->SlavePath(); }
  const std::string& PathB() const { return b_->SlavePath(); }

 private:
  void Relay() {
    const int fds[2] = {a_->MasterFd(), b_->MasterFd()};
    char buffer[4096];
    while (!stop_.load()) {
      pollfd p[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
      if (::poll(p, 2, 10) <= 0) continue;
      for (int i = 0; i < 2; ++i) {
        if ((p[i].revents & POLLIN) == 0) continue;
        ssize_t n = ::read(fds[i], buffer, sizeof buffer);
        for (ssize_t done = 0; n > 0 && done < n;) {
          ssize_t w = ::write(fds[1 - i], buffer + done, static_cast<std::size_t>(n - done));
          if (w <= 0) break;
          done += w;
        }
      }
    }
  }

  std::unique_ptr<PtyPair> a_ = std::make_unique<PtyPair>();
  std::unique_ptr<PtyPair> b_ = std::make_unique<PtyPair>();
  std::atomic<bool> stop_{false};
  std::thread relay_;
};

}  // namespace korvane::test
