#include "session/SessionWrites.h"

#include <cmath>
#include <utility>

namespace korvane {

void SessionWrites::Queue(std::deque<SessionWrite> writes, int tries) {
  // The write in flight stays at the front until it is answered.
  if (inFlight_ && !queue_.empty()) writes.push_front(queue_.front());
  queue_ = std::move(writes);
  tries_ = tries;
  if (!inFlight_) triesLeft_ = tries_;
  gaveUp_.reset();
}

void SessionWrites::Clear() {
  queue_.clear();
  inFlight_ = sent_ = refusedAnswer_ = false;
  awaiting_.reset();
  gaveUp_.reset();
  known_.clear();
}

void SessionWrites::Tick(double now, double retryAfter) {
  if (queue_.empty()) return;
  if (inFlight_ && !refusedAnswer_ && now - handedAt_ < retryAfter) return;
  if (inFlight_) {
    // Unanswered or refused: once more, or give up on it.
    if (triesLeft_ <= 0) {
      gaveUp_ = queue_.front();
      queue_.pop_front();
      inFlight_ = sent_ = refusedAnswer_ = false;
      triesLeft_ = tries_;
      if (queue_.empty()) return;
    }
  }
  --triesLeft_;
  inFlight_ = true;
  sent_ = refusedAnswer_ = false;
  handedAt_ = now;
  write_(queue_.front().Box, queue_.front().Value);
}

SessionWrites::Seen SessionWrites::Sent(std::string_view what, double value, double now) {
  awaiting_ = std::string(what);
  if (inFlight_ && !sent_ && !queue_.empty() && queue_.front().What == what &&
      std::fabs(queue_.front().Value - value) <= 0.5 * queue_.front().Resolution + 1e-9 * (1.0 + std::fabs(value))) {
    sent_ = true;
    handedAt_ = now;
    known_[std::string(what)].Unsure = value;
    return Seen::Ours;
  }
  known_[std::string(what)].Unsure = value;
  return Seen::Foreign;
}

bool SessionWrites::Answered(bool ok) {
  if (!awaiting_) return true;
  const std::string what = *awaiting_;
  awaiting_.reset();
  Known& known = known_[what];
  if (ok && known.Unsure) {
    known.Confirmed = known.Unsure;
    known.Unsure.reset();
  }
  if (!inFlight_ || !sent_ || queue_.empty() || queue_.front().What != what) return true;
  if (ok) {
    queue_.pop_front();
    inFlight_ = sent_ = false;
    triesLeft_ = tries_;
    return true;
  }
  // Refused or timed out: tried again; what the controller holds stays unsure.
  refusedAnswer_ = true;
  return false;
}

void SessionWrites::Withdraw() {
  if (inFlight_ && !sent_ && !queue_.empty()) write_(queue_.front().Box, NAN);
}

void SessionWrites::Refused() {
  if (!inFlight_ || queue_.empty()) return;
  gaveUp_ = queue_.front();
  queue_.pop_front();
  inFlight_ = sent_ = refusedAnswer_ = false;
  triesLeft_ = tries_;
}

}  // namespace korvane
