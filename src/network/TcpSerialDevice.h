#pragma once
// A "serial device" that is a TCP connection to a Modbus TCP server or to a
// transparent serial-to-Ethernet gateway, for a COM name mapped to
// tcp://HOST:PORT or rtu+tcp://HOST:PORT.
//
// Opening never waits: the name lookup and the connect run on a thread of
// their own, bounded by the connect time-out. Until the connection is up
// the device reads nothing and keeps what is written (up to 4 KiB), and
// sends it once connected; a connect that fails, and a connection the peer
// closes, make the device gone, so the receive thread ends the connection
// as it does for an unplugged adapter. Line settings, time-outs and queue
// sizes have no meaning on a socket: they are accepted and not applied.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "network/NetSocket.h"
#include "network/NetworkTarget.h"
#include "serial/SerialDevice.h"

namespace korvane {

struct NetworkOptions {
  // Name lookup; empty: the system's. Tests hand in their own, so that a
  // failed lookup never asks the system's resolver about an unknown name.
  std::function<net::Resolved(const std::string& host)> Resolve;
  std::chrono::milliseconds ConnectTimeout{3000};
};

class TcpSerialDevice : public SerialDevice {
 public:
  // Starts connecting; portName is the COM name whose outcome is recorded
  // (ConnectOutcome.h).
  static std::unique_ptr<TcpSerialDevice> Open(const NetworkTarget& target, const std::string& portName,
                                               const NetworkOptions& options);
  ~TcpSerialDevice() override;
  TcpSerialDevice(const TcpSerialDevice&) = delete;
  TcpSerialDevice& operator=(const TcpSerialDevice&) = delete;

  DeviceFraming Framing() const override;
  // The connected socket, for a receive loop that waits on it; kNoSocket
  // while connecting and after the connection ended.
  net::Handle Socket() const;
  bool Connected() const;

  bool IsOpen() const override;
  bool SetState(const Dcb& block) override;
  bool SetTimeouts(const CommTimeouts& timeouts) override;
  bool SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
  bool ModemStatus(std::uint32_t* status) override;
  bool ClearErrors(CommStatus* status) override;
  std::size_t Read(char* buffer, std::size_t count) override;
  // Waits on the socket; a stop request is not signalled, so a wait ends by
  // its time-out, which the receive thread keeps within one Delay.
  InputWait WaitForInput(std::chrono::microseconds timeout, std::chrono::microseconds gap) override;
  std::size_t Write(const char* bytes, std::size_t count) override;
  bool Purge() override;
  void Close() override;

  static constexpr std::size_t kHeldWhileConnecting = 4096;

 private:
  struct Shared;
  TcpSerialDevice(NetworkFraming framing, std::shared_ptr<Shared> shared);
  static void Connect(std::shared_ptr<Shared> shared, NetworkTarget target, NetworkOptions options);

  NetworkFraming framing_;
  std::shared_ptr<Shared> shared_;
  std::mutex connectorMutex_;
  std::thread connector_;
};

}  // namespace korvane
