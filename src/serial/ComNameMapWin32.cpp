// Windows has no folder of COM names: COMn is the system's own port, opened
// as \\.\COMn. The map answers accordingly, so the configuration dialog shows
// which port a number opens on either system.
#include "serial/ComNameMap.h"

#include <utility>

#include "serial/Win32SerialDevice.h"

namespace korvane {

ComNameMap::ComNameMap(std::string mapDirectory) : directory_(std::move(mapDirectory)) {}

ComNameMap ComNameMap::UserDefault() { return ComNameMap(std::string()); }

const std::string& ComNameMap::Directory() const { return directory_; }

std::string ComNameMap::DevicePath(const std::string& portName) const { return DevicePathOf(portName); }

bool ComNameMap::IsMapped(const std::string&) const { return false; }

bool ComNameMap::DevicePresent(const std::string& portName) const {
  if (DevicePathOf(portName).empty()) return false;
  // The system's list of device names holds COMn while the port exists.
  char target[512];
  return ::QueryDosDeviceA(portName.c_str(), target, sizeof target) != 0;
}

bool ComNameMap::Add(const std::string& portName, const std::string&, std::string* error) {
  if (error != nullptr) *error = portName + " cannot be mapped: on Windows it opens the port itself";
  return false;
}

bool ComNameMap::Remove(const std::string&, const std::string&) { return false; }

}  // namespace korvane
