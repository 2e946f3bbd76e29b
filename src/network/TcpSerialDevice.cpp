#include "network/TcpSerialDevice.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "network/ConnectOutcome.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

enum class Phase { Connecting, Connected, Failed, Closed };

// The connect polls in slices this long, so a Close during it is noticed soon.
constexpr int kConnectSliceMs = 50;
// Bytes held while connecting are sent within this time once connected.
constexpr int kFlushHeldMs = 1000;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Sends all bytes within the time; the count sent.
std::size_t SendAll(net::Handle socket, const char* bytes, std::size_t count, Clock::time_point deadline) {
  std::size_t done = 0;
  while (done < count) {
    bool broken = false;
    const std::size_t n = net::Send(socket, bytes + done, count - done, &broken);
    done += n;
    if (broken) break;
    if (n == 0 && !net::WaitWritable(socket, RemainingMs(deadline))) break;
  }
  return done;
}

}  // namespace

struct TcpSerialDevice::Shared {
  // Shared while the socket is used, exclusive to change the phase, the
  // socket or the bytes held: Close never closes a socket under a send.
  mutable std::shared_mutex mutex;
  Phase phase = Phase::Connecting;
  net::Handle socket = net::kNoSocket;
  std::string held;
  CommTimeouts timeouts{};
  std::string portName;
  std::string targetText;  // "Modbus TCP 127.0.0.1:502", recorded with every outcome
  std::atomic<bool> cancel{false};
  std::atomic<bool> connectorDone{false};

  void Fail(const std::string& reason) {
    {
      std::unique_lock lock(mutex);
      if (phase != Phase::Connecting && phase != Phase::Connected) return;
      phase = Phase::Failed;
    }
    RecordConnectOutcome(portName, {ConnectPhase::Failed, reason, targetText});
  }
};

std::unique_ptr<TcpSerialDevice> TcpSerialDevice::Open(const NetworkTarget& target, const std::string& portName,
                                                       const NetworkOptions& options) {
  if (!net::Startup()) return nullptr;
  auto shared = std::make_shared<Shared>();
  shared->portName = portName;
  shared->targetText = NetworkTargetText(target);
  RecordConnectOutcome(portName, {ConnectPhase::Connecting, {}, shared->targetText});
  std::unique_ptr<TcpSerialDevice> device(new TcpSerialDevice(target.Framing, shared));
  device->connector_ = std::thread(&TcpSerialDevice::Connect, shared, target, options);
  return device;
}

TcpSerialDevice::TcpSerialDevice(NetworkFraming framing, std::shared_ptr<Shared> shared)
    : framing_(framing), shared_(std::move(shared)) {}

TcpSerialDevice::~TcpSerialDevice() { Close(); }

void TcpSerialDevice::Connect(std::shared_ptr<Shared> shared, NetworkTarget target, NetworkOptions options) {
  const net::Resolved resolved = options.Resolve ? options.Resolve(target.Host) : net::SystemResolve(target.Host);
  net::Failure failure = resolved.Error != net::Failure::None ? resolved.Error : net::Failure::NameNotFound;
  int error = 0;
  const auto deadline = Clock::now() + options.ConnectTimeout;
  for (const std::string& address : resolved.Addresses) {
    if (shared->cancel.load()) break;
    net::Failure f = net::Failure::None;
    int e = 0;
    const net::Handle socket = net::StartConnect(address, target.Port, &f, &e);
    if (socket == net::kNoSocket) {
      failure = f;
      error = e;
      continue;
    }
    int state = 0;
    while (state == 0 && !shared->cancel.load()) {
      const int left = RemainingMs(deadline);
      if (left == 0) break;
      state = net::FinishConnect(socket, std::min(left, kConnectSliceMs), &f, &e);
    }
    if (state == 1 && !shared->cancel.load()) {
      net::Tune(socket);
      std::unique_lock lock(shared->mutex);
      if (shared->phase == Phase::Connecting) {
        shared->socket = socket;
        shared->phase = Phase::Connected;
        // What was written while connecting (the greeting) goes first.
        SendAll(socket, shared->held.data(), shared->held.size(),
                Clock::now() + std::chrono::milliseconds(kFlushHeldMs));
        shared->held.clear();
        lock.unlock();
        RecordConnectOutcome(shared->portName, {ConnectPhase::Connected, {}, shared->targetText});
      } else {
        net::Close(socket);
      }
      shared->connectorDone.store(true);
      return;
    }
    net::Close(socket);
    if (state == 0) {
      failure = net::Failure::TimedOut;  // the time is used up for every further address too
      break;
    }
    failure = f;
    error = e;
  }
  if (!shared->cancel.load()) shared->Fail(net::FailureText(failure, error));
  shared->connectorDone.store(true);
}

DeviceFraming TcpSerialDevice::Framing() const {
  return framing_ == NetworkFraming::Mbap ? DeviceFraming::Mbap : DeviceFraming::Line;
}

net::Handle TcpSerialDevice::Socket() const {
  std::shared_lock lock(shared_->mutex);
  return shared_->phase == Phase::Connected ? shared_->socket : net::kNoSocket;
}

bool TcpSerialDevice::Connected() const { return Socket() != net::kNoSocket; }

bool TcpSerialDevice::IsOpen() const {
  std::shared_lock lock(shared_->mutex);
  return shared_->phase != Phase::Closed;
}

// A socket has no line settings, modem lines or driver queues: accepted, so
// the same configuration opens a serial port or a network mapping.
bool TcpSerialDevice::SetState(const Dcb&) { return IsOpen(); }
bool TcpSerialDevice::SetupQueues(std::uint32_t, std::uint32_t) { return IsOpen(); }

bool TcpSerialDevice::SetTimeouts(const CommTimeouts& timeouts) {
  std::unique_lock lock(shared_->mutex);
  shared_->timeouts = timeouts;
  return shared_->phase != Phase::Closed;
}

bool TcpSerialDevice::ModemStatus(std::uint32_t* status) {
  *status = 0;
  return false;  // no modem lines: all off
}

bool TcpSerialDevice::ClearErrors(CommStatus* status) {
  *status = CommStatus{};
  {
    std::shared_lock lock(shared_->mutex);
    switch (shared_->phase) {
      case Phase::Connecting: return true;
      case Phase::Failed: status->Gone = true; return true;
      case Phase::Closed: return false;
      case Phase::Connected: break;
    }
    net::Readiness ready;
    if (!net::Probe(shared_->socket, &ready)) return false;
    if (!ready.Closed) {
      status->InQueue = static_cast<std::uint32_t>(std::min<std::size_t>(ready.Pending, 1u << 20));
      return true;
    }
  }
  shared_->Fail("Connection closed by the server");
  status->Gone = true;
  return true;
}

std::size_t TcpSerialDevice::Read(char* buffer, std::size_t count) {
  std::shared_lock lock(shared_->mutex);
  if (shared_->phase != Phase::Connected || count == 0) return 0;
  return net::Receive(shared_->socket, buffer, count);
}

std::size_t TcpSerialDevice::Write(const char* bytes, std::size_t count) {
  // Only a write while connecting needs the state to itself; any other takes
  // it shared, so it never waits for the receive thread's wait for input.
  Phase phase;
  {
    std::shared_lock lock(shared_->mutex);
    phase = shared_->phase;
  }
  if (phase == Phase::Connecting) {
    std::unique_lock lock(shared_->mutex);
    if (shared_->phase == Phase::Connecting) {
      // Held like bytes in a serial driver's queue while flow control holds the line.
      const std::size_t room = kHeldWhileConnecting - std::min(kHeldWhileConnecting, shared_->held.size());
      const std::size_t taken = std::min(room, count);
      shared_->held.append(bytes, taken);
      return taken;
    }
  }
  std::shared_lock lock(shared_->mutex);
  if (shared_->phase != Phase::Connected || count == 0) return 0;
  // The serial write time-outs bound a send as they bound a write to a port.
  const CommTimeouts& t = shared_->timeouts;
  const std::uint64_t totalMs = static_cast<std::uint64_t>(t.WriteTotalTimeoutMultiplier) * count +
                                t.WriteTotalTimeoutConstant;
  const auto deadline = Clock::now() + std::chrono::milliseconds(totalMs == 0 ? kFlushHeldMs : totalMs);
  return SendAll(shared_->socket, bytes, count, deadline);
}

InputWait TcpSerialDevice::WaitForInput(std::chrono::microseconds timeout, std::chrono::microseconds) {
  std::shared_lock lock(shared_->mutex);
  // Until connected there is no socket to wait on: the receive thread pauses instead.
  if (shared_->phase != Phase::Connected) return InputWait::NotSupported;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(std::max(timeout, timeout.zero())).count();
  // Readable also when the peer closed: ClearErrors then reports it gone.
  return net::WaitReadable(shared_->socket, static_cast<int>(std::min<std::int64_t>(ms, 1000)))
             ? InputWait::Arrived
             : InputWait::TimedOut;
}

bool TcpSerialDevice::Purge() {
  std::unique_lock lock(shared_->mutex);
  shared_->held.clear();
  if (shared_->phase != Phase::Connected) return shared_->phase != Phase::Closed;
  // Discards what has arrived, as a purge of the receive queue does.
  char scratch[512];
  for (int i = 0; i < 64 && net::Receive(shared_->socket, scratch, sizeof scratch) > 0; ++i) {
  }
  return true;
}

void TcpSerialDevice::Close() {
  Phase was;
  {
    std::unique_lock lock(shared_->mutex);
    shared_->cancel.store(true);
    was = shared_->phase;
    net::Close(shared_->socket);
    shared_->socket = net::kNoSocket;
    shared_->held.clear();
    shared_->phase = Phase::Closed;
  }
  if (was == Phase::Connected || was == Phase::Connecting) {
    RecordConnectOutcome(shared_->portName, {ConnectPhase::Closed, {}, shared_->targetText});
  }
  std::lock_guard lock(connectorMutex_);
  if (!connector_.joinable()) return;
  // A connect notices the cancel within one slice; a name lookup cannot be
  // interrupted, so a thread still in one is left to finish on its own (it
  // holds only the shared state).
  if (shared_->connectorDone.load()) {
    connector_.join();
  } else {
    connector_.detach();
  }
}

}  // namespace korvane
