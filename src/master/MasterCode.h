#pragma once
// Modbus master: request composition and reply checks.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "config/Settings.h"
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
  void MasterPollPLC();
  // Frame -> AsciiRequest.
  void BuildAsciiFrame();

  // Feed one received piece; returns the PollResult for the whole piece.
  std::int32_t MasterCheckRTU(std::int32_t n, std::string_view data);
  std::int32_t MasterCheckASCII(std::int32_t n, std::string_view data);
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
