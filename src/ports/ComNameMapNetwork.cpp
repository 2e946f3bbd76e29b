// The network side of the COM-name map, the same on every system: what an
// entry's text says once it is read (a link target, a Windows file's line).
#include "ports/ComNameMap.h"

namespace korvane {

bool ComNameMap::IsNetworkMapped(const std::string& portName) const {
  return LooksLikeNetworkTarget(EntryText(portName));
}

std::optional<NetworkTarget> ComNameMap::NetworkTargetOf(const std::string& portName, std::string* reason) const {
  const std::string text = EntryText(portName);
  if (!LooksLikeNetworkTarget(text)) return std::nullopt;
  return ParseNetworkTarget(text, reason);
}

}  // namespace korvane
