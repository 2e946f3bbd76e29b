// The link counters: each request's outcome counted once, a request without
// an answer counted as a time-out when the next one goes out, reply times
// and their rolling 95th percentile.
#include <gtest/gtest.h>

#include <ctime>
#include <ostream>
#include <vector>

#include "link/LinkCounters.h"
#include "link/PortState.h"

namespace korvane {
namespace {

TEST(LinkCounters, CountsEachRequestsOutcomeOnce) {
  LinkCounters c;
  c.RequestSent(8, 1000);
  c.BytesReceived(45);
  c.ReplyChecked(0, 1010);  // a first piece
  c.ReplyChecked(1, 1020);  // data OK, 20 ms
  c.RequestSent(8, 2000);
  c.ReplyChecked(2, 2030);  // checksum
  c.RequestSent(8, 3000);
  c.ReplyChecked(130, 3005);  // exception 2
  c.RequestSent(8, 4000);
  c.ReplyChecked(3, 4900);  // late reply
  c.ReplyChecked(3, 4950);  // a stray piece past the same deadline
  c.RequestSent(8, 5000);   // no answer at all ...
  c.RequestSent(8, 6000);   // ... counted when the next request goes out
  c.ReplyChecked(4, 6100);  // too long: no reply ended, still waiting
  c.ReplyChecked(1, 6040);
  c.OtherBytesSent(9);

  const LinkCounts n = c.Snapshot();
  EXPECT_EQ(n.RequestsSent, 6u);
  EXPECT_EQ(n.GoodReplies, 2u);
  EXPECT_EQ(n.ChecksumErrors, 1u);
  EXPECT_EQ(n.Exceptions, (std::map<int, std::uint64_t>{{2, 1}}));
  EXPECT_EQ(n.TimeOuts, 2u);
  EXPECT_EQ(n.TooLong, 1u);
  EXPECT_EQ(n.BytesSent, 6 * 8u + 9);
  EXPECT_EQ(n.BytesReceived, 45u);
  EXPECT_EQ(n.Reply.Count, 5u);
  EXPECT_EQ(n.Reply.Last, 40u);
  EXPECT_EQ(n.Reply.Min, 5u);
  EXPECT_EQ(n.Reply.Max, 900u);
  EXPECT_DOUBLE_EQ(n.Reply.Mean, (20 + 30 + 5 + 900 + 40) / 5.0);
  EXPECT_FALSE(c.Outstanding());

  c.Reset();
  EXPECT_EQ(c.Snapshot().RequestsSent, 0u);
  EXPECT_EQ(c.Snapshot().Reply.Count, 0u);
}

TEST(LinkCounters, PercentileFollowsTheLatestReplies) {
  LinkCounters c;
  auto reply = [&](std::uint32_t ms) {
    c.RequestSent(8, 0xFFFFFF00u);  // the tick count wraps in between
    c.ReplyChecked(1, 0xFFFFFF00u + ms);
  };
  for (std::uint32_t ms = 1; ms <= 100; ++ms) reply(ms);
  EXPECT_EQ(c.Snapshot().Reply.P95, 95u);
  for (std::size_t i = 0; i < LinkCounters::kReplyWindow; ++i) reply(7);
  EXPECT_EQ(c.Snapshot().Reply.P95, 7u);  // the old times left the window
  EXPECT_EQ(c.Snapshot().Reply.Max, 100u);
}

TEST(LinkCounters, AReplyReadBeforeItsRequestWentOutTakesNoTime) {
  LinkCounters c;
  c.RequestSent(8, 1000);
  c.ReplyChecked(1, 998);  // a late reply read just before the request, handled after it
  EXPECT_EQ(c.Snapshot().Reply.Max, 0u);
}

// The rank taken is the smallest that covers 95 % of the replies, from the
// very first reply on: with few replies it is the highest one.
struct PercentileCase {
  std::vector<std::uint32_t> times;
  std::uint32_t p95;
};

void PrintTo(const PercentileCase& c, std::ostream* os) {
  for (std::uint32_t ms : c.times) *os << ms << ' ';
}

class ReplyPercentile : public ::testing::TestWithParam<PercentileCase> {};

TEST_P(ReplyPercentile, TakesTheNearestRankAbove) {
  LinkCounters c;
  for (std::uint32_t ms : GetParam().times) {
    c.RequestSent(8, 1000);
    c.ReplyChecked(1, 1000 + ms);
  }
  EXPECT_EQ(c.Snapshot().Reply.P95, GetParam().p95);
}

INSTANTIATE_TEST_SUITE_P(FewReplies, ReplyPercentile,
                         ::testing::Values(PercentileCase{{10}, 10}, PercentileCase{{10, 20}, 20},
                                           PercentileCase{{20, 10}, 20}, PercentileCase{{30, 10, 20}, 30},
                                           PercentileCase{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                                           17, 18, 19, 20, 21},
                                                          20}));

// A moment given in local time, so that its clock text is known whatever
// the machine's time zone.
std::time_t LocalMoment(int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 15;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST(PortStateWords, TellsOpenClosedGoneAndReopened) {
  PortStateWords w;
  EXPECT_EQ(w.Words(), "closed");
  const std::time_t t0 = LocalMoment(10, 42, 2);
  w.Opened("COM1", t0);
  EXPECT_EQ(w.Words(), "open (COM1)");
  w.Closed(false, t0 + 5);
  EXPECT_EQ(w.Words(), "device gone (COM1) at 10:42:07");
  w.Closed(true, t0 + 6);  // closing a port whose device is gone
  EXPECT_EQ(w.Words(), "device gone (COM1) at 10:42:07");
  w.Opened("COM2", LocalMoment(9, 5, 31));
  EXPECT_EQ(w.Words(), "open (COM2), reopened at 09:05:31");
  w.Closed(true, t0 + 10);
  EXPECT_EQ(w.Words(), "closed");
}

}  // namespace
}  // namespace korvane
