// The openers: a COM name whose entry in the port folder names a network
// address becomes a TCP connection, any other the system's own device.
#include <utility>

#include "ports/DeviceOpener.h"

#include "network/ConnectOutcome.h"
#include "network/TcpSerialDevice.h"
#include "ports/ComNameMap.h"

namespace korvane {

namespace {

class MappedOpener : public SerialDeviceOpener {
 public:
  MappedOpener(ComNameMap map, NetworkOptions network) : map_(std::move(map)), network_(std::move(network)) {}

  std::unique_ptr<SerialDevice> Open(const std::string& portName) override {
    if (!map_.IsNetworkMapped(portName)) return OpenLocalSerialDevice(map_, portName);
    std::string reason;
    const std::optional<NetworkTarget> target = map_.NetworkTargetOf(portName, &reason);
    if (!target) {
      // Nothing is sent anywhere for an address that does not parse.
      RecordConnectOutcome(portName, {ConnectPhase::Failed, reason, map_.EntryText(portName)});
      return nullptr;
    }
    return TcpSerialDevice::Open(*target, portName, network_);
  }

 private:
  ComNameMap map_;
  NetworkOptions network_;
};

}  // namespace

std::shared_ptr<SerialDeviceOpener> SystemSerialDeviceOpener() {
  return std::make_shared<MappedOpener>(ComNameMap::UserDefault(), NetworkOptions{});
}

std::shared_ptr<SerialDeviceOpener> MappedSerialDeviceOpener(const ComNameMap& map) {
  return std::make_shared<MappedOpener>(map, NetworkOptions{});
}

std::shared_ptr<SerialDeviceOpener> MappedSerialDeviceOpener(const ComNameMap& map, const NetworkOptions& network) {
  return std::make_shared<MappedOpener>(map, network);
}

}  // namespace korvane
