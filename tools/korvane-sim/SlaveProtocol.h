#pragma once
// Modbus slave side of the simulated controller: turns one checked request
// (address, function code and data, no checksum) into the reply to send.
// Functions 3 and 4 (holding and input registers of the device's map), 6
// and 16; exception 1 for any
// other function, 2 for addresses outside the map, 3 for a bad quantity or
// value. Requests for other addresses get no reply; broadcasts (address 0)
// are carried out without a reply.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ControllerDevice.h"

namespace korvane::sim {

namespace exception {
constexpr std::uint8_t IllegalFunction = 1;
constexpr std::uint8_t IllegalDataAddress = 2;
constexpr std::uint8_t IllegalDataValue = 3;
}  // namespace exception

// Reply body (address, function code, data; no checksum), or nothing for silence.
std::optional<std::string> HandleRequest(ControllerDevice& device, std::uint8_t slave,
                                         std::string_view request);

// Exception reply body for a request.
std::string ExceptionBody(std::uint8_t slave, std::uint8_t function, std::uint8_t code);

}  // namespace korvane::sim
