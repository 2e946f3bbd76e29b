// The test peers answer hand-written frames through a raw pseudo-terminal.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace korvane::test {
namespace {

TEST(PeerSmoke, RtuSlaveAnswersReadAndReportsRequest) {
  PtyPair pty;
  auto slave = StartRtuSlave(pty.SlavePath(), {"--count", "4", "--values", "1,2,0xFF9C,65535"});
  pty.Write(FromHex("01 03 00 00 00 04 44 09"));
  std::string reply = pty.ReadAtLeast(13, Millis(3000));
  // 01 03 08 then four registers, then the CRC.
  ASSERT_EQ(reply.size(), 13u);
  EXPECT_EQ(ToHex(reply.substr(0, 11)), "01 03 08 00 01 00 02 FF 9C FF FF");
  auto line = slave.WaitForLine("req ", Millis(2000));
  ASSERT_TRUE(line);
  EXPECT_EQ(*line, "req 01 03 00 00 00 04 44 09");
}

TEST(PeerSmoke, RtuSlaveReportsWrite) {
  PtyPair pty;
  auto slave = StartRtuSlave(pty.SlavePath());
  pty.Write(FromHex("01 06 00 19 00 FA D8 4E"));
  EXPECT_EQ(ToHex(pty.ReadAtLeast(8, Millis(3000))), "01 06 00 19 00 FA D8 4E");
  auto line = slave.WaitForLine("hr ", Millis(2000));
  ASSERT_TRUE(line);
  EXPECT_EQ(*line, "hr 25=250");
}

TEST(PeerSmoke, RtuSlaveExitsWhenStdinCloses) {
  PtyPair pty;
  auto slave = StartRtuSlave(pty.SlavePath());
  slave.CloseStdin();
  EXPECT_FALSE(slave.ReadLine(Millis(3000)));  // output ends: the peer has gone
}

TEST(PeerSmoke, AsciiSlaveAnswersRead) {
  PtyPair pty;
  auto slave = StartAsciiSlave(pty.SlavePath(), {"--count", "2", "--values", "10,65436"});
  pty.Write(":010300000002FA\r\n");
  std::string reply;
  for (const auto& p : pty.ReadPieces(Millis(5000), [](const std::string& s) { return s.find('\n') != std::string::npos; }))
    reply += p;
  // 01 03 04 000A FF9C, LRC = (256 - sum) mod 256 = 0x53
  EXPECT_EQ(reply, ":010304000AFF9C53\r\n");
  EXPECT_TRUE(slave.WaitForLine("read hr 0 2", Millis(2000)));
}

}  // namespace
}  // namespace korvane::test
