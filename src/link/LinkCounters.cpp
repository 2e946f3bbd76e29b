#include "link/LinkCounters.h"

#include <algorithm>
#include <vector>

#include "master/MasterCode.h"

namespace korvane {

std::uint64_t LinkCounts::ExceptionReplies() const {
  std::uint64_t total = 0;
  for (const auto& [code, count] : Exceptions) total += count;
  return total;
}

void LinkCounters::RequestSent(std::size_t bytes, std::uint32_t tick) {
  if (outstanding_) ++counts_.TimeOuts;
  ++counts_.RequestsSent;
  counts_.BytesSent += bytes;
  outstanding_ = true;
  sentTick_ = tick;
}

void LinkCounters::ReplyChecked(std::int32_t result, std::uint32_t tick) {
  switch (result) {
    case DataOk: ++counts_.GoodReplies; break;
    case ChecksumError: ++counts_.ChecksumErrors; break;
    case PacketTooLong: ++counts_.TooLong; break;
    case TimeOut:
      // Bytes after the deadline: the outstanding request has timed out.
      // Later stray pieces past the same deadline are not counted again.
      if (outstanding_) ++counts_.TimeOuts;
      break;
    default:
      if (result >= ExceptionReply) ++counts_.Exceptions[result - ExceptionReply];
      if (result < ExceptionReply) return;  // still collecting
      break;
  }
  // Too many bytes end no reply: the request stays outstanding.
  if (result == PacketTooLong || !outstanding_) return;
  outstanding_ = false;
  // The tick count wraps; so does the difference. A piece read just before
  // the request went out (a late reply to an earlier one) counts as 0 ms.
  const auto ms = static_cast<std::int32_t>(tick - sentTick_);
  AddReplyTime(ms < 0 ? 0u : static_cast<std::uint32_t>(ms));
}

void LinkCounters::AddReplyTime(std::uint32_t ms) {
  ReplyTimes& r = counts_.Reply;
  r.Min = r.Count == 0 ? ms : std::min(r.Min, ms);
  r.Max = r.Count == 0 ? ms : std::max(r.Max, ms);
  r.Last = ms;
  ++r.Count;
  replySum_ += ms;
  r.Mean = replySum_ / static_cast<double>(r.Count);
  window_[windowNext_] = ms;
  windowNext_ = (windowNext_ + 1) % kReplyWindow;
  windowSize_ = std::min(windowSize_ + 1, kReplyWindow);
}

void LinkCounters::Reset() { *this = LinkCounters(); }

LinkCounts LinkCounters::Snapshot() const {
  LinkCounts out = counts_;
  if (windowSize_ > 0) {
    // Nearest rank: the smallest time that at least 95 % of the window reach.
    std::vector<std::uint32_t> sorted(window_.begin(), window_.begin() + static_cast<long>(windowSize_));
    const std::size_t rank = (95 * windowSize_ + 99) / 100;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(rank - 1), sorted.end());
    out.Reply.P95 = sorted[rank - 1];
  }
  return out;
}

}  // namespace korvane
