#pragma once
// Which Linux device a COM name opens. COM1..COM99 are fixed names; by
// default COMn is /dev/ttyS<n-1>, and a per-user folder of symbolic links
// named COMn points any of them elsewhere (a USB adapter, a pseudo-terminal,
// or a network address such as tcp://192.0.2.10:502: a link may point at any
// text). On Windows the folder holds one-line text files instead of links.

#include <cstdint>
#include <optional>
#include <string>

#include "network/NetworkTarget.h"

namespace korvane {

// The COM numbers the configuration dialog offers and the port control
// selects; any other number keeps the port it had.
inline constexpr std::int32_t kFirstSelectablePort = 1;
inline constexpr std::int32_t kLastSelectablePort = 10;
constexpr bool IsSelectablePort(std::int32_t number) {
  return number >= kFirstSelectablePort && number <= kLastSelectablePort;
}

class ComNameMap {
 public:
  explicit ComNameMap(std::string mapDirectory);  // a folder whose entries named COMn are symlinks to devices
  static ComNameMap UserDefault();                 // $XDG_CONFIG_HOME/korvane/ports, else $HOME/.config/korvane/ports
  const std::string& Directory() const;
  // Device that COMn opens: the target of the folder's entry COMn when present, else /dev/ttyS<n-1>; empty for a text that is not COM1..COM99.
  std::string DevicePath(const std::string& portName) const;
  bool IsMapped(const std::string& portName) const;  // the folder has an entry for it
  // The text of COMn's entry (a link's target, a Windows file's first line); empty when there is none.
  std::string EntryText(const std::string& portName) const;
  // The entry's text names a network address ("scheme://..."), valid or not.
  bool IsNetworkMapped(const std::string& portName) const;
  // The network address COMn points at; nothing when its entry names none
  // or does not parse (then *reason says why, when the text looked like one).
  std::optional<NetworkTarget> NetworkTargetOf(const std::string& portName, std::string* reason = nullptr) const;
  // The device that COMn opens exists now (a dangling link or a missing adapter does not).
  bool DevicePresent(const std::string& portName) const;
  // Creates the link portName -> device unless an entry of that name exists; false (and *error) otherwise. Creates the folder if needed.
  bool Add(const std::string& portName, const std::string& device, std::string* error = nullptr);
  // Removes the entry only while it still points at device; never removes someone else's mapping.
  bool Remove(const std::string& portName, const std::string& device);

 private:
  std::string EntryPath(const std::string& portName) const;

  std::string directory_;
};

}  // namespace korvane
