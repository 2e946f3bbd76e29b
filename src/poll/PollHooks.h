#pragma once
// Optional hooks into the poll cycle: the step that runs first in every poll
// tick (the data log), and observers of the requests sent and the replies
// checked (link statistics).

#include <cstdint>

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
};

}  // namespace korvane
