#pragma once
// The simulator's COM name: mapped to its device for as long as it runs,
// removed at the end, and never taken from a mapping that was already there.

#include <string>

#include "ports/ComNameMap.h"

namespace korvane::sim {

class ComClaim {
 public:
  ComClaim(ComNameMap map, std::string device) : map_(std::move(map)), device_(std::move(device)) {}
  ~ComClaim() { Release(); }
  ComClaim(const ComClaim&) = delete;
  ComClaim& operator=(const ComClaim&) = delete;

  // Maps `name`, or, when it is taken and `orFree` is set, the first free
  // COM1..COM99 name after it. False with *error when nothing was mapped.
  bool Claim(const std::string& name, bool orFree, std::string* error);
  // Removes the mapping if this object made it and it still points at the device.
  void Release();

  const std::string& Name() const { return name_; }
  const ComNameMap& Map() const { return map_; }

 private:
  ComNameMap map_;
  std::string device_;
  std::string name_;  // the name claimed, empty when none
};

}  // namespace korvane::sim
