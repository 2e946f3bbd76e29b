#pragma once
// The tuning session's writes, one at a time through the poll cycle's Write
// path: the next one is handed over only when the one before was answered;
// one refused by the controller or left without an answer is tried again
// on a later tick, up to a number of tries. It tells the session's own
// writes from writes typed by hand, and keeps what each parameter holds as
// far as the answers tell.

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "poll/ValueView.h"

namespace korvane {

struct SessionWrite {
  ValueBox Box = ValueBox::SetPt;
  std::string What;   // "setpoint", "Kp", "Ki", "Kd" as the write observers name it
  double Value = 0.0;
  double Resolution = 0.0;  // value per register count: what a sent value may differ by
};

class SessionWrites {
 public:
  // `write` sets one parameter write pending for the next tick.
  explicit SessionWrites(std::function<void(ValueBox, double)> write) : write_(std::move(write)) {}

  // Drops what was waiting (not the write in flight) and queues `writes`.
  void Queue(std::deque<SessionWrite> writes, int tries);
  // Hands the next write over, or the one in flight again when it has had no
  // answer since `retryAfter` s before `now` or the controller refused it.
  void Tick(double now, double retryAfter);

  enum class Seen { Ours, Foreign };
  // A write was sent: ours when it is the one handed over.
  Seen Sent(std::string_view what, double value, double now);
  // The answer to the write sent last. Returns false when it was ours and refused.
  bool Answered(bool ok);
  // A write of ours was refused before it was sent (nothing written): the
  // reason, and it is dropped.
  void Refused();
  // Takes back a write handed over and not sent yet (a NaN for its box:
  // the poll cycle sends no text that is not a number).
  void Withdraw();

  bool Idle() const noexcept { return queue_.empty() && !inFlight_; }
  // A write of ours ran out of tries: what it was.
  const std::optional<SessionWrite>& GaveUp() const noexcept { return gaveUp_; }
  // Each parameter as far as the answers tell: the value confirmed last, and
  // a value sent whose answer never came (it may or may not be in the controller).
  struct Known {
    std::optional<double> Confirmed;
    std::optional<double> Unsure;
  };
  const std::map<std::string, Known>& Values() const noexcept { return known_; }
  void Clear();

 private:
  std::function<void(ValueBox, double)> write_;
  std::deque<SessionWrite> queue_;
  int tries_ = 1;
  int triesLeft_ = 0;
  bool inFlight_ = false;    // the front of the queue was handed over
  bool sent_ = false;        // ... and went out
  bool refusedAnswer_ = false;
  double handedAt_ = 0.0;
  std::optional<std::string> awaiting_;  // the parameter whose answer is due (ours or not)
  std::optional<SessionWrite> gaveUp_;
  std::map<std::string, Known> known_;
};

}  // namespace korvane
