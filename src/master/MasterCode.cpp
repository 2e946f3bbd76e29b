#include "master/MasterCode.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "master/CoreCode.h"

namespace korvane {
namespace {

constexpr std::int32_t kMaxCollected = 500;   // bytes (RTU) or characters (ASCII) of one reply
constexpr std::int32_t kAsciiReplyWindowMs = 3000;
constexpr std::int32_t kMaxRegistersPerWrite = 123;  // function 16: byte count 2 x n must fit one byte

std::int32_t Saturate(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                             std::numeric_limits<std::int32_t>::max()));
}

std::uint8_t ByteAt(std::string_view s, std::size_t i) { return static_cast<std::uint8_t>(s[i]); }

void PutByte(std::string& frame, std::int64_t v) { frame.push_back(static_cast<char>(v & 0xFF)); }

// A 16-bit field, high byte first; values outside 0..65535 go out as their low 16 bits.
void PutWord(std::string& frame, std::int64_t v) {
  PutByte(frame, v >> 8);
  PutByte(frame, v);
}

char HexDigit(unsigned v) { return "0123456789ABCDEF"[v & 0xF]; }

// Reads whose reply carries a byte count: coils, discrete inputs, registers.
bool IsRead(std::int32_t function) { return function >= 1 && function <= 4; }

// The function codes a master of this kind sends and a slave answers.
bool KnownFunction(std::int32_t function) {
  return (function >= 1 && function <= 6) || function == 15 || function == 16;
}

}  // namespace

TMaster::TMaster(const Settings& settings, MasterState& state, RegisterImage& image, FrameSender send,
                 TickSource tick)
    : settings_(settings), state_(state), image_(image), send_(std::move(send)), tick_(std::move(tick)) {}

std::uint32_t TMaster::Tick() const { return tick_ ? tick_() : 0u; }

void TMaster::MasterPollPLC() {
  const auto& link = settings_.Link;
  const auto& poll = settings_.Poll;
  std::string& frame = state_.Frame;
  frame.clear();

  std::int32_t function = 0;
  std::int64_t expected = 8;  // write echoes
  if (state_.WriteActive == 0) {
    const std::int32_t table = state_.ReadTable >= 0 ? state_.ReadTable : poll.TableType;
    if (table == 0 || table == 1) {
      function = table == 0 ? 1 : 2;
      PutByte(frame, link.SlaveAddress);
      PutByte(frame, function);
      PutWord(frame, std::int64_t{poll.StartRegister} - 1);
      PutWord(frame, poll.RegisterCount);
      std::int64_t count = poll.RegisterCount;
      expected = count / 8 + (count % 8 != 0 ? 1 : 0) + 5;
    } else if (table == 2 || table == 3) {
      function = table == 3 ? 3 : 4;
      PutByte(frame, link.SlaveAddress);
      PutByte(frame, function);
      PutWord(frame, std::int64_t{state_.ChunkStart} - 1);
      PutWord(frame, state_.ChunkSize);
      std::int64_t bytesPerRegister = poll.RegisterWidth == 16 ? 2 : 4;
      expected = bytesPerRegister * state_.ChunkSize + 5;
    }
  } else {
    const std::int32_t count = state_.WriteCount;
    const std::int64_t address = std::int64_t{state_.WriteAddress} - 1;
    const auto& values = state_.WriteValues;
    if (poll.TableType == 0 && count == 0) {
      function = 5;
      PutByte(frame, link.SlaveAddress);
      PutByte(frame, function);
      PutWord(frame, address);
      PutWord(frame, values[0] != 0 ? 0xFF00 : 0x0000);
    } else if (poll.TableType == 0 && count >= 1 && count <= static_cast<std::int32_t>(values.size())) {
      // Each value byte carries up to 8 coil states, so the quantity is
      // 8 coils per byte: byte count = quantity div 8 holds exactly.
      function = 15;
      PutByte(frame, link.SlaveAddress);
      PutByte(frame, function);
      PutWord(frame, address);
      PutWord(frame, std::int64_t{count} * 8);
      PutByte(frame, count);
      for (std::int32_t i = 0; i < count; ++i) PutByte(frame, values[static_cast<std::size_t>(i)]);
    } else if (poll.TableType == 3 && count == 1) {
      function = 6;
      PutByte(frame, link.SlaveAddress);
      PutByte(frame, function);
      PutWord(frame, address);
      PutWord(frame, values[0]);
    } else if (poll.TableType == 3 && count >= 2 && count <= kMaxRegistersPerWrite) {
      function = 16;
      PutByte(frame, link.SlaveAddress);
      PutByte(frame, function);
      PutWord(frame, address);
      PutWord(frame, count);
      PutByte(frame, 2 * count);
      for (std::int32_t i = 0; i < count; ++i) PutWord(frame, values[static_cast<std::size_t>(i)]);
    }
    // Anything else (read-only tables, coil counts beyond the value array,
    // register counts whose byte count does not fit one byte, counts <= 0
    // for function 16) has no valid request: nothing is composed or sent.
  }
  if (function == 0) return;

  // The awaited reply is recorded before the frame goes out, so a sender
  // that throws (port not open) leaves the state describing this request.
  state_.FunctionCode = function;
  state_.ExpectedLength = Saturate(expected);
  // Whatever was half collected belongs to an earlier request: a new request
  // starts a new collection, so no late byte completes this request's reply.
  ResetCollector();

  if (Mbap()) {
    FrameAsMbap();
    if (send_) send_(frame);
  } else if (link.RtuMode) {
    std::int32_t c = CRC16(frame, static_cast<std::int32_t>(frame.size()));
    PutByte(frame, c / 256);
    PutByte(frame, c % 256);
    if (send_) send_(frame);
  } else {
    BuildAsciiFrame();
    if (send_) send_(state_.AsciiRequest);
  }
}

void TMaster::BuildAsciiFrame() {
  std::string& out = state_.AsciiRequest;
  out.assign(1, ':');
  for (char c : state_.Frame) {
    unsigned b = static_cast<std::uint8_t>(c);
    out.push_back(HexDigit(b >> 4));
    out.push_back(HexDigit(b));
  }
  unsigned lrc = Lrc(state_.Frame);
  out.push_back(HexDigit(lrc >> 4));
  out.push_back(HexDigit(lrc));
  out += "\r\n";
}

void TMaster::ResetCollector() {
  state_.ByteCount = 0;
  state_.ExceptionCode = 0;
}

std::int32_t TMaster::MasterCheckRTU(std::int32_t n, std::string_view data) {
  std::int32_t result = Pending;
  const std::size_t count = n <= 0 ? 0 : std::min(data.size(), static_cast<std::size_t>(n));
  const std::int32_t slave = settings_.Link.SlaveAddress;
  std::string& frame = state_.Frame;

  for (std::size_t k = 0; k < count; ++k) {
    const std::int32_t b = ByteAt(data, k);
    bool accept = false;
    if (state_.ByteCount == 0) {
      frame.clear();
      if (b == slave) {
        frame.push_back(static_cast<char>(b));
        accept = true;
      }
    }
    if (state_.ByteCount == 1) {
      if (b == state_.FunctionCode) {
        frame.push_back(static_cast<char>(b));
        accept = true;
      } else if (b == std::int64_t{state_.FunctionCode} + 128) {
        state_.ExceptionCode = b;
        frame.push_back(static_cast<char>(b));
        state_.ExpectedLength = 5;
        accept = true;
      } else {
        // The slave's address and another known function: a reply to some
        // other request, not to this one.
        if (KnownFunction(b & 0x7F)) result = WrongReply;
        state_.ByteCount = 0;
      }
    }
    // (A count the byte cannot hold, from a saturated chunk, is left to the length limit.)
    const std::int64_t askedCount = std::int64_t{state_.ExpectedLength} - 5;
    if (state_.ByteCount == 2 && state_.ExceptionCode == 0 && IsRead(state_.FunctionCode) && askedCount >= 0 &&
        askedCount <= 255 && b != askedCount) {
      // A read reply whose byte count is not the one asked for: another
      // request's reply (a late one, or one of another length).
      result = WrongReply;
      ResetCollector();
      continue;
    }
    if (state_.ByteCount > 1 && state_.ByteCount < state_.ExpectedLength) {
      if (state_.ByteCount == 2 && state_.ExceptionCode > 0) state_.ExceptionCode = b;
      frame.push_back(static_cast<char>(b));
      accept = true;
      if (state_.ByteCount == std::int64_t{state_.ExpectedLength} - 1) {
        result = CompleteRtuReply();
        ResetCollector();
        accept = false;
      }
    }
    if (accept) ++state_.ByteCount;
    if (state_.ByteCount > kMaxCollected) {
      ResetCollector();
      result = PacketTooLong;
    }
  }

  if (static_cast<std::int32_t>(Tick()) > state_.ReplyDeadline) {
    ResetCollector();
    result = TimeOut;
  }
  return result;
}

std::int32_t TMaster::CompleteRtuReply() {
  const std::string& frame = state_.Frame;
  const std::size_t length = static_cast<std::size_t>(state_.ExpectedLength);
  // The frame can be shorter than the count says when a new request
  // replaced it in the middle of a reply: such a reply cannot be right.
  if (frame.size() < length || length < 4) return ChecksumError;
  std::int32_t c = CRC16(frame, static_cast<std::int32_t>(length) - 2);
  if (ByteAt(frame, length - 2) != c / 256 || ByteAt(frame, length - 1) != c % 256) return ChecksumError;

  if (state_.ExceptionCode != 0) return ExceptionReply + (state_.ExceptionCode & 0xFF);
  // An exception reply whose code byte is 0 names no exception and holds no
  // data either: a malformed reply, of which nothing is decoded.
  if (ByteAt(frame, 1) == std::int64_t{state_.FunctionCode} + 128) return ChecksumError;
  const std::size_t dataEnd = length - 2;  // the CRC is no data
  switch (state_.FunctionCode) {
    case 1:
    case 2:
      StoreBits(state_.FunctionCode == 1, 3, dataEnd);
      break;
    case 3:
    case 4:
      StoreRegisters(state_.FunctionCode == 3, 3, dataEnd);
      break;
    default:
      break;  // write echoes carry nothing to store
  }
  return DataOk;
}

void TMaster::StoreRegisters(bool holding, std::size_t firstDataByte, std::size_t available) {
  const std::string& frame = state_.Frame;
  const std::size_t end = std::min(available, frame.size());
  const int slot = state_.ImageSlot;
  state_.ReplyWords.clear();
  for (std::int64_t i = 0; i < state_.ChunkSize; ++i) {
    std::size_t at = firstDataByte + 2 * static_cast<std::size_t>(i);
    if (at + 1 >= end) break;
    auto raw = static_cast<std::uint16_t>(ByteAt(frame, at) * 256 + ByteAt(frame, at + 1));
    state_.ReplyWords.push_back(raw);
    std::int64_t number = state_.ChunkStart + i;
    if (number > RegisterImage::kRegisters) continue;
    if (number < 1) continue;
    if (holding) {
      image_.SetHoldingRegister(slot, static_cast<int>(number), raw);
    } else {
      image_.SetInputRegister(slot, static_cast<int>(number), raw);
    }
  }
}

void TMaster::StoreBits(bool coils, std::size_t firstDataByte, std::size_t available) {
  const std::string& frame = state_.Frame;
  const std::size_t end = std::min(available, frame.size());
  const int slot = state_.ImageSlot;
  const std::int64_t first = settings_.Poll.StartRegister;
  for (std::int64_t j = 0; j < settings_.Poll.RegisterCount; ++j) {
    std::size_t at = firstDataByte + static_cast<std::size_t>(j / 8);
    if (at >= end) break;
    std::int64_t number = first + j;
    if (number > std::int64_t{RegisterImage::kBitWords} * 16) break;
    if (number < 1) continue;
    bool on = ((ByteAt(frame, at) >> (j % 8)) & 1) != 0;
    if (coils) {
      image_.SetCoil(slot, static_cast<int>(number), on);
    } else {
      image_.SetDiscreteInput(slot, static_cast<int>(number), on);
    }
  }
}

std::int32_t TMaster::MasterCheckASCII(std::int32_t n, std::string_view data) {
  std::int32_t result = Pending;
  const std::size_t count = n <= 0 ? 0 : std::min(data.size(), static_cast<std::size_t>(n));

  for (std::size_t k = 0; k < count; ++k) {
    const char ch = data[k];
    bool accept = false;
    if (state_.ByteCount == 0) {
      state_.AsciiReply.clear();
      if (ch == ':') {
        state_.AsciiReply.assign(1, ':');
        state_.ReplyDeadline = static_cast<std::int32_t>(Tick() + static_cast<std::uint32_t>(kAsciiReplyWindowMs));
        accept = true;
      }
    } else if (ch != '\r') {
      state_.AsciiReply.push_back(ch);
      accept = true;
    } else {
      result = AnalyseAscii();
      state_.ByteCount = 0;
    }
    if (accept) ++state_.ByteCount;
    // The length limit is applied per character, so the collector never
    // holds more than 501 characters whatever the size of the piece.
    if (state_.ByteCount > kMaxCollected) {
      state_.ByteCount = 0;
      result = PacketTooLong;
    }
  }

  // Unsigned tick against signed deadline: a negative deadline is always past.
  if (static_cast<std::int64_t>(Tick()) > static_cast<std::int64_t>(state_.ReplyDeadline)) {
    state_.ByteCount = 0;
    result = TimeOut;
  }
  return result;
}

std::int32_t TMaster::AnalyseAscii() {
  std::string& frame = state_.Frame;
  frame.clear();
  const std::string& reply = state_.AsciiReply;
  for (std::size_t i = 1; i + 1 < reply.size(); i += 2) {
    std::int32_t v = GetAsciiValue(ByteAt(reply, i)) * 16 + GetAsciiValue(ByteAt(reply, i + 1));
    frame.push_back(static_cast<char>(v & 0xFF));
  }
  const std::size_t n = frame.size();
  // Address, function code and LRC at least; anything shorter cannot be a
  // reply and is reported as a bad frame.
  if (n < 3) return n >= 1 && ByteAt(frame, 0) != settings_.Link.SlaveAddress ? Pending : ChecksumError;
  const bool lrcOk = Lrc(std::string_view(frame).substr(0, n - 1)) == ByteAt(frame, n - 1);
  // A whole frame of another slave is a reply to no request of ours.
  if (ByteAt(frame, 0) != settings_.Link.SlaveAddress) return lrcOk ? WrongReply : Pending;
  if (!lrcOk) return ChecksumError;

  const std::size_t dataEnd = n - 1;  // the LRC is no data
  const std::int32_t function = ByteAt(frame, 1);
  // The function asked for (an exception reply before may have left its form).
  const std::int32_t asked = state_.FunctionCode & 0x7F;
  if (function > 128) {
    if (dataEnd < 3) return ChecksumError;  // no room for the exception code
    if ((function & 0x7F) != asked) return WrongReply;
    state_.FunctionCode = function;
    return ExceptionReply + ByteAt(frame, 2);
  }
  if (function != asked) return WrongReply;
  if (function == 3 || function == 4) {
    // Every register of the chunk must be there, or nothing is stored.
    std::int64_t needed = 3 + 2 * std::int64_t{std::max(state_.ChunkSize, 0)};
    if (static_cast<std::int64_t>(dataEnd) < needed) return ChecksumError;
    // Exactly the registers asked for: a reply of another length is another request's.
    if (static_cast<std::int64_t>(dataEnd) != needed || ByteAt(frame, 2) != needed - 3) return WrongReply;
  }
  state_.FunctionCode = function;
  if (function == 3 || function == 4) StoreRegisters(function == 3, 3, dataEnd);
  return DataOk;
}

}  // namespace korvane
