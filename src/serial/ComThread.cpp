#include "serial/ComThread.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "serial/Platform.h"
#include "serial/SerialPort.h"

namespace korvane {

namespace {
// The longest wait for bytes of a device without modem lines.
constexpr std::chrono::seconds kLinelessWait{1};
}  // namespace

TComThread::TComThread(TSerialPort& port) : port_(port), lastLineStatus_(port.lastLineStatus_) {
  device_ = port_.opener_ ? port_.opener_->Open(port_.portName_) : nullptr;
  if (!device_ || !device_->IsOpen()) return;
  try {
    port_.ApplyLineSettings(device_.get());
    port_.ApplyTimeouts(device_.get());
    port_.ApplyBufferSizes(device_.get());
  } catch (...) {
    return;  // the component reports "Cannot connect"; the device is closed by the destructor
  }
  connectedPort_.store(PortFromName(port_.portName_));
  // Construction runs on the main thread: the handler is called directly.
  if (port_.OnConnect && connectedPort_.load() != spNone) {
    try {
      port_.OnConnect(port_, connectedPort_.load());
    } catch (...) {
      // A handler's error does not undo the connection.
    }
  }
}

TComThread::~TComThread() {
  if (thread_.joinable()) {
    // The owner always joins first; this only keeps a mistake from ending
    // the program through std::terminate.
    RequestStop();
    thread_.join();
  }
  if (device_) {
    device_->Purge();
    device_->Close();
  }
}

void TComThread::Start() {
  if (thread_.joinable()) return;
  finished_.store(false);
  thread_ = std::thread([this] { Execute(); });
}

void TComThread::RequestStop() {
  {
    std::lock_guard lock(wakeMutex_);
    stop_.store(true);
  }
  wake_.notify_all();
  // The device is set at construction and never replaced, so reading the
  // pointer here does not race with the thread; a wait on it ends now.
  if (device_) device_->CancelWaits();
}

void TComThread::Join() {
  if (thread_.joinable()) thread_.join();
}

SerialDevice* TComThread::Device() const {
  return device_ && device_->IsOpen() ? device_.get() : nullptr;
}

std::optional<std::chrono::nanoseconds> TComThread::CpuTime() const {
  if (!thread_.joinable() || finished_.load()) return std::nullopt;
  // const_cast: native_handle() is not const, but only reads the id.
  return ThreadCpuTime(const_cast<std::thread&>(thread_));
}

void TComThread::Execute() {
  ApplyPriority();
  RunLoop();
  Teardown();
  // Nothing of this object or the component is touched after this store.
  finished_.store(true);
}

// One pass: the modem lines once per Delay (once only, when the device has
// none); the bytes waiting, gathered until
// they are due (ReceiveGather); then a wait on the device for more bytes,
// which lasts at most until the next check of the lines. A device that
// cannot wait is paused instead, and what it holds goes out at every pass.
void TComThread::RunLoop() {
  ReceiveGather gather;
  InputWait lastWait = InputWait::TimedOut;
  auto nextLines = ReceiveClock::now();
  std::string chunk;
  while (!stop_.load() && Device() != nullptr) {
    ApplyPriority();
    const auto delay = std::chrono::milliseconds(port_.delay_.load());
    const std::chrono::microseconds gap(port_.quietGapUs_.load());
    gather.SetRules(delay, gap, port_.inputBuffer_.load());
    if (ReceiveClock::now() >= nextLines) {
      CheckLines();
      // Lines a device does not have read as all off for good: after the
      // first look the loop wakes only for bytes (and at most once a second).
      SerialDevice* device = Device();
      const bool lines = device == nullptr || device->HasModemLines();
      nextLines = ReceiveClock::now() + (lines ? ReceiveClock::duration(delay) : kLinelessWait);
    }

    bool gone = false;
    bool got = false;
    try {
      SerialDevice* device = Device();
      CommStatus status;
      if (!stop_.load() && device != nullptr && device->ClearErrors(&status)) {
        gone = status.Gone;
        const std::size_t wanted = std::min<std::size_t>(status.InQueue, gather.Room());
        if (!gone && !stop_.load() && wanted > 0) {
          chunk.resize(wanted);
          const std::size_t n = device->Read(chunk.data(), chunk.size());
          gather.Add(chunk.data(), n, ReceiveClock::now());
          got = n > 0;
        }
      }
      // A device that hung up still hands on what was read from it.
      if (!stop_.load() && !gather.Empty() && (gone || gather.Due(ReceiveClock::now(), lastWait))) {
        const auto at = gather.LastAt();
        DoReceive(gather.Take(), at);
      }
    } catch (...) {
      // A handler's error is discarded; the loop goes on.
    }
    // A device that hung up never comes back under this descriptor: end the
    // connection (OnDisconnect, close) instead of polling a dead line.
    if (gone) break;

    SerialDevice* device = Device();
    if (stop_.load() || device == nullptr) break;
    const auto wait = gather.NextWait(ReceiveClock::now(), nextLines);
    // A wait that said "arrived" and brought nothing is not trusted twice
    // in a row, so a device that keeps saying so cannot make this spin.
    // A pause lasts at most Delay: a device that cannot wait for bytes is
    // asked for them once per Delay whatever its lines.
    if (lastWait == InputWait::Arrived && !got) {
      Pause(std::min<ReceiveClock::duration>(wait, delay));
      lastWait = InputWait::TimedOut;
      continue;
    }
    lastWait = device->WaitForInput(std::chrono::ceil<std::chrono::microseconds>(wait), gap);
    if (lastWait == InputWait::NotSupported) Pause(std::min<ReceiveClock::duration>(wait, delay));
  }
}

void TComThread::CheckLines() {
  try {
    TLineStatusSet lines = ReadLineStatus();
    if (lines != lastLineStatus_) {
      lastLineStatus_ = lines;
      DoLineStatusChange(lines);
    }
  } catch (...) {
    // A handler's error is discarded; the loop goes on.
  }
}

void TComThread::Teardown() {
  try {
    DoDisconnect();
  } catch (...) {
    // Discarded like every handler error.
  }
  if (device_) {
    device_->Purge();
    device_->Close();
  }
  // The signal that ends the component's Close wait.
  connectedPort_.store(spNone);
}

TLineStatusSet TComThread::ReadLineStatus() {
  SerialDevice* device = Device();
  std::uint32_t status = 0;
  if (device == nullptr || !device->ModemStatus(&status)) return 0;
  TLineStatusSet lines = 0;
  if ((status & modem::kCtsOn) != 0) lines |= LineStatusBit(lsCTS);
  if ((status & modem::kDsrOn) != 0) lines |= LineStatusBit(lsDSR);
  if ((status & modem::kRingOn) != 0) lines |= LineStatusBit(lsRING);
  if ((status & modem::kRlsdOn) != 0) lines |= LineStatusBit(lsRLSD);
  return lines;
}

// Each event runs on the main thread while this thread waits; the
// component's fields are written there, so they are only ever touched by
// the main thread.
void TComThread::DoLineStatusChange(TLineStatusSet lines) {
  port_.mainThread_.RunAndWait([this, lines] {
    port_.lastLineStatus_ = lines;
    if (port_.OnLineStatusChange) port_.OnLineStatusChange(port_, lines);
  });
}

void TComThread::DoReceive(std::string data, ReceiveClock::time_point readAt) {
  port_.mainThread_.RunAndWait([this, &data, readAt] {
    port_.receivedData_ = std::move(data);
    port_.receivedAt_ = readAt;
    if (port_.OnReceive) port_.OnReceive(port_, port_.receivedData_);
  });
}

void TComThread::DoDisconnect() {
  TCommPort connected = connectedPort_.load();
  if (connected == spNone) return;
  port_.mainThread_.RunAndWait([this, connected] {
    if (port_.OnDisconnect) port_.OnDisconnect(port_, connected);
  });
}

void TComThread::Pause(ReceiveClock::duration length) {
  // The pause ends early when a stop is requested, so Close is not held up.
  std::unique_lock lock(wakeMutex_);
  wake_.wait_for(lock, length, [this] { return stop_.load(); });
}

void TComThread::ApplyPriority() {
  TThreadPriority wanted = port_.priority_.load();
  if (wanted == appliedPriority_) return;
  appliedPriority_ = wanted;
  SetCurrentThreadPriority(wanted);
}

}  // namespace korvane
