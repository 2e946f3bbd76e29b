#pragma once
// The openers: what a COM name opens. A name whose entry in the port folder
// names a network address opens a TCP connection, any other the system's
// own serial device. The one place that knows both kinds of device.

#include <memory>
#include <string>

#include "serial/SerialDevice.h"

namespace korvane {

class ComNameMap;
struct NetworkOptions;

// The program's opener: COM names resolved through the user's port folder
// (ComNameMap::UserDefault). An entry naming a network address opens a TCP
// connection (TcpSerialDevice); otherwise, on Linux, the device it names is
// opened as a POSIX terminal, and on Windows COMn opens the port \\.\COMn itself.
std::shared_ptr<SerialDeviceOpener> SystemSerialDeviceOpener();
// The opener with a given map (tests point COMn at a pseudo-terminal or a
// loopback server), and with given network options (a test's resolver, a
// short connect time-out).
std::shared_ptr<SerialDeviceOpener> MappedSerialDeviceOpener(const ComNameMap& map);
std::shared_ptr<SerialDeviceOpener> MappedSerialDeviceOpener(const ComNameMap& map, const NetworkOptions& network);
// The system's own device behind a COM name of the map (the platform part of the openers).
std::unique_ptr<SerialDevice> OpenLocalSerialDevice(const ComNameMap& map, const std::string& portName);

}  // namespace korvane
