// Windows has no folder of device links: COMn is the system's own port,
// opened as \\.\COMn. Network mappings are lines "COMn=tcp://HOST:PORT" of
// the text file %APPDATA%\korvane\ports.txt (COMn itself is a reserved
// device name that no file may carry, so there is one file for all names).
// The map answers accordingly, so the configuration dialog shows which port
// or address a number opens on either system.
#include "ports/ComNameMap.h"

#include <cstdlib>
#include <fstream>
#include <utility>

#include "ports/DeviceOpener.h"
#include "serial/PortNames.h"
#include "serial/Win32SerialDevice.h"

namespace korvane {

ComNameMap::ComNameMap(std::string mapDirectory) : directory_(std::move(mapDirectory)) {}

ComNameMap ComNameMap::UserDefault() {
  const char* appData = std::getenv("APPDATA");
  if (appData == nullptr || *appData == '\0') return ComNameMap(std::string());
  return ComNameMap(std::string(appData) + "\\korvane");
}

const std::string& ComNameMap::Directory() const { return directory_; }

// The mapping file; EntryText reads the line of one COM name from it.
std::string ComNameMap::EntryPath(const std::string&) const { return directory_ + "\\ports.txt"; }

std::string ComNameMap::EntryText(const std::string& portName) const {
  if (directory_.empty() || PortFromName(portName) == spNone) return {};
  std::ifstream in(EntryPath(portName), std::ios::binary);
  const std::string key = portName + "=";
  for (std::string line; std::getline(in, line);) {
    // Notepad ends lines with CR LF and may put a byte-order mark first.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (line.rfind(key, 0) == 0) return line.substr(key.size());  // the first line of a name counts
  }
  return {};
}

std::string ComNameMap::DevicePath(const std::string& portName) const {
  const std::string text = EntryText(portName);
  return LooksLikeNetworkTarget(text) ? text : DevicePathOf(portName);
}

bool ComNameMap::IsMapped(const std::string& portName) const { return IsNetworkMapped(portName); }

bool ComNameMap::DevicePresent(const std::string& portName) const {
  if (DevicePathOf(portName).empty()) return false;
  if (IsNetworkMapped(portName)) return NetworkTargetOf(portName).has_value();
  // The system's list of device names holds COMn while the port exists.
  char target[512];
  return ::QueryDosDeviceA(portName.c_str(), target, sizeof target) != 0;
}

bool ComNameMap::Add(const std::string& portName, const std::string&, std::string* error) {
  if (error != nullptr) *error = portName + " cannot be mapped to a device: on Windows it opens the port itself";
  return false;
}

bool ComNameMap::Remove(const std::string&, const std::string&) { return false; }

// COMn is the system's port itself unless the port folder maps it to a network address.
std::unique_ptr<SerialDevice> OpenLocalSerialDevice(const ComNameMap&, const std::string& portName) {
  return Win32SerialDevice::Open(portName);
}

}  // namespace korvane
