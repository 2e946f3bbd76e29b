#include "serial/ReceiveGather.h"

#include <algorithm>
#include <limits>

namespace korvane {

std::chrono::microseconds QuietGap(const Dcb& block) {
  constexpr std::chrono::microseconds kFloor{1000};
  if (block.BaudRate == 0) return kFloor;
  // Bits of one character in half bits: start, data, parity, stop (1, 1.5, 2).
  const std::uint64_t halfBits = 2u * (1u + block.ByteSize + (block.Parity != 0 ? 1u : 0u)) +
                                 (block.StopBits == 1 ? 3u : block.StopBits == 2 ? 4u : 2u);
  // 3.5 characters = 7 half characters, in microseconds, rounded up.
  const std::uint64_t us = (7u * halfBits * 1'000'000u / 4u + block.BaudRate - 1) / block.BaudRate;
  return std::max(kFloor, std::chrono::microseconds(static_cast<std::int64_t>(us)));
}

void ReceiveGather::SetRules(ReceiveClock::duration delay, std::chrono::microseconds gap,
                             std::size_t limit) {
  delay_ = delay;
  gap_ = gap;
  limit_ = limit;
}

std::size_t ReceiveGather::Room() const {
  if (limit_ == 0) return std::numeric_limits<std::size_t>::max() - bytes_.size();
  return bytes_.size() >= limit_ ? 0 : limit_ - bytes_.size();
}

void ReceiveGather::Add(const char* bytes, std::size_t count, ReceiveClock::time_point at) {
  if (count == 0) return;
  if (bytes_.empty()) firstAt_ = at;
  bytes_.append(bytes, count);
  lastAt_ = at;
}

bool ReceiveGather::Due(ReceiveClock::time_point now, InputWait lastWait) const {
  if (bytes_.empty()) return false;
  if (Room() == 0) return true;  // no more can be waiting for this delivery
  if (lastWait == InputWait::NotSupported || lastWait == InputWait::Gathered) return true;
  if (now - firstAt_ >= delay_) return true;
  // Only a wait that ended without bytes proves the line was quiet.
  return lastWait == InputWait::TimedOut && now - lastAt_ >= gap_;
}

ReceiveClock::duration ReceiveGather::NextWait(ReceiveClock::time_point now,
                                               ReceiveClock::time_point nextChecks) const {
  ReceiveClock::time_point until = nextChecks;
  if (!bytes_.empty()) until = std::min({until, lastAt_ + gap_, firstAt_ + delay_});
  return until > now ? until - now : ReceiveClock::duration::zero();
}

std::string ReceiveGather::Take() {
  std::string out;
  out.swap(bytes_);
  return out;
}

}  // namespace korvane
