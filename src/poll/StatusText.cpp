// The status line's text for every result of a reply check.

#include <array>
#include <string_view>

#include "poll/PollCycle.h"

namespace korvane {
namespace {

// Texts of the Modbus exception codes 1..8, as the status line shows them.
constexpr std::array<std::string_view, 8> kExceptionTexts = {
    " Illegal Function",     " Illegal Data Address", " Illegal Data Value",
    " Slave Device Failure", " Acknowlegde",          " Slave Device Busy",
    " Negative Acknowledge", " Memory Parity Error",
};

}  // namespace

bool StatusText(std::int32_t result, const std::string& prefix, std::string& text) {
  switch (result) {
    case PollResult::Pending: text = prefix; return true;
    case PollResult::DataOk: text = prefix + " Data OK"; return true;
    case PollResult::ChecksumError: text = prefix + " Checksum incorrect"; return true;
    case PollResult::TimeOut: text = prefix + " Time Out occurred"; return true;
    case PollResult::PacketTooLong: text = prefix + " Packet Too Long"; return true;
    case PollResult::WrongReply: text = prefix + " Wrong reply discarded"; return true;
    default: break;
  }
  if (result <= PollResult::ExceptionReply) return false;  // no text: the line keeps its contents
  const std::int32_t code = result - PollResult::ExceptionReply;
  text = prefix + " EC" + std::to_string(code);
  if (code <= static_cast<std::int32_t>(kExceptionTexts.size())) {
    text += kExceptionTexts[static_cast<std::size_t>(code - 1)];
  }
  return true;
}

}  // namespace korvane
