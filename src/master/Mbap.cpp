#include "master/Mbap.h"

namespace korvane {

namespace {

std::uint16_t WordAt(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) * 256u + static_cast<std::uint8_t>(b[at + 1]));
}

}  // namespace

MbapHeader ReadMbapHeader(std::string_view bytes) {
  MbapHeader h;
  if (bytes.size() < kMbapHeaderSize) return h;
  h.Transaction = WordAt(bytes, 0);
  h.Protocol = WordAt(bytes, 2);
  h.Length = WordAt(bytes, 4);
  h.Unit = static_cast<std::uint8_t>(bytes[6]);
  return h;
}

bool PlausibleMbapHeader(const MbapHeader& header) {
  return header.Protocol == 0 && header.Length >= kMbapMinLength && header.Length <= kMbapMaxLength;
}

std::string MbapFrame(std::uint16_t transaction, std::string_view body) {
  const auto length = static_cast<std::uint16_t>(body.size());
  std::string frame;
  frame.reserve(6 + body.size());
  frame.push_back(static_cast<char>(transaction >> 8));
  frame.push_back(static_cast<char>(transaction & 0xFF));
  frame.push_back('\0');
  frame.push_back('\0');
  frame.push_back(static_cast<char>(length >> 8));
  frame.push_back(static_cast<char>(length & 0xFF));
  frame.append(body);
  return frame;
}

}  // namespace korvane
