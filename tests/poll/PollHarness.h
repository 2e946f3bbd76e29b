#pragma once
// A poll cycle wired to a recording main window (support/FakePollView.h), a real TMaster whose frames
// are recorded instead of written to a port, and a tick count the test sets.

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Settings.h"
#include "master/CoreCode.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"
#include "poll/PollCycle.h"
#include "support/FakePollView.h"

namespace korvane::test {

// "01 06 00 19" -> bytes.
inline std::string Bytes(std::string_view hex) {
  std::string out;
  int nibbles = 0;
  int value = 0;
  for (char c : hex) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) continue;
    value = value * 16 + digit;
    if (++nibbles == 2) {
      out.push_back(static_cast<char>(value));
      nibbles = 0;
      value = 0;
    }
  }
  return out;
}

inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0xF]);
  }
  return out;
}

// Appends the Modbus CRC, the byte the CRC's upper half names first.
inline std::string WithCrc(std::string frame) {
  const std::int32_t crc = CRC16(frame, static_cast<std::int32_t>(frame.size()));
  frame.push_back(static_cast<char>((crc >> 8) & 0xFF));
  frame.push_back(static_cast<char>(crc & 0xFF));
  return frame;
}

// RTU reply of slave 1 to a read of holding registers with these values.
inline std::string HoldingReply(const std::vector<std::uint16_t>& registers) {
  std::string frame = Bytes("01 03");
  frame.push_back(static_cast<char>(2 * registers.size()));
  for (std::uint16_t r : registers) {
    frame.push_back(static_cast<char>(r >> 8));
    frame.push_back(static_cast<char>(r & 0xFF));
  }
  return WithCrc(frame);
}

struct PollHarness {
  Settings settings;
  MasterState state;
  RegisterImage image;
  std::vector<std::string> sent;
  std::uint32_t now = 1000;
  bool sendFails = false;
  TMaster master{settings, state, image,
                 [this](const std::string& frame) {
                   if (sendFails) throw std::runtime_error("COM1 is not open.");
                   sent.push_back(frame);
                 },
                 [this] { return now; }};
  FakePollView view;
  PollCycle cycle{settings, state, image, master, view, view, [this] { return now; }};

  PollHarness() { cycle.SetTickHook(&view); }

  std::string LastSent() const { return sent.empty() ? std::string() : Hex(sent.back()); }
  // First register (1-based) and count of the last read request sent in RTU.
  std::pair<int, int> LastReadRange() const {
    const std::string& f = sent.back();
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(f.at(k)); };
    return {at(2) * 256 + at(3) + 1, at(4) * 256 + at(5)};
  }
};

}  // namespace korvane::test
