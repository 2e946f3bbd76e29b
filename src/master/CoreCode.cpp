#include "master/CoreCode.h"

#include <algorithm>

namespace korvane {
namespace {

// The two lookup tables of the table-driven Modbus CRC, derived from the
// reflected polynomial 0xA001 at compile time. Entry i of the 16-bit table
// T (T[i] = CRC register after shifting i through 8 rounds) splits into the
// "high-order" table (low byte of T[i]: 00 C1 81 40 01 C0 80 41 ...) and the
// "low-order" table (high byte of T[i]: 00 C0 C1 01 C3 03 02 C2 ...), as the
// tables are published.
struct CrcTables {
  std::array<std::uint8_t, 256> high{};
  std::array<std::uint8_t, 256> low{};
};

constexpr CrcTables MakeCrcTables() {
  CrcTables t;
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    t.high[i] = static_cast<std::uint8_t>(crc & 0xFFu);
    t.low[i] = static_cast<std::uint8_t>(crc >> 8);
  }
  return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

template <typename Byte>
std::int32_t Crc(const Byte* data, std::size_t size, std::int32_t n) {
  std::size_t count = n <= 0 ? 0 : std::min(size, static_cast<std::size_t>(n));
  std::uint8_t a = 0xFF;  // low-order byte of the CRC, first on the wire
  std::uint8_t b = 0xFF;
  for (std::size_t k = 0; k < count; ++k) {
    std::uint8_t i = static_cast<std::uint8_t>(a ^ static_cast<std::uint8_t>(data[k]));
    a = static_cast<std::uint8_t>(kCrc.high[i] ^ b);
    b = kCrc.low[i];
  }
  return a * 256 + b;
}

}  // namespace

const std::array<std::uint8_t, 256>& CrcHighTable() { return kCrc.high; }
const std::array<std::uint8_t, 256>& CrcLowTable() { return kCrc.low; }

std::int32_t CRC16(std::span<const std::uint8_t> data, std::int32_t n) {
  return Crc(data.data(), data.size(), n);
}

std::int32_t CRC16(std::string_view data, std::int32_t n) { return Crc(data.data(), data.size(), n); }

std::int32_t GetAsciiValue(std::int32_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

std::uint8_t Lrc(std::string_view bytes) {
  unsigned sum = 0;
  for (char c : bytes) sum += static_cast<std::uint8_t>(c);
  return static_cast<std::uint8_t>((256u - (sum & 0xFFu)) & 0xFFu);
}

}  // namespace korvane
