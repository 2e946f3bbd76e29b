#include "serial/PortNames.h"

#include <array>

namespace korvane {

namespace {

constexpr std::array<std::uint32_t, 14> kRates = {
    110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 128000, 256000};

}  // namespace

std::string NameFromPort(TCommPort port) {
  if (port == spNone || port > spCOM99) return {};
  return "COM" + std::to_string(static_cast<int>(port));
}

TCommPort PortFromName(const std::string& name) {
  if (name.size() < 4 || name.size() > 5 || name.compare(0, 3, "COM") != 0) return spNone;
  if (name[3] == '0') return spNone;  // COM0, COM01, ...
  int number = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return spNone;
    number = number * 10 + (name[i] - '0');
  }
  return static_cast<TCommPort>(number);  // 1..99 by construction
}

TBaudRate BaudRateFromValue(std::uint32_t rate) {
  for (std::size_t i = 0; i < kRates.size(); ++i) {
    if (kRates[i] == rate) return static_cast<TBaudRate>(i);
  }
  return brCustom;
}

std::uint32_t ValueFromBaudRate(TBaudRate baudRate, std::uint32_t customRate) {
  if (baudRate < kRates.size()) return kRates[baudRate];
  return customRate;
}

}  // namespace korvane
