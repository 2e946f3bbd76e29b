#include "ports/PortControl.h"

#include "ports/ComNameMap.h"
#include "serial/SerialPort.h"

namespace korvane {

PortControl::PortControl(TSerialPort& port, LinkSettings& link) : port_(port), link_(link) {}

void PortControl::OpenComm(std::int32_t portNumber, std::int32_t inQueue, std::int32_t outQueue,
                           std::int32_t baud, std::int32_t dataBits, std::int32_t parityCode,
                           std::int32_t stopCode) {
  port_.Close();
  if (IsSelectablePort(portNumber)) port_.SetPort(static_cast<TCommPort>(portNumber));
  port_.SetInputBuffer(static_cast<std::uint32_t>(inQueue));
  port_.SetOutputBuffer(static_cast<std::uint32_t>(outQueue));
  port_.SetBaudRate(TSerialPort::BaudRateFromValue(static_cast<std::uint32_t>(baud)));
  if (dataBits == 7) port_.SetDataWidth(dw7Bits);
  if (dataBits == 8) port_.SetDataWidth(dw8Bits);
  switch (parityCode) {
    case 0: port_.SetParity(pbNone); break;
    case 1: port_.SetParity(pbEven); break;
    case 2: port_.SetParity(pbOdd); break;
    case 3: port_.SetParity(pbMark); break;
    case 4: port_.SetParity(pbSpace); break;
    default: break;
  }
  if (stopCode == 1) port_.SetStopBits(sb1Bit);
  if (stopCode == 2) port_.SetStopBits(sb2Bits);
}

void PortControl::PortActivate() {
  port_.SetEnableDTROnOpen(true);
  port_.SetEnableRTSOnOpen(true);
  port_.Open();
  portActive_ = true;
  // The greeting is a serial-line habit. A Modbus TCP server would take it
  // as a broken MBAP header and lose step with the stream, so it goes only
  // to lines (and to transparent gateways, which pass it on to theirs).
  if (port_.ConnectedFraming() != DeviceFraming::Mbap) port_.WriteString("Open Port");
}

void PortControl::CloseComm() {
  if (link_.PortNumber <= 0) return;
  // On an open port each change re-applies the line settings: DTR drops,
  // then RTS, before the port closes.
  port_.SetEnableDTROnOpen(false);
  port_.SetEnableRTSOnOpen(false);
  portActive_ = false;
  port_.Close();
  link_.PortNumber = 0;
}

void PortControl::SendCommStr(std::string_view frame) {
  if (!portActive_ || frame.empty()) return;
  // One synchronous write straight from the caller's bytes, zero bytes
  // included: a frame of any length goes out whole, also one longer than the
  // classic send buffer (an ASCII write of many registers runs to 513
  // characters), and nothing is ever copied past a buffer's end.
  port_.WriteBuffer(frame.data(), frame.size());
}

}  // namespace korvane
