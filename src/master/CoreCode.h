#pragma once
// The Modbus serial line frame checks and the hex-digit conversion.

#include <cstdint>
#include <span>
#include <string_view>

namespace korvane {

// Table-driven Modbus CRC-16 of the first n bytes (n clamped to the data).
// Upper 8 bits = the byte that goes on the wire first.
std::int32_t CRC16(std::span<const std::uint8_t> data, std::int32_t n);
std::int32_t CRC16(std::string_view data, std::int32_t n);

// Value of one upper-case hex digit; 0 for any other character.
std::int32_t GetAsciiValue(std::int32_t c);

// Two's complement of the 8-bit sum of the bytes.
std::uint8_t Lrc(std::string_view bytes);

}  // namespace korvane
