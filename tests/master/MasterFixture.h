#pragma once
// A master wired to a recording sender and a settable tick count.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/Settings.h"
#include "master/CoreCode.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"

namespace korvane::test {

class MasterFixture : public ::testing::Test {
 protected:
  MasterFixture()
      : master(settings, state, image, [this](const std::string& f) { sent.push_back(f); },
               [this] { return tick; }) {
    state.ImageSlot = 1;
    state.ReplyDeadline = 1000000;
  }

  // Sets up and composes a read of `size` holding registers from `start`.
  void ComposeRead(int start, int size) {
    state.WriteActive = 0;
    state.ChunkStart = start;
    state.ChunkSize = size;
    master.MasterPollPLC();
  }

  void ComposeWrite(int address, int value) {
    state.WriteActive = 1;
    state.WriteAddress = address;
    state.WriteCount = 1;
    state.WriteValues[0] = value;
    master.MasterPollPLC();
  }

  // bytes + CRC (low-order byte first on the wire).
  static std::string WithCrc(std::string bytes) {
    std::int32_t c = CRC16(bytes, static_cast<std::int32_t>(bytes.size()));
    bytes.push_back(static_cast<char>(c / 256));
    bytes.push_back(static_cast<char>(c % 256));
    return bytes;
  }

  // ":" + hex + LRC + CR LF for the given bytes.
  static std::string AsciiFrame(const std::string& bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string out = ":";
    for (char ch : bytes + static_cast<char>(Lrc(bytes))) {
      const auto b = static_cast<unsigned char>(ch);
      out.push_back(hex[b >> 4]);
      out.push_back(hex[b & 15]);
    }
    return out + "\r\n";
  }

  std::int32_t Rtu(const std::string& piece) {
    return master.MasterCheckRTU(static_cast<std::int32_t>(piece.size()), piece);
  }
  std::int32_t Ascii(const std::string& piece) {
    return master.MasterCheckASCII(static_cast<std::int32_t>(piece.size()), piece);
  }

  Settings settings;
  MasterState state;
  RegisterImage image;
  std::vector<std::string> sent;
  std::uint32_t tick = 0;
  TMaster master;
};

}  // namespace korvane::test
