// Windows has no folder of device links: COMn is the system's own port,
// opened as \\.\COMn. The port folder %APPDATA%\korvane\ports holds only
// network mappings, as one-line text files named COMn ("tcp://HOST:PORT");
// the map answers accordingly, so the configuration dialog shows which port
// or address a number opens on either system.
#include "serial/ComNameMap.h"

#include <cstdlib>
#include <fstream>
#include <utility>

#include "serial/PortNames.h"
#include "serial/Win32SerialDevice.h"

namespace korvane {

ComNameMap::ComNameMap(std::string mapDirectory) : directory_(std::move(mapDirectory)) {}

ComNameMap ComNameMap::UserDefault() {
  const char* appData = std::getenv("APPDATA");
  if (appData == nullptr || *appData == '\0') return ComNameMap(std::string());
  return ComNameMap(std::string(appData) + "\\korvane\\ports");
}

const std::string& ComNameMap::Directory() const { return directory_; }

std::string ComNameMap::EntryPath(const std::string& portName) const { return directory_ + "\\" + portName; }

std::string ComNameMap::EntryText(const std::string& portName) const {
  if (directory_.empty() || PortFromName(portName) == spNone) return {};
  std::ifstream in(EntryPath(portName), std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  // Notepad ends the line with CR LF and may put a byte-order mark first.
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
  return line;
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

}  // namespace korvane
