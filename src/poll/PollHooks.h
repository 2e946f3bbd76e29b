#pragma once
// Optional hooks into the poll cycle: the step that runs first in every poll
// tick (the data log), and observers of the requests sent and the replies
// checked (link statistics).

#include <cstdint>
#include <string_view>

namespace korvane {

class TickHook {
 public:
  virtual ~TickHook() = default;
  // Runs first in every poll tick; false skips the rest of that tick.
  virtual bool BeforePoll() = 0;
};

class ResultObserver {
 public:
  virtual ~ResultObserver() = default;
  // A request (a read, or a write when `write` is set) was handed to the line.
  virtual void RequestSent(bool write) = 0;
  // A received piece was checked; `result` is the PollResult code.
  virtual void ReplyChecked(std::int32_t result, bool write) = 0;
  // The bytes of a request as they were written to the line, at `tick`
  // (the millisecond tick count); only frames that reached the line.
  virtual void FrameSent(std::string_view /*frame*/, std::uint32_t /*tick*/) {}
  // A received piece as the receive event delivered it, before it is
  // checked (ReplyChecked follows for the same piece); `tick` is when the
  // receive thread read its last byte from the line.
  virtual void PieceReceived(std::string_view /*piece*/, std::uint32_t /*tick*/) {}
};

}  // namespace korvane
