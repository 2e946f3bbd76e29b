#pragma once
// When the receive thread hands gathered bytes to the main thread: once the
// line has been quiet for a short gap after them, once the oldest has waited
// Delay, once the delivery is as large as the receive queue, or at once when
// the device could not wait for them (their age is then unknown, as in a
// pass that only looks at the queue). Pure rules on times the caller reads,
// so they are tested without a thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "serial/SerialDevice.h"
#include "serial/SerialTypes.h"

namespace korvane {

using ReceiveClock = std::chrono::steady_clock;

// The quiet time that ends a burst: 3.5 character times at the block's rate
// (start bit, data bits, parity bit, stop bits), at least 1 ms; 1 ms for a
// rate of 0.
std::chrono::microseconds QuietGap(const Dcb& block);

class ReceiveGather {
 public:
  // delay: the longest a byte is held; gap: the quiet time that ends a
  // burst; limit: the most bytes in one delivery (0: no limit).
  void SetRules(ReceiveClock::duration delay, std::chrono::microseconds gap, std::size_t limit);

  bool Empty() const { return bytes_.empty(); }
  // How many more bytes this delivery takes.
  std::size_t Room() const;
  // Bytes read at `at`.
  void Add(const char* bytes, std::size_t count, ReceiveClock::time_point at);
  // Whether what is gathered goes out now, given how the last wait ended.
  bool Due(ReceiveClock::time_point now, InputWait lastWait) const;
  // How long the next wait may last: until `nextChecks` while nothing is
  // gathered, else also no longer than the end of the quiet gap or the
  // oldest byte's Delay. Never negative.
  ReceiveClock::duration NextWait(ReceiveClock::time_point now,
                                  ReceiveClock::time_point nextChecks) const;
  // The time of the read that brought the latest byte.
  ReceiveClock::time_point LastAt() const { return lastAt_; }
  // Hands over what is gathered and starts afresh.
  std::string Take();

 private:
  ReceiveClock::duration delay_{std::chrono::milliseconds(50)};
  std::chrono::microseconds gap_{std::chrono::milliseconds(1)};
  std::size_t limit_ = 0;
  std::string bytes_;
  ReceiveClock::time_point firstAt_{};
  ReceiveClock::time_point lastAt_{};
};

}  // namespace korvane
