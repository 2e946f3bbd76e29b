#pragma once
// Shared set-up of the reply-check fuzz targets: settings and collector
// state derived from the input, then the rest fed as pieces of any size.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Settings.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"

namespace korvane::fuzz {

inline void Check(bool ok) {
  if (!ok) std::abort();
}

inline bool ValidResult(std::int32_t r) { return (r >= Pending && r <= WrongReply) || (r >= 128 && r <= 383); }

// Runs one fuzz case against the RTU (rtu = true) or ASCII check.
inline void RunReplyCheck(const std::uint8_t* data, std::size_t size, bool rtu) {
  FuzzedDataProvider in(data, size);
  Settings settings;
  MasterState state;
  static RegisterImage image;  // large; shared between runs, contents do not matter
  std::uint32_t tick = in.ConsumeIntegral<std::uint32_t>();

  settings.Link.RtuMode = rtu;
  settings.Link.SlaveAddress = in.ConsumeBool() ? 1 : in.ConsumeIntegral<std::int32_t>();
  settings.Poll.TableType = in.ConsumeIntegralInRange<std::int32_t>(-1, 4);
  settings.Poll.StartRegister = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-20, 10020)
                                                 : in.ConsumeIntegral<std::int32_t>();
  settings.Poll.RegisterCount = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-5, 300)
                                                 : in.ConsumeIntegral<std::int32_t>();
  settings.Poll.RegisterWidth = in.ConsumeBool() ? 16 : 32;
  state.ChunkStart = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-20, 10020)
                                      : in.ConsumeIntegral<std::int32_t>();
  state.ChunkSize = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-5, 130)
                                     : in.ConsumeIntegral<std::int32_t>();
  state.ImageSlot = in.ConsumeIntegralInRange<std::int32_t>(-1, 6);
  state.ReplyDeadline = in.ConsumeIntegral<std::int32_t>();
  state.WriteActive = in.ConsumeBool() ? 1 : 0;
  state.WriteAddress = in.ConsumeIntegral<std::int32_t>();
  state.WriteCount = in.ConsumeIntegralInRange<std::int32_t>(-2, 210);
  for (auto& v : state.WriteValues) v = static_cast<std::int32_t>(tick * 2654435761u + static_cast<std::uint32_t>(v));

  TMaster master(settings, state, image, [](const std::string&) {}, [&tick] { return tick; });
  if (in.ConsumeBool()) {
    master.MasterPollPLC();
  } else {
    state.FunctionCode = in.ConsumeIntegral<std::int32_t>();
    state.ExpectedLength = in.ConsumeIntegral<std::int32_t>();
  }
  if (in.ConsumeBool()) {
    state.ByteCount = in.ConsumeIntegralInRange<std::int32_t>(0, 500);
    state.ExceptionCode = in.ConsumeIntegralInRange<std::int32_t>(0, 255);
  }

  while (in.remaining_bytes() > 0) {
    std::uint8_t op = in.ConsumeIntegral<std::uint8_t>();
    if (op == 0xFF) {  // a new request in the middle of a reply
      state.WriteActive = in.ConsumeBool() ? 1 : 0;
      master.MasterPollPLC();
      continue;
    }
    if (op == 0xFE) {
      tick += in.ConsumeIntegral<std::uint16_t>();
      continue;
    }
    std::size_t len = in.ConsumeIntegralInRange<std::size_t>(0, 600);
    std::string piece = in.ConsumeBytesAsString(len);
    // n is usually the piece length but may be anything.
    std::int32_t n = static_cast<std::int32_t>(piece.size());
    if (op >= 0xF0) n = in.ConsumeIntegral<std::int32_t>();
    std::int32_t r = rtu ? master.MasterCheckRTU(n, piece) : master.MasterCheckASCII(n, piece);
    Check(ValidResult(r));
    Check(state.ByteCount >= 0 && state.ByteCount <= 500);
    Check(state.AsciiReply.size() <= 501);
    Check(state.Frame.size() <= 1024);
    if (op & 1) {
      std::int32_t a = master.AnalyseAscii();
      Check(ValidResult(a));
    }
  }
}

}  // namespace korvane::fuzz
