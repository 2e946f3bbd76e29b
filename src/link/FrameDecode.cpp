#include "link/FrameDecode.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "link/PortState.h"
#include "master/CoreCode.h"
#include "master/MasterCode.h"
#include "master/Mbap.h"
#include "poll/PollCycle.h"

namespace korvane {

namespace {

using Bytes = std::vector<std::uint8_t>;

unsigned Word(const Bytes& b, std::size_t at) { return b[at] * 256u + b[at + 1]; }

const char* FunctionName(unsigned function) {
  switch (function) {
    case 1: return "read coils";
    case 2: return "read discrete inputs";
    case 3: return "read holding registers";
    case 4: return "read input registers";
    case 5: return "write coil";
    case 6: return "write register";
    case 15: return "write coils";
    case 16: return "write registers";
    default: return nullptr;
  }
}

std::string Function(unsigned function) {
  const char* name = FunctionName(function);
  return name != nullptr ? name : "function " + std::to_string(function);
}

// Register values of a read reply (functions 3 and 4), at most 32 shown.
std::string Registers(const Bytes& b, std::size_t from, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count && i < 32; ++i) out += ' ' + std::to_string(Word(b, from + 2 * i));
  if (count > 32) out += " ...";
  return out;
}

// Length the frame should have from its header (checksum included), or 0
// when too few bytes are there to tell.
std::size_t ExpectedLength(const Bytes& b, bool request, std::size_t checksum) {
  if (b.size() < 3) return 0;
  const unsigned f = b[1];
  if (f >= 128) return 3 + checksum;
  if (request) {
    if (f == 15 || f == 16) return b.size() < 7 ? 0 : 7 + b[6] + checksum;
    return 6 + checksum;
  }
  if (f >= 1 && f <= 4) return 3 + b[2] + checksum;
  return 6 + checksum;
}

std::string Meaning(const Bytes& b, bool request, std::size_t n) {
  const unsigned f = b[1];
  std::string out = "slave " + std::to_string(b[0]) + ' ';
  if (f >= 128) {
    std::string text;
    StatusText(128 + b[2], "", text);  // " EC2 Illegal Data Address"
    return out + Function(f - 128) + " exception" + text;
  }
  out += Function(f);
  if (FunctionName(f) == nullptr) return out;
  if (request || f >= 5) {
    out += (f == 5 || f == 6 ? " address " : " start ") + std::to_string(Word(b, 2));
    if (f == 5) return out + (Word(b, 4) == 0xFF00 ? " on" : " off");
    if (f == 6) return out + " value " + std::to_string(Word(b, 4));
    out += " count " + std::to_string(Word(b, 4));
    if (request && f == 16) out += " values" + Registers(b, 7, std::min<std::size_t>(Word(b, 4), (n - 7) / 2));
    return out;
  }
  out += " reply, " + std::to_string(b[2]) + " bytes";
  if (f == 3 || f == 4) out += ":" + Registers(b, 3, std::min<std::size_t>(b[2], n - 3) / 2);
  return out;
}

// The ASCII frame's bytes (hex pairs after ":" up to CR); false when the
// record holds no ":".
bool AsciiBytes(std::string_view text, Bytes& out) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  for (std::size_t i = colon + 1; i + 1 < text.size() && text[i] != '\r'; i += 2) {
    out.push_back(static_cast<std::uint8_t>(GetAsciiValue(static_cast<unsigned char>(text[i])) * 16 +
                                            GetAsciiValue(static_cast<unsigned char>(text[i + 1]))));
  }
  return true;
}

std::string ResultNote(std::int32_t result) {
  if (result == TimeOut) return " (after the response time)";
  if (result == PacketTooLong) return " (packet too long)";
  return "";
}

// A Modbus TCP frame: the MBAP header, then unit id and PDU as in RTU
// without the CRC.
std::string DescribeMbap(const FrameRecord& record, bool request) {
  const std::string& bytes = record.Bytes;
  const std::string note = ResultNote(record.Result);
  if (bytes.size() < kMbapHeaderSize) return "incomplete frame, " + std::to_string(bytes.size()) + " bytes" + note;
  const MbapHeader header = ReadMbapHeader(bytes);
  if (!PlausibleMbapHeader(header)) return "no MBAP header" + note;
  const std::size_t end = 6 + std::size_t{header.Length};
  const std::string transaction = "transaction " + std::to_string(header.Transaction) + ", ";
  if (bytes.size() < end) {
    return transaction + "incomplete frame, " + std::to_string(bytes.size()) + " of " + std::to_string(end) +
           " bytes" + note;
  }
  const Bytes b(bytes.begin() + 6, bytes.begin() + static_cast<std::ptrdiff_t>(end));
  const std::size_t n = ExpectedLength(b, request, 0);
  if (n == 0 || n != b.size()) {
    return transaction + "length " + std::to_string(header.Length) + " does not fit the function" + note;
  }
  std::string out = transaction + Meaning(b, request, n);
  if (bytes.size() > end) out += ", " + std::to_string(bytes.size() - end) + " more bytes";
  return out + note;
}

}  // namespace

std::string HexBytes(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string DescribeFrame(const FrameRecord& record) {
  if (record.Text) return "text \"" + record.Bytes + "\"";
  const bool request = record.Direction == FrameDirection::Sent;
  if (record.Mbap) return DescribeMbap(record, request);
  Bytes b;
  const std::size_t checksum = record.Rtu ? 2 : 1;
  if (record.Rtu) {
    b.assign(record.Bytes.begin(), record.Bytes.end());
  } else if (!AsciiBytes(record.Bytes, b)) {
    return "no frame start" + ResultNote(record.Result);
  }
  const std::size_t n = ExpectedLength(b, request, checksum);
  if (n == 0 || b.size() < n) {
    return "incomplete frame, " + std::to_string(b.size()) + " bytes" + ResultNote(record.Result);
  }
  bool good;
  if (record.Rtu) {
    const auto c = static_cast<unsigned>(CRC16(std::span<const std::uint8_t>(b), static_cast<std::int32_t>(n - 2)));
    good = b[n - 2] == (c >> 8) && b[n - 1] == (c & 0xFF);
  } else {
    const std::string_view body(reinterpret_cast<const char*>(b.data()), n - 1);
    good = Lrc(body) == b[n - 1];
  }
  std::string out = Meaning(b, request, n - checksum);
  out += record.Rtu ? ", CRC " : ", LRC ";
  out += good ? "good" : "bad";
  if (b.size() > n) out += ", " + std::to_string(b.size() - n) + " more bytes";
  return out + ResultNote(record.Result);
}

std::string FrameLine(const FrameRecord& record) {
  const auto ms = std::to_string(1000 + record.WallMs % 1000);  // "1042": a leading 1 before three digits
  return ClockTime(static_cast<std::time_t>(record.WallMs / 1000)) + '.' + ms.substr(1) +
         (record.Direction == FrameDirection::Sent ? "  TX  " : "  RX  ") + HexBytes(record.Bytes) + "  " +
         DescribeFrame(record);
}

}  // namespace korvane
