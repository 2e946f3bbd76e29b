// The link counters and the frame monitor against the simulator's fault
// injection, over the core as the program wires it: every injected fault is
// counted exactly, a slave that stays silent as time-outs although the
// status line keeps its "Poll n" text; the port's state in words.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "KorvaneHarness.h"
#include "link/FrameDecode.h"
#include "link/LinkMonitor.h"
#include "tools/SimProcess.h"

namespace korvane::sim::test {
namespace {

using namespace std::chrono_literals;

TEST(LinkWithSim, CountersEqualTheInjectedFaults) {
  TempDir home;
  // Corrupt every 4th reply, and the first three replies are exceptions.
  SimProcess sim(home.Path(), {"--com", "COM1", "--rtu", "--baud", "9600", "--slave", "1", "--gap", "5",
                               "--noise", "0", "--fault", "corrupt:every=4",
                               "--fault", "exception:code=2,count=3"});
  ASSERT_TRUE(sim.WaitReady());
  Korvane k(korvane::ComNameMap(PortsDir(home)));
  LinkMonitor link(k.session);
  EXPECT_EQ(link.PortWords(), "closed");
  k.Connect();
  EXPECT_EQ(link.PortWords(), "open (COM1)");
  k.dispatcher.PumpFor(150ms);  // "Open Port" stands apart from the first request

  for (int i = 0; i < 12; ++i) k.Tick(250ms);  // replies 1-3 exceptions, 4, 8 and 12 corrupt
  ASSERT_TRUE(sim.Command("fault none", "fault none"));
  ASSERT_TRUE(sim.Command("fault late 900 count=2", "fault late"));
  for (int i = 0; i < 2; ++i) k.Tick(1200ms);  // past the 400 ms response time
  ASSERT_TRUE(sim.Command("fault silent", "fault silent"));
  for (int i = 0; i < 3; ++i) {
    k.Tick(300ms);
    EXPECT_EQ(k.view.Status(), "Poll " + std::to_string(k.cycle.PollCount()));
  }
  ASSERT_TRUE(sim.Command("fault none", "fault none"));
  for (int i = 0; i < 2; ++i) k.Tick(250ms);

  const LinkCounts n = link.Counts();
  EXPECT_EQ(n.RequestsSent, 19u);
  EXPECT_EQ(n.GoodReplies, 6u + 2u);
  EXPECT_EQ(n.ChecksumErrors, 3u);
  EXPECT_EQ(n.Exceptions, (std::map<int, std::uint64_t>{{2, 3}}));
  EXPECT_EQ(n.TimeOuts, 2u + 3u);
  EXPECT_EQ(n.TooLong, 0u);
  EXPECT_EQ(n.BytesSent, 19 * 8u + 9);                // requests and "Open Port"
  EXPECT_EQ(n.BytesReceived, (8 + 3 + 2) * 45u + 3 * 5u);  // 20-register replies, exceptions
  EXPECT_EQ(n.Reply.Count, 8u + 3u + 3u + 2u);
  EXPECT_GE(n.Reply.Max, 900u);
  EXPECT_LT(n.Reply.Min, 400u);

  // Frames: "Open Port", 19 requests and 16 replies, in order on the line.
  const FrameRing& ring = link.Frames();
  ASSERT_EQ(ring.Size(), 1u + 19u + 16u);
  EXPECT_EQ(DescribeFrame(ring.At(0)), "text \"Open Port\"");
  EXPECT_EQ(DescribeFrame(ring.At(2)),
            "slave 1 read holding registers exception EC2 Illegal Data Address, CRC good");
  EXPECT_EQ(DescribeFrame(ring.At(8)).substr(0, 46), "slave 1 read holding registers reply, 40 bytes");
  EXPECT_NE(DescribeFrame(ring.At(8)).find(", CRC bad"), std::string::npos);

  // The device vanishes: the status line keeps its text, the words tell.
  const std::string status = k.view.Status();
  ASSERT_TRUE(sim.Command("vanish", "vanishing"));
  k.dispatcher.PumpFor(300ms);
  EXPECT_EQ(link.PortWords().rfind("device gone (COM1) at ", 0), 0u) << link.PortWords();
  EXPECT_EQ(k.view.Status(), status);
}

TEST(LinkWithSim, SwitchingThePortOffAndOnReadsClosedThenReopened) {
  TempDir home;
  SimProcess sim(home.Path(), {"--com", "COM1", "--rtu", "--baud", "9600", "--slave", "1", "--noise", "0"});
  ASSERT_TRUE(sim.WaitReady());
  Korvane k(korvane::ComNameMap(PortsDir(home)));
  LinkMonitor link(k.session);
  k.Connect();
  k.control.CloseComm();
  EXPECT_EQ(link.PortWords(), "closed");
  k.settings.Link.PortNumber = 1;
  k.Connect();
  EXPECT_EQ(link.PortWords().rfind("open (COM1), reopened at ", 0), 0u) << link.PortWords();
}

}  // namespace
}  // namespace korvane::sim::test
