#pragma once
// The Modbus serial line frame checks and the hex-digit conversion.

#include <array>
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

// The published CRC lookup tables: the table for the high-order byte
// (00 C1 81 40 ...) and for the low-order byte (00 C0 C1 01 ...).
const std::array<std::uint8_t, 256>& CrcHighTable();
const std::array<std::uint8_t, 256>& CrcLowTable();

// Two's complement of the 8-bit sum of the bytes.
std::uint8_t Lrc(std::string_view bytes);

}  // namespace korvane
