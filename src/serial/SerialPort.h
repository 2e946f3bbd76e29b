#pragma once
// TSerialPort: the serial port component. It holds the line settings of one
// COM port, opens and closes it, writes to it, and raises events for
// received bytes, modem-line changes, connection and disconnection. Its
// receive thread (TComThread) owns the open device while the port is open
// and runs every event on the main thread through the dispatcher.
//
// All member functions are called on the main thread.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "serial/MainThread.h"
#include "serial/PortNames.h"
#include "serial/SerialDevice.h"
#include "serial/SerialTypes.h"

namespace korvane {

class TComThread;

class TSerialPort {
 public:
  using TSendReceiveEvent = std::function<void(TSerialPort& sender, const std::string& buffer)>;
  using TLineStatusEvent = std::function<void(TSerialPort& sender, TLineStatusSet lineStatus)>;
  using TConnectEvent = std::function<void(TSerialPort& sender, TCommPort port)>;

  // The application passes the system's opener (SystemSerialDeviceOpener);
  // tests pass one that maps COM names to pseudo-terminals or hands out fake
  // devices.
  TSerialPort(MainThreadDispatcher& mainThread, std::shared_ptr<SerialDeviceOpener> opener);
  // Stops every receive thread and waits for it (dispatching the main
  // thread's events meanwhile), so no thread outlives the component.
  ~TSerialPort();

  TSerialPort(const TSerialPort&) = delete;
  TSerialPort& operator=(const TSerialPort&) = delete;

  static std::string NameFromPort(TCommPort port) { return korvane::NameFromPort(port); }
  static TCommPort PortFromName(const std::string& name) { return korvane::PortFromName(name); }
  static TBaudRate BaudRateFromValue(std::uint32_t rate) { return korvane::BaudRateFromValue(rate); }
  // brCustom gives CustomBaudRate.
  std::uint32_t ValueFromBaudRate(TBaudRate baudRate) const;

  // Connects to the port named by PortName. Throws SerialError
  // "Cannot connect to " + PortName + "." on failure.
  void Open();
  // Disconnects; never throws. Waits for the receive thread at most 500
  // passes (Delay ms, then 10 ms each), dispatching the main thread's events.
  void Close();
  // Writes text up to its first zero byte; returns the count written.
  std::size_t WriteString(const std::string& text);
  // Writes count raw bytes; returns the count written. Count 0 throws.
  std::size_t WriteBuffer(const void* bytes, std::size_t count);

  TCommPort Port() const;
  void SetPort(TCommPort port);
  const std::string& PortName() const { return portName_; }
  void SetPortName(std::string name) { portName_ = std::move(name); }
  TBaudRate BaudRate() const;
  void SetBaudRate(TBaudRate baudRate);
  std::uint32_t BaudValue() const { return baudValue_; }
  TDataWidth DataWidth() const;
  void SetDataWidth(TDataWidth width);
  TStopBits StopBits() const;
  void SetStopBits(TStopBits stopBits);
  TParityBits Parity() const;
  void SetParity(TParityBits parity);
  bool EnableDTROnOpen() const { return enableDtr_; }
  void SetEnableDTROnOpen(bool enable);
  bool EnableRTSOnOpen() const { return enableRts_; }
  void SetEnableRTSOnOpen(bool enable);
  THwFlowControl HwFlowControl() const { return hwFlow_; }
  void SetHwFlowControl(THwFlowControl flow);
  TSwFlowControl SwFlowControl() const { return swFlow_; }
  void SetSwFlowControl(TSwFlowControl flow);
  std::int32_t ReadIntervalTimeout() const { return readInterval_; }
  void SetReadIntervalTimeout(std::int32_t ms) { readInterval_ = ms; }
  std::int32_t ReadTotalTimeoutMultiplier() const { return readMultiplier_; }
  void SetReadTotalTimeoutMultiplier(std::int32_t ms) { readMultiplier_ = ms; }
  std::int32_t ReadTotalTimeoutConstant() const { return readConstant_; }
  void SetReadTotalTimeoutConstant(std::int32_t ms) { readConstant_ = ms; }
  std::int32_t WriteTotalTimeoutMultiplier() const { return writeMultiplier_; }
  void SetWriteTotalTimeoutMultiplier(std::int32_t ms) { writeMultiplier_ = ms; }
  std::int32_t WriteTotalTimeoutConstant() const { return writeConstant_; }
  void SetWriteTotalTimeoutConstant(std::int32_t ms) { writeConstant_ = ms; }
  std::uint32_t InputBuffer() const { return inputBuffer_.load(); }
  void SetInputBuffer(std::uint32_t size);
  std::uint32_t OutputBuffer() const { return outputBuffer_; }
  void SetOutputBuffer(std::uint32_t size);
  TThreadPriority Priority() const { return priority_.load(); }
  void SetPriority(TThreadPriority priority);
  std::uint32_t Delay() const { return delay_.load(); }
  void SetDelay(std::uint32_t ms) { delay_.store(ms); }
  std::int32_t CustomBaudRate() const { return customBaudRate_; }
  void SetCustomBaudRate(std::int32_t rate);

  TSendReceiveEvent OnReceive;
  TSendReceiveEvent OnSend;
  TLineStatusEvent OnLineStatusChange;
  TConnectEvent OnConnect;
  TConnectEvent OnDisconnect;

  // The port the component is connected to; spNone while closed.
  TCommPort ConnectedPort() const;
  // What the device opened last carries (a serial line, or Modbus TCP).
  DeviceFraming ConnectedFraming() const { return framing_; }
  // Bytes of the latest read, as handed to OnReceive.
  const std::string& ReceivedData() const { return receivedData_; }
  // When the receive thread read the last byte of ReceivedData: the bytes'
  // arrival as near as the thread saw it (the event comes a little later,
  // once the line has been quiet).
  std::chrono::steady_clock::time_point ReceivedAt() const { return receivedAt_; }
  // Modem-line state last reported through OnLineStatusChange.
  TLineStatusSet LastLineStatus() const { return lastLineStatus_; }
  // The device-control block the line settings give.
  Dcb BuildDcb() const;
  // The five time-outs as handed to the device at open.
  CommTimeouts Timeouts() const;
  // CPU time the running receive thread has used so far (diagnostics and
  // measurements); nothing while no thread runs.
  std::optional<std::chrono::nanoseconds> ReceiveThreadCpuTime() const;

 private:
  friend class TComThread;

  // Applies the line settings to device. False (and nothing else) when the
  // device is not open; throws "Cannot connect to ..." when it refuses them.
  bool ApplyLineSettings(SerialDevice* device);
  void ApplyTimeouts(SerialDevice* device);
  void ApplyBufferSizes(SerialDevice* device);
  // The open device of the running receive thread, or nullptr.
  SerialDevice* LiveDevice() const;
  // Re-applies the line settings to an open port.
  void ReapplyLineSettings();
  void ValidateWidthAndStop(std::uint8_t dataBits, std::uint8_t stopCode) const;
  // Joins the threads that finished after Close stopped waiting for them.
  void ReapAbandoned();
  [[noreturn]] void ThrowNotOpen() const;

  MainThreadDispatcher& mainThread_;
  std::shared_ptr<SerialDeviceOpener> opener_;

  std::string portName_ = "COM2";
  std::uint32_t baudValue_ = 4800;
  std::uint8_t dataBits_ = 8;
  std::uint8_t parityCode_ = 0;
  std::uint8_t stopCode_ = 0;
  bool enableDtr_ = true;
  bool enableRts_ = true;
  THwFlowControl hwFlow_ = hfNONE;
  TSwFlowControl swFlow_ = sfNONE;
  std::int32_t readInterval_ = -1;
  std::int32_t readMultiplier_ = 0;
  std::int32_t readConstant_ = 0;
  std::int32_t writeMultiplier_ = 100;
  std::int32_t writeConstant_ = 1000;
  // Read by the running receive thread: the most bytes of one delivery.
  std::atomic<std::uint32_t> inputBuffer_{4096};
  std::uint32_t outputBuffer_ = 4096;
  // Read by the running receive thread at every pass.
  std::atomic<TThreadPriority> priority_{tpNormal};
  std::atomic<std::uint32_t> delay_{50};
  // The quiet time that ends a burst at the line settings last applied.
  std::atomic<std::int64_t> quietGapUs_{0};
  std::int32_t customBaudRate_ = 0;

  // Written on the main thread when an event is handed over.
  std::string receivedData_;
  std::chrono::steady_clock::time_point receivedAt_{};
  TLineStatusSet lastLineStatus_ = 0;

  DeviceFraming framing_ = DeviceFraming::Line;
  std::unique_ptr<TComThread> comThread_;
  // Threads that Close stopped waiting for; joined once they have finished,
  // at the latest by the destructor.
  std::vector<std::unique_ptr<TComThread>> abandoned_;
};

}  // namespace korvane
