#pragma once
// Counters of what happened on the line: requests, the outcome of every
// request, bytes each way and the reply times. One request is outstanding at
// a time; its outcome is the first completed reply after it, or a time-out
// when the next request goes out before any reply completed (a slave that
// never answers produces no result of its own).

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>

namespace korvane {

// Reply times in milliseconds, from the request written to the moment the
// receive thread read the last byte of the piece that completed its reply.
struct ReplyTimes {
  std::uint64_t Count = 0;
  std::uint32_t Last = 0;
  std::uint32_t Min = 0;
  std::uint32_t Max = 0;
  double Mean = 0;
  std::uint32_t P95 = 0;  // over the latest kReplyWindow reply times
};

struct LinkCounts {
  std::uint64_t RequestsSent = 0;
  std::uint64_t GoodReplies = 0;
  std::uint64_t ChecksumErrors = 0;
  std::map<int, std::uint64_t> Exceptions;  // by exception code
  std::uint64_t TimeOuts = 0;
  std::uint64_t TooLong = 0;
  std::uint64_t BytesSent = 0;
  std::uint64_t BytesReceived = 0;
  ReplyTimes Reply;

  std::uint64_t ExceptionReplies() const;
};

class LinkCounters {
 public:
  static constexpr std::size_t kReplyWindow = 200;

  // A request frame of `bytes` bytes written at `tick`. An outstanding
  // request that got no reply counts as a time-out now.
  void RequestSent(std::size_t bytes, std::uint32_t tick);
  // Bytes written that are no request (the "Open Port" text).
  void OtherBytesSent(std::size_t bytes) { counts_.BytesSent += bytes; }
  void BytesReceived(std::size_t bytes) { counts_.BytesReceived += bytes; }
  // The check result of a received piece whose last byte was read at `tick`
  // (0 pending, 1 data OK, 2 checksum, 3 time-out, 4 too long, 128 + code
  // exception).
  void ReplyChecked(std::int32_t result, std::uint32_t tick);
  void Reset();

  // The counts with the reply-time percentile computed now.
  LinkCounts Snapshot() const;
  bool Outstanding() const { return outstanding_; }

 private:
  void AddReplyTime(std::uint32_t ms);

  LinkCounts counts_;
  bool outstanding_ = false;
  std::uint32_t sentTick_ = 0;
  double replySum_ = 0;
  std::array<std::uint32_t, kReplyWindow> window_{};
  std::size_t windowSize_ = 0;
  std::size_t windowNext_ = 0;
};

}  // namespace korvane
