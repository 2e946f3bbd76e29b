#pragma once
// Conversions between port values and their names, and between baud-rate
// values and bit rates.

#include <cstdint>
#include <string>

#include "serial/SerialTypes.h"

namespace korvane {

// "COM1".."COM99" for spCOM1..spCOM99; empty for spNone.
std::string NameFromPort(TCommPort port);
// Exact, case-sensitive match of "COM1".."COM99"; anything else is spNone.
TCommPort PortFromName(const std::string& name);
// One of the 14 fixed rates gives its value; any other rate brCustom.
TBaudRate BaudRateFromValue(std::uint32_t rate);
// The rate of a fixed value; brCustom gives customRate.
std::uint32_t ValueFromBaudRate(TBaudRate baudRate, std::uint32_t customRate);

}  // namespace korvane
