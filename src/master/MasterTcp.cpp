// The Modbus TCP side of the master: MBAP framing of the composed request
// and the reply check, beside RTU and ASCII in MasterCode.cpp.
#include <algorithm>
#include <cstdint>

#include "master/Mbap.h"
#include "master/MasterCode.h"

namespace korvane {

namespace {

std::uint8_t ByteAt(std::string_view s, std::size_t i) { return static_cast<std::uint8_t>(s[i]); }

constexpr std::size_t kFunctionAt = kMbapHeaderSize;   // the PDU's first byte
constexpr std::size_t kDataAt = kMbapHeaderSize + 2;   // after function code and byte count

}  // namespace

void TMaster::FrameAsMbap() {
  // A new request makes whatever is still collected or passed over stale.
  ResetCollector();
  state_.MbapSkip = 0;
  state_.TransactionId = static_cast<std::uint16_t>(state_.TransactionId + 1u);
  state_.Frame = MbapFrame(state_.TransactionId, state_.Frame);
}

std::int32_t TMaster::MasterCheck(std::int32_t n, std::string_view data) {
  if (Mbap()) return MasterCheckTCP(n, data);
  return settings_.Link.RtuMode ? MasterCheckRTU(n, data) : MasterCheckASCII(n, data);
}

std::int32_t TMaster::MasterCheckTCP(std::int32_t n, std::string_view data) {
  std::int32_t result = Pending;
  const std::size_t count = n <= 0 ? 0 : std::min(data.size(), static_cast<std::size_t>(n));
  std::string& frame = state_.Frame;

  for (std::size_t k = 0; k < count; ++k) {
    if (state_.MbapSkip > 0) {
      --state_.MbapSkip;
      continue;
    }
    // A compose that found no valid request empties Frame without a new
    // transaction: what was collected is gone, so the collection restarts.
    if (state_.ByteCount <= 0 || frame.size() != static_cast<std::size_t>(state_.ByteCount)) {
      frame.clear();
      state_.ByteCount = 0;
    }
    frame.push_back(data[k]);
    const auto collected = static_cast<std::size_t>(++state_.ByteCount);
    if (collected < kMbapHeaderSize) continue;
    const MbapHeader header = ReadMbapHeader(frame);
    if (collected == kMbapHeaderSize) {
      if (!PlausibleMbapHeader(header)) {
        // No Modbus header: where the next frame starts in this piece is
        // unknown, so the rest of it is dropped.
        ResetCollector();
        result = ChecksumError;
        break;
      }
      if (header.Transaction != state_.TransactionId || header.Unit != settings_.Link.SlaveAddress) {
        // This transaction answered by another unit is a wrong reply; an
        // earlier transaction's late reply is passed over without a word.
        if (header.Transaction == state_.TransactionId) result = WrongReply;
        state_.MbapSkip = header.Length - 1;  // the unit id is already read
        ResetCollector();
      }
      continue;
    }
    if (collected == kFunctionAt + 1) {
      const std::int32_t function = ByteAt(frame, kFunctionAt);
      const bool normal = function == state_.FunctionCode &&
                          std::int64_t{header.Length} == std::int64_t{state_.ExpectedLength} - 2;
      const bool exception = function == std::int64_t{state_.FunctionCode} + 128 && header.Length == 3;
      if (!normal && !exception) {
        state_.MbapSkip = header.Length - 2;
        ResetCollector();
        result = WrongReply;
        continue;
      }
    }
    if (collected == kMbapHeaderSize - 1 + header.Length) {
      result = CompleteMbapReply();
      ResetCollector();
    }
  }

  if (static_cast<std::int32_t>(Tick()) > state_.ReplyDeadline) {
    ResetCollector();
    result = TimeOut;
  }
  return result;
}

std::int32_t TMaster::CompleteMbapReply() {
  const std::string& frame = state_.Frame;
  if (frame.size() < kDataAt) return ChecksumError;
  if (ByteAt(frame, kFunctionAt) >= 128) {
    // An exception code 0 names no exception: a malformed reply, as in RTU.
    const std::int32_t code = ByteAt(frame, kFunctionAt + 1);
    return code == 0 ? ChecksumError : ExceptionReply + code;
  }
  // A read reply's byte count must be the one asked for.
  const bool read = state_.FunctionCode >= 1 && state_.FunctionCode <= 4;
  if (read && ByteAt(frame, kDataAt - 1) != std::int64_t{state_.ExpectedLength} - 5) return WrongReply;
  switch (state_.FunctionCode) {
    case 1:
    case 2:
      StoreBits(state_.FunctionCode == 1, kDataAt, frame.size());
      break;
    case 3:
    case 4:
      StoreRegisters(state_.FunctionCode == 3, kDataAt, frame.size());
      break;
    default:
      break;  // write echoes carry nothing to store
  }
  return DataOk;
}

}  // namespace korvane
