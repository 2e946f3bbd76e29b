#pragma once
// What the configuration dialog's device line says about a COM name mapped
// to a network address: the address ("COM5 → Modbus TCP 192.0.2.10:502"),
// and how the latest connection went, in the dialog's words, with a hint.

#include <optional>
#include <string>

#include "ports/ComNameMap.h"

namespace korvane {

struct NetworkDeviceLine {
  std::string Text;    // "COM5 → Modbus TCP 192.0.2.10:502"
  std::string Reason;  // "Connection refused", "Bad address: no port", "Connecting…"; empty when there is nothing to say
  std::string Hint;    // one sentence on what to do about it; empty with no fault
};

// Nothing when portName's entry names no network address.
std::optional<NetworkDeviceLine> DescribeNetworkMapping(const ComNameMap& map, const std::string& portName);

}  // namespace korvane
