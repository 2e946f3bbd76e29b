#pragma once
// Modbus master: request composition and reply checks.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/Settings.h"
#include "master/MasterState.h"

namespace korvane {

enum PollResult : std::int32_t {
  Pending = 0,
  DataOk = 1,
  ChecksumError = 2,
  TimeOut = 3,
  PacketTooLong = 4,
  ExceptionReply = 128,  // 128 + exception code
};

// Millisecond tick count (wraps at 2^32), handed in so time-outs can be tested.
using TickSource = std::function<std::uint32_t()>;
// Puts one frame on the line (the port control's SendCommStr).
using FrameSender = std::function<void(const std::string&)>;

class TMaster {
 public:
  TMaster(const Settings& settings, MasterState& state, RegisterImage& image,
          FrameSender send, TickSource tick);

  // Composes the request set up in the state, frames it (RTU or ASCII by
  // RtuMode), hands it to the sender and records ExpectedLength.
  // FunctionCode and ExpectedLength are recorded before the frame is handed
  // to the sender, so a sender that throws (port not open) leaves the state
  // describing the request; the exception goes on to the caller.
  // Requests that have no valid form are neither composed nor sent and leave
  // FunctionCode/ExpectedLength as they were: writes to read-only tables,
  // function 16 with WriteCount outside 2..123 (its byte count must fit one
  // byte), function 15 with more values than WriteValues holds. Function 15
  // sends quantity = 8 x WriteCount (one value byte per 8 coils).
  void MasterPollPLC();
  // Frame -> AsciiRequest.
  void BuildAsciiFrame();

  // Feed one received piece; returns the PollResult for the whole piece.
  // Only the first n bytes are examined (n <= 0: none; n beyond the data:
  // the data). Nothing outside the received bytes is ever read, and the
  // collector never holds more than 501 bytes or characters.
  //
  // RTU: an exception reply whose code byte is 0 is reported as
  // ChecksumError (it names no exception and holds no data). A reply whose
  // collected frame is shorter than ExpectedLength (a new request replaced
  // Frame in the middle of a reply) is a ChecksumError.
  std::int32_t MasterCheckRTU(std::int32_t n, std::string_view data);
  // ASCII: the 500-character limit is applied per character (the collector
  // resets and the piece reports PacketTooLong at once), so a huge piece
  // cannot grow AsciiReply; a ":" later in the same piece starts a new reply.
  std::int32_t MasterCheckASCII(std::int32_t n, std::string_view data);
  // Decodes AsciiReply. Frames too short for their fixed positions store
  // nothing and give ChecksumError: fewer than 3 decoded bytes (address,
  // function, LRC) unless byte 0 names another slave (Pending); an exception
  // reply without its code byte; a function 3/4 reply with fewer than
  // 2 x ChunkSize data bytes.
  std::int32_t AnalyseAscii();

 private:
  std::uint32_t Tick() const;
  void ResetCollector();
  // Verifies the RTU reply collected in Frame and stores its values.
  std::int32_t CompleteRtuReply();
  void StoreRegisters(bool holding, std::size_t firstDataByte, std::size_t available);
  void StoreBits(bool coils, std::size_t firstDataByte, std::size_t available);

  const Settings& settings_;
  MasterState& state_;
  RegisterImage& image_;
  FrameSender send_;
  TickSource tick_;
};

}  // namespace korvane
