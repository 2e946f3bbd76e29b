#pragma once
// Modbus master: request composition and reply checks.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "base/Settings.h"
#include "master/MasterState.h"

namespace korvane {

enum PollResult : std::int32_t {
  Pending = 0,
  DataOk = 1,
  ChecksumError = 2,
  TimeOut = 3,
  PacketTooLong = 4,
  // A whole reply that is not the answer to the request in progress: another
  // slave address, another function code or another register count. Nothing
  // of it is stored; the request keeps waiting for its own reply.
  WrongReply = 5,
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

  // Whether the link carries Modbus TCP (MBAP framing, no CRC or LRC) rather
  // than RTU or ASCII frames; asked at every compose and every check, so the
  // framing follows the device the port opened. Without a source: never.
  void SetMbapSource(std::function<bool()> source) { mbapSource_ = std::move(source); }
  bool Mbap() const { return mbapSource_ && mbapSource_(); }
  // The check of the framing in force: MBAP, else RTU or ASCII by RtuMode.
  std::int32_t MasterCheck(std::int32_t n, std::string_view data);

  // Feed one received piece; returns the PollResult for the whole piece.
  // Only the first n bytes are examined (n <= 0: none; n beyond the data:
  // the data). Nothing outside the received bytes is ever read, and the
  // collector never holds more than 501 bytes or characters.
  //
  // RTU: a reply to a read whose byte count is not the one the request asked
  // for is a WrongReply (nothing stored; the collection restarts at the byte
  // after the count). The slave's address followed by a function code that is
  // neither the request's nor its exception form is a WrongReply too.
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
  // 2 x ChunkSize data bytes. A whole frame with a correct LRC that names
  // another slave, another function than the request's (or its exception
  // form), or another byte count or length than the read asked for is a
  // WrongReply and stores nothing.
  std::int32_t AnalyseAscii();
  // Modbus TCP: collects the MBAP header and the PDU after it. A frame whose
  // header is right in form but carries another transaction id (a late reply
  // to an earlier request) is passed over by its length and changes nothing;
  // one of this transaction with another unit id is passed over too and is a
  // WrongReply. A header that cannot start a reply (protocol id not
  // 0, length outside 3..254) is a ChecksumError and the rest of the piece is
  // dropped, since the stream's frame boundaries are lost; a reply of this
  // transaction whose length does not fit the request (or whose function
  // code is neither the request's nor its exception form, or whose byte
  // count is not the one asked for) is a WrongReply and is passed over by
  // its length. Nothing is stored from a
  // bad reply. Composing a request restarts the collection.
  std::int32_t MasterCheckTCP(std::int32_t n, std::string_view data);

 private:
  std::uint32_t Tick() const;
  void ResetCollector();
  // Verifies the RTU reply collected in Frame and stores its values.
  std::int32_t CompleteRtuReply();
  // Verifies the MBAP reply collected in Frame (header and PDU) and stores its values.
  std::int32_t CompleteMbapReply();
  // Frame (slave address first) -> MBAP frame with the next transaction id.
  void FrameAsMbap();
  void StoreRegisters(bool holding, std::size_t firstDataByte, std::size_t available);
  void StoreBits(bool coils, std::size_t firstDataByte, std::size_t available);

  const Settings& settings_;
  MasterState& state_;
  RegisterImage& image_;
  FrameSender send_;
  TickSource tick_;
  std::function<bool()> mbapSource_;
};

}  // namespace korvane
