#include "serial/SerialPort.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "serial/ComThread.h"
#include "serial/Platform.h"
#include "serial/ReceiveGather.h"

namespace korvane {

namespace {

constexpr char kWidthStopMessage[] = "Invalid data-width and stop-bits combination.";
constexpr int kCloseMaxPasses = 500;
constexpr unsigned kCloseStepMs = 10;

}  // namespace

TSerialPort::TSerialPort(MainThreadDispatcher& mainThread, std::shared_ptr<SerialDeviceOpener> opener)
    : mainThread_(mainThread), opener_(std::move(opener)) {
  quietGapUs_.store(QuietGap(BuildDcb()).count());
  BeginTimerResolution();
}

TSerialPort::~TSerialPort() {
  EndTimerResolution();
  // A receive thread must not outlive the component: stop every thread and
  // wait for it. Its last events (OnDisconnect) need the main thread, so the
  // wait keeps dispatching.
  if (comThread_) abandoned_.push_back(std::move(comThread_));
  for (auto& thread : abandoned_) thread->RequestStop();
  while (!abandoned_.empty()) {
    mainThread_.ProcessPendingEvents();
    ReapAbandoned();
    if (!abandoned_.empty()) mainThread_.Sleep(kCloseStepMs);
  }
}

std::uint32_t TSerialPort::ValueFromBaudRate(TBaudRate baudRate) const {
  return korvane::ValueFromBaudRate(baudRate, static_cast<std::uint32_t>(customBaudRate_));
}

// ---- Open, Close and writes ----

TCommPort TSerialPort::ConnectedPort() const {
  return comThread_ ? comThread_->ConnectedPort() : spNone;
}

void TSerialPort::Open() {
  if (PortFromName(portName_) == ConnectedPort()) return;
  if (comThread_) Close();
  ReapAbandoned();
  comThread_ = std::make_unique<TComThread>(*this);
  if (comThread_->ConnectedPort() != spNone) {
    const SerialDevice* device = comThread_->Device();
    framing_ = device != nullptr ? device->Framing() : DeviceFraming::Line;
    comThread_->Start();
    return;
  }
  // Nothing was started; the destructor closes a device that opened but
  // refused its settings.
  comThread_.reset();
  throw SerialError("Cannot connect to " + portName_ + ".");
}

void TSerialPort::Close() {
  if (!comThread_) return;
  comThread_->RequestStop();
  for (int pass = 0; pass < kCloseMaxPasses && comThread_->ConnectedPort() != spNone; ++pass) {
    // The thread's OnDisconnect runs in here.
    mainThread_.ProcessPendingEvents();
    mainThread_.Sleep(pass == 0 ? delay_.load() : kCloseStepMs);
  }
  // Whether or not the thread got there, the component forgets it. Past
  // its hand-shake the thread only returns, so it is joined at once; a thread
  // still running is kept aside and joined once it has finished, so it never
  // writes into a destroyed component.
  if (comThread_->ConnectedPort() == spNone) {
    comThread_->Join();
    comThread_.reset();
  } else {
    abandoned_.push_back(std::move(comThread_));
  }
  ReapAbandoned();
}

void TSerialPort::ReapAbandoned() {
  for (auto it = abandoned_.begin(); it != abandoned_.end();) {
    if ((*it)->Finished()) {
      (*it)->Join();
      it = abandoned_.erase(it);
    } else {
      ++it;
    }
  }
}

SerialDevice* TSerialPort::LiveDevice() const {
  if (!comThread_ || comThread_->StopRequested()) return nullptr;
  return comThread_->Device();
}

void TSerialPort::ThrowNotOpen() const { throw SerialError(portName_ + " is not open."); }

std::size_t TSerialPort::WriteString(const std::string& text) {
  SerialDevice* device = LiveDevice();
  if (device == nullptr) ThrowNotOpen();
  try {
    const std::size_t length = std::min(text.size(), std::strlen(text.c_str()));
    const std::size_t written = device->Write(text.data(), length);
    if (OnSend) OnSend(*this, text.substr(0, written));
    return written;
  } catch (...) {
    ThrowNotOpen();
  }
}

std::size_t TSerialPort::WriteBuffer(const void* bytes, std::size_t count) {
  SerialDevice* device = LiveDevice();
  if (device == nullptr || count == 0) ThrowNotOpen();
  try {
    const std::size_t written = device->Write(static_cast<const char*>(bytes), count);
    if (written > 0 && OnSend) OnSend(*this, std::string());
    return written;
  } catch (...) {
    ThrowNotOpen();
  }
}

// ---- Applying settings to the device ----

Dcb TSerialPort::BuildDcb() const {
  Dcb block;
  block.BaudRate = baudValue_;
  block.ByteSize = dataBits_;
  block.Parity = parityCode_;
  block.StopBits = stopCode_;
  std::uint32_t flags = dcb::kBinary;
  if (enableDtr_) flags |= dcb::kDtrControlEnable;
  if (enableRts_) flags |= dcb::kRtsControlEnable;
  if (hwFlow_ == hfRTS) flags |= dcb::kRtsControlEnable;
  if (hwFlow_ == hfRTSCTS) flags |= dcb::kOutxCtsFlow | dcb::kRtsControlHandshake;
  if (swFlow_ == sfXONXOFF) flags |= dcb::kOutX | dcb::kInX;
  block.Flags = flags;
  block.XonChar = 0x11;
  block.XoffChar = 0x13;
  return block;
}

CommTimeouts TSerialPort::Timeouts() const {
  CommTimeouts t;
  t.ReadIntervalTimeout = static_cast<std::uint32_t>(readInterval_);
  t.ReadTotalTimeoutMultiplier = static_cast<std::uint32_t>(readMultiplier_);
  t.ReadTotalTimeoutConstant = static_cast<std::uint32_t>(readConstant_);
  t.WriteTotalTimeoutMultiplier = static_cast<std::uint32_t>(writeMultiplier_);
  t.WriteTotalTimeoutConstant = static_cast<std::uint32_t>(writeConstant_);
  return t;
}

std::optional<std::chrono::nanoseconds> TSerialPort::ReceiveThreadCpuTime() const {
  if (!comThread_) return std::nullopt;
  return comThread_->CpuTime();
}

bool TSerialPort::ApplyLineSettings(SerialDevice* device) {
  if (device == nullptr || !device->IsOpen()) return false;
  const Dcb block = BuildDcb();
  quietGapUs_.store(QuietGap(block).count());
  if (!device->SetState(block)) throw SerialError("Cannot connect to " + portName_ + ".");
  return true;
}

void TSerialPort::ApplyTimeouts(SerialDevice* device) {
  if (device != nullptr) device->SetTimeouts(Timeouts());
}

void TSerialPort::ApplyBufferSizes(SerialDevice* device) {
  if (device != nullptr) device->SetupQueues(inputBuffer_.load(), outputBuffer_);
}

void TSerialPort::ReapplyLineSettings() {
  if (comThread_) ApplyLineSettings(LiveDevice());
}

// ---- Properties ----

TCommPort TSerialPort::Port() const { return PortFromName(portName_); }

void TSerialPort::SetPort(TCommPort port) {
  if (port == Port()) return;
  portName_ = NameFromPort(port);
}

TBaudRate TSerialPort::BaudRate() const { return BaudRateFromValue(baudValue_); }

void TSerialPort::SetBaudRate(TBaudRate baudRate) {
  baudValue_ = ValueFromBaudRate(baudRate);
  ReapplyLineSettings();
}

void TSerialPort::SetCustomBaudRate(std::int32_t rate) {
  customBaudRate_ = rate;
  if (BaudRate() != brCustom) return;
  baudValue_ = static_cast<std::uint32_t>(customBaudRate_);
  ReapplyLineSettings();
}

TDataWidth TSerialPort::DataWidth() const {
  switch (dataBits_) {
    case 5: return dw5Bits;
    case 6: return dw6Bits;
    case 7: return dw7Bits;
    default: return dw8Bits;
  }
}

TStopBits TSerialPort::StopBits() const {
  switch (stopCode_) {
    case 1: return sb1_5Bits;
    case 2: return sb2Bits;
    default: return sb1Bit;
  }
}

TParityBits TSerialPort::Parity() const {
  return parityCode_ <= 4 ? static_cast<TParityBits>(parityCode_) : pbNone;
}

// One and a half stop bits exist only with five data bits, two only with more.
void TSerialPort::ValidateWidthAndStop(std::uint8_t dataBits, std::uint8_t stopCode) const {
  if ((dataBits == 5 && stopCode == 2) || (dataBits != 5 && stopCode == 1)) {
    throw SerialError(kWidthStopMessage);
  }
}

void TSerialPort::SetDataWidth(TDataWidth width) {
  const auto bits = static_cast<std::uint8_t>(5 + std::min<int>(width, dw8Bits));
  ValidateWidthAndStop(bits, stopCode_);
  dataBits_ = bits;
  ReapplyLineSettings();
}

void TSerialPort::SetStopBits(TStopBits stopBits) {
  const auto code = static_cast<std::uint8_t>(std::min<int>(stopBits, sb2Bits));
  ValidateWidthAndStop(dataBits_, code);
  stopCode_ = code;
  ReapplyLineSettings();
}

void TSerialPort::SetParity(TParityBits parity) {
  parityCode_ = static_cast<std::uint8_t>(std::min<int>(parity, pbSpace));
  ReapplyLineSettings();
}

void TSerialPort::SetEnableDTROnOpen(bool enable) {
  if (enable == enableDtr_) return;
  enableDtr_ = enable;
  ReapplyLineSettings();
}

void TSerialPort::SetEnableRTSOnOpen(bool enable) {
  if (enable == enableRts_) return;
  enableRts_ = enable;
  ReapplyLineSettings();
}

void TSerialPort::SetHwFlowControl(THwFlowControl flow) {
  if (flow == hwFlow_) return;
  hwFlow_ = flow;
  ReapplyLineSettings();
}

void TSerialPort::SetSwFlowControl(TSwFlowControl flow) {
  if (flow == swFlow_) return;
  swFlow_ = flow;
  ReapplyLineSettings();
}

void TSerialPort::SetInputBuffer(std::uint32_t size) {
  if (size == inputBuffer_.load()) return;
  inputBuffer_.store(size);
  if (comThread_) ApplyBufferSizes(LiveDevice());
}

void TSerialPort::SetOutputBuffer(std::uint32_t size) {
  if (size == outputBuffer_) return;
  outputBuffer_ = size;
  if (comThread_) ApplyBufferSizes(LiveDevice());
}

void TSerialPort::SetPriority(TThreadPriority priority) {
  // The running thread picks the new priority up at its next pass.
  priority_.store(priority);
}

}  // namespace korvane
