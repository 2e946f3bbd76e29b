#pragma once
// A device behind the serial component's platform interface, for what a
// pseudo-terminal cannot show: modem input lines, refused line settings and
// the order of the calls the component makes. Thread-safe: the receive
// thread and the test's main thread use it at once.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/SerialDevice.h"

namespace korvane::test {

// The line as the far end and the test see it.
class FakeLine {
 public:
  void SetModemStatus(std::uint32_t status) {
    std::lock_guard lock(mutex_);
    modemStatus_ = status;
  }
  void SetModemStatusFails(bool fails) {
    std::lock_guard lock(mutex_);
    modemFails_ = fails;
  }
  // A device without modem lines (a pseudo-terminal, a network device).
  void SetNoModemLines(bool none) { noLines_.store(none); }
  // How often the modem lines were asked for.
  int ModemReads() {
    std::lock_guard lock(mutex_);
    return modemReads_;
  }
  void SetRefuseState(bool refuse) {
    std::lock_guard lock(mutex_);
    refuseState_ = refuse;
  }
  void SetGone() {
    std::lock_guard lock(mutex_);
    gone_ = true;
    changed_.notify_all();
  }
  // Bytes the far end sends (the component reads them).
  void Send(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    incoming_ += bytes;
    changed_.notify_all();
  }
  // From now on the device waits for input as a terminal does (by default
  // it cannot, and the receive thread pauses instead).
  void SetCanWait(bool can) {
    std::lock_guard lock(mutex_);
    canWait_ = can;
  }
  // Bytes sent that the component has not read yet.
  std::size_t Unread() const {
    std::lock_guard lock(mutex_);
    return incoming_.size();
  }
  std::string Written() const {
    std::lock_guard lock(mutex_);
    return written_;
  }
  // "open COM4", "state 1011", "timeouts", "queues 1024/1024", "purge", "close"...
  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::vector<Dcb> States() const {
    std::lock_guard lock(mutex_);
    return states_;
  }
  bool Open() const {
    std::lock_guard lock(mutex_);
    return open_;
  }
  CommTimeouts Timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
  }

 private:
  friend class FakeSerialDevice;
  friend class FakeOpener;

  mutable std::mutex mutex_;
  std::uint32_t modemStatus_ = 0;
  bool modemFails_ = false;
  int modemReads_ = 0;
  std::atomic<bool> noLines_{false};
  bool refuseState_ = false;
  bool gone_ = false;
  bool open_ = false;
  bool canWait_ = false;
  std::condition_variable changed_;  // bytes came or the device went
  std::string incoming_;
  std::string written_;
  std::vector<std::string> calls_;
  std::vector<Dcb> states_;
  CommTimeouts timeouts_{};
};

class FakeSerialDevice : public SerialDevice {
 public:
  explicit FakeSerialDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
  ~FakeSerialDevice() override { Close(); }

  bool IsOpen() const override {
    std::lock_guard lock(line_->mutex_);
    return line_->open_;
  }
  bool SetState(const Dcb& block) override {
    std::lock_guard lock(line_->mutex_);
    char text[32];
    std::snprintf(text, sizeof text, "state %04x", static_cast<unsigned>(block.Flags));
    line_->calls_.emplace_back(text);
    line_->states_.push_back(block);
    return line_->open_ && !line_->refuseState_;
  }
  bool SetTimeouts(const CommTimeouts& timeouts) override {
    std::lock_guard lock(line_->mutex_);
    line_->calls_.emplace_back("timeouts");
    line_->timeouts_ = timeouts;
    return true;
  }
  bool SetupQueues(std::uint32_t in, std::uint32_t out) override {
    std::lock_guard lock(line_->mutex_);
    line_->calls_.push_back("queues " + std::to_string(in) + "/" + std::to_string(out));
    return true;
  }
  bool HasModemLines() const override { return !line_->noLines_.load(); }
  bool ModemStatus(std::uint32_t* status) override {
    std::lock_guard lock(line_->mutex_);
    ++line_->modemReads_;
    *status = line_->modemFails_ ? 0 : line_->modemStatus_;
    return !line_->modemFails_;
  }
  bool ClearErrors(CommStatus* status) override {
    std::lock_guard lock(line_->mutex_);
    status->Gone = line_->gone_;
    status->InQueue = static_cast<std::uint32_t>(line_->incoming_.size());
    return line_->open_;
  }
  std::size_t Read(char* buffer, std::size_t count) override {
    std::lock_guard lock(line_->mutex_);
    std::size_t n = std::min(count, line_->incoming_.size());
    line_->incoming_.copy(buffer, n);
    line_->incoming_.erase(0, n);
    return n;
  }
  InputWait WaitForInput(std::chrono::microseconds timeout, std::chrono::microseconds) override {
    std::unique_lock lock(line_->mutex_);
    if (!line_->canWait_) return InputWait::NotSupported;
    const bool woke = line_->changed_.wait_for(lock, timeout, [&] {
      return cancelled_ || !line_->incoming_.empty() || line_->gone_;
    });
    return woke && !cancelled_ ? InputWait::Arrived : InputWait::TimedOut;
  }
  void CancelWaits() override {
    std::lock_guard lock(line_->mutex_);
    cancelled_ = true;
    line_->changed_.notify_all();
  }
  std::size_t Write(const char* bytes, std::size_t count) override {
    std::lock_guard lock(line_->mutex_);
    if (!line_->open_) return 0;
    line_->written_.append(bytes, count);
    return count;
  }
  bool Purge() override {
    std::lock_guard lock(line_->mutex_);
    if (line_->open_) line_->calls_.emplace_back("purge");
    return line_->open_;
  }
  void Close() override {
    std::lock_guard lock(line_->mutex_);
    if (!line_->open_) return;
    line_->calls_.emplace_back("close");
    line_->open_ = false;
  }

 private:
  std::shared_ptr<FakeLine> line_;
  bool cancelled_ = false;  // under the line's mutex
};

// Hands out a FakeSerialDevice on the shared line for every port name
// except those it is told are absent.
class FakeOpener : public SerialDeviceOpener {
 public:
  explicit FakeOpener(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
  std::unique_ptr<SerialDevice> Open(const std::string& portName) override {
    std::lock_guard lock(line_->mutex_);
    line_->calls_.push_back("open " + portName);
    if (portName == absent_ || line_->open_) return nullptr;
    line_->open_ = true;
    line_->gone_ = false;
    return std::make_unique<FakeSerialDevice>(line_);
  }
  void SetAbsent(std::string portName) { absent_ = std::move(portName); }

 private:
  std::shared_ptr<FakeLine> line_;
  std::string absent_;
};

}  // namespace korvane::test
