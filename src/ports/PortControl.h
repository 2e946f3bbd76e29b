#pragma once
// The main window's control of its serial port: configure, switch on and
// off, and send request frames while switched on.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Settings.h"

namespace korvane {

class TSerialPort;

class PortControl {
 public:
  PortControl(TSerialPort& port, LinkSettings& link);

  // Closes the component and applies the settings; does not open the port.
  void OpenComm(std::int32_t portNumber, std::int32_t inQueue, std::int32_t outQueue,
                std::int32_t baud, std::int32_t dataBits, std::int32_t parityCode,
                std::int32_t stopCode);
  // Opens the port with DTR and RTS raised, sets PortActive and writes
  // "Open Port" (not to a Modbus TCP connection). Throws what TSerialPort::Open throws.
  void PortActivate();
  // Drops DTR then RTS, clears PortActive, closes, sets PortNumber to 0.
  // Does nothing while PortNumber <= 0.
  void CloseComm();
  // Writes every byte of the frame while PortActive; silently nothing otherwise.
  void SendCommStr(std::string_view frame);

  bool PortActive() const { return portActive_; }
  TSerialPort& Port() { return port_; }

  // The classic send buffer's size; frames longer than it are sent whole.
  static constexpr std::size_t kSendBufferSize = 301;

 private:
  TSerialPort& port_;
  LinkSettings& link_;
  bool portActive_ = false;
};

}  // namespace korvane
