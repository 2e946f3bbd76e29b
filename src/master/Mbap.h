#pragma once
// Modbus TCP framing: the MBAP header (transaction id, protocol id 0, length
// of what follows, unit id) in front of a request or reply body. Pure
// functions on bytes; the master's reply check and the frame monitor share them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr std::size_t kMbapHeaderSize = 7;   // transaction 2, protocol 2, length 2, unit 1
inline constexpr std::uint16_t kMbapMaxLength = 254;  // unit id + PDU of at most 253 bytes
inline constexpr std::uint16_t kMbapMinLength = 3;    // unit id, function code, one byte

struct MbapHeader {
  std::uint16_t Transaction = 0;
  std::uint16_t Protocol = 0;
  std::uint16_t Length = 0;  // bytes after the length field: unit id and PDU
  std::uint8_t Unit = 0;
};

// The header of `bytes` (at least kMbapHeaderSize of them).
MbapHeader ReadMbapHeader(std::string_view bytes);
// A header that can start a Modbus reply: protocol id 0 and a length in kMbapMinLength..kMbapMaxLength.
bool PlausibleMbapHeader(const MbapHeader& header);
// The MBAP frame for `body` (unit id first, then the PDU): header + body.
std::string MbapFrame(std::uint16_t transaction, std::string_view body);

}  // namespace korvane
