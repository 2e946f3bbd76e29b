#include "ports/ComNameMap.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "ports/DeviceOpener.h"
#include "serial/PortNames.h"
#include "serial/PosixSerialDevice.h"

namespace korvane {

namespace {

// The target of a symbolic link, or empty when path is no link.
std::string ReadLink(const std::string& path) {
  std::string target(4096, '\0');
  ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n <= 0) return {};
  target.resize(static_cast<std::size_t>(n));
  return target;
}

std::string NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

ComNameMap::ComNameMap(std::string mapDirectory) : directory_(std::move(mapDirectory)) {}

ComNameMap ComNameMap::UserDefault() {
  std::string base = NonEmptyEnv("XDG_CONFIG_HOME");
  // The XDG rules ignore a relative path in XDG_CONFIG_HOME.
  if (base.empty() || base.front() != '/') {
    std::string home = NonEmptyEnv("HOME");
    base = home.empty() ? std::string(".config") : home + "/.config";
  }
  return ComNameMap(base + "/korvane/ports");
}

const std::string& ComNameMap::Directory() const { return directory_; }

std::string ComNameMap::EntryPath(const std::string& portName) const {
  return directory_ + "/" + portName;
}

std::string ComNameMap::DevicePath(const std::string& portName) const {
  TCommPort port = PortFromName(portName);
  if (port == spNone) return {};
  std::string entry = EntryPath(portName);
  struct stat info {};
  if (::lstat(entry.c_str(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) return entry;  // a device node or file placed there directly
    std::string target = ReadLink(entry);
    if (target.empty()) return entry;
    if (LooksLikeNetworkTarget(target)) return target;  // an address, not a path
    if (target.front() != '/') target = directory_ + "/" + target;
    return target;
  }
  return "/dev/ttyS" + std::to_string(static_cast<int>(port) - 1);
}

bool ComNameMap::DevicePresent(const std::string& portName) const {
  const std::string device = DevicePath(portName);
  std::error_code error;
  return !device.empty() && std::filesystem::exists(device, error);
}

bool ComNameMap::IsMapped(const std::string& portName) const {
  if (PortFromName(portName) == spNone) return false;
  struct stat info {};
  return ::lstat(EntryPath(portName).c_str(), &info) == 0;
}

std::string ComNameMap::EntryText(const std::string& portName) const {
  if (PortFromName(portName) == spNone) return {};
  return ReadLink(EntryPath(portName));
}

bool ComNameMap::Add(const std::string& portName, const std::string& device, std::string* error) {
  auto fail = [error](std::string text) {
    if (error != nullptr) *error = std::move(text);
    return false;
  };
  if (PortFromName(portName) == spNone) return fail("'" + portName + "' is not COM1..COM99");
  if (device.empty()) return fail("no device given for " + portName);
  std::error_code ec;
  std::filesystem::create_directories(directory_, ec);
  if (ec) return fail("cannot create " + directory_ + ": " + ec.message());
  std::string entry = EntryPath(portName);
  // symlink() refuses an existing name, so two programs racing for the same
  // name cannot overwrite each other's mapping.
  if (::symlink(device.c_str(), entry.c_str()) != 0) {
    int err = errno;
    if (err == EEXIST) return fail(entry + " already exists (-> " + ReadLink(entry) + ")");
    return fail("cannot create " + entry + ": " + std::strerror(err));
  }
  return true;
}

bool ComNameMap::Remove(const std::string& portName, const std::string& device) {
  if (PortFromName(portName) == spNone) return false;
  std::string entry = EntryPath(portName);
  if (ReadLink(entry) != device) return false;
  return ::unlink(entry.c_str()) == 0;
}

// The device a COM name of the map names, opened as a POSIX terminal.
std::unique_ptr<SerialDevice> OpenLocalSerialDevice(const ComNameMap& map, const std::string& portName) {
  return PosixSerialDevice::Open(map.DevicePath(portName));
}

}  // namespace korvane
