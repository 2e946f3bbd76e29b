// Wire compatibility with real slaves through a raw pseudo-terminal: the
// frames the composer builds go to a libmodbus (RTU) or pymodbus (ASCII)
// slave, and its reply bytes are fed to the check in the pieces they arrive in.
#include <gtest/gtest.h>

#include "base/Settings.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"
#include "support/TestSupport.h"

namespace korvane::test {
namespace {

class WirePeer : public ::testing::Test {
 protected:
  WirePeer()
      : master(settings, state, image, [this](const std::string& f) { pty.Write(f); }, [] { return 0u; }) {
    state.ImageSlot = 1;
    state.ReplyDeadline = 1000000;
  }

  // Feeds the reply bytes to the check in the pieces they arrive in, until
  // a result other than Pending comes back or 5 s pass.
  std::int32_t Exchange(bool rtu, int* pieceCount = nullptr) {
    std::int32_t result = Pending;
    int count = 0;
    pty.ReadPieces(Millis(5000), [&](const std::string& all) {
      // Each call sees everything so far; feed only the new tail.
      std::string piece = all.substr(fed);
      fed = all.size();
      if (!piece.empty()) {
        ++count;
        result = rtu ? master.MasterCheckRTU(static_cast<std::int32_t>(piece.size()), piece)
                     : master.MasterCheckASCII(static_cast<std::int32_t>(piece.size()), piece);
      }
      return result != Pending;
    });
    fed = 0;
    if (pieceCount) *pieceCount = count;
    return result;
  }

  void Read(int start, int size) {
    state.WriteActive = 0;
    state.ChunkStart = start;
    state.ChunkSize = size;
    master.MasterPollPLC();
  }

  void Write(int address, int value) {
    state.WriteActive = 1;
    state.WriteAddress = address;
    state.WriteCount = 1;
    state.WriteValues[0] = value;
    master.MasterPollPLC();
  }

  PtyPair pty;
  Settings settings;
  MasterState state;
  RegisterImage image;
  TMaster master;
  std::size_t fed = 0;
};

const std::vector<std::string> kValuesArgs{
    "--count", "32", "--values",
    "250,-100,1000,0,32767,-32768,65535,1,2,3,4,5,6,7,8,9,10,0x1234,0xFF9C,42"};
const int kExpected[20] = {250, -100, 1000, 0, 32767, -32768, -1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x1234, -100, 42};

TEST_F(WirePeer, RtuReadOfTwentyRegistersFromLibmodbus) {
  auto slave = StartRtuSlave(pty.SlavePath(), kValuesArgs);
  Read(1, 20);
  EXPECT_EQ(Exchange(true), DataOk);
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(image.HoldingRegister(1, k), kExpected[k - 1]) << k;
  EXPECT_TRUE(slave.WaitForLine("req 01 03 00 00 00 14 45 C5", Millis(2000)));
}

TEST_F(WirePeer, RtuChunkedReadsFromLibmodbus) {
  auto slave = StartRtuSlave(pty.SlavePath(), kValuesArgs);
  for (int start = 1; start <= 20; start += 7) {
    Read(start, std::min(7, 21 - start));
    ASSERT_EQ(Exchange(true), DataOk) << start;
  }
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(image.HoldingRegister(1, k), kExpected[k - 1]) << k;
}

TEST_F(WirePeer, RtuSingleRegisterWriteIsEchoedAndApplied) {
  auto slave = StartRtuSlave(pty.SlavePath());
  Write(26, -100);
  EXPECT_EQ(Exchange(true), DataOk);
  auto line = slave.WaitForLine("hr ", Millis(2000));
  ASSERT_TRUE(line);
  EXPECT_EQ(*line, "hr 25=65436");
  Read(26, 1);
  EXPECT_EQ(Exchange(true), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 26), -100);
}

TEST_F(WirePeer, RtuReadBeyondTheMapIsException2) {
  auto slave = StartRtuSlave(pty.SlavePath(), {"--count", "20"});
  Read(1, 21);
  EXPECT_EQ(Exchange(true), ExceptionReply + 2);
  Read(1, 20);  // the collector is ready for the next reply
  EXPECT_EQ(Exchange(true), DataOk);
}

TEST_F(WirePeer, RtuOtherSlaveAddressGetsNoReply) {
  auto slave = StartRtuSlave(pty.SlavePath(), {"--slave", "2"});
  Read(1, 2);
  EXPECT_EQ(pty.ReadFor(Millis(300)), "");
  EXPECT_TRUE(slave.WaitForLine("ignored", Millis(2000)));
}

class WirePeerAscii : public WirePeer {
 protected:
  WirePeerAscii() { settings.Link.RtuMode = false; }
};

TEST_F(WirePeerAscii, ReadOfTwentyRegistersFromPymodbus) {
  auto slave = StartAsciiSlave(pty.SlavePath(), kValuesArgs);
  Read(1, 20);
  EXPECT_EQ(Exchange(false), DataOk);
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(image.HoldingRegister(1, k), kExpected[k - 1]) << k;
  // The LF that follows CR arrives later or in the same piece; it is dropped.
  pty.ReadFor(Millis(50));
  EXPECT_EQ(state.ByteCount, 0);
}

TEST_F(WirePeerAscii, SingleRegisterWriteAndReadBack) {
  auto slave = StartAsciiSlave(pty.SlavePath());
  Write(26, 250);
  EXPECT_EQ(Exchange(false), DataOk);
  auto line = slave.WaitForLine("hr 25=", Millis(2000));
  ASSERT_TRUE(line);
  EXPECT_EQ(*line, "hr 25=250");
  Read(26, 1);
  EXPECT_EQ(Exchange(false), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 26), 250);
}

TEST_F(WirePeerAscii, ReadBeyondTheMapIsException2) {
  auto slave = StartAsciiSlave(pty.SlavePath(), {"--count", "20"});
  Read(1, 21);
  EXPECT_EQ(Exchange(false), ExceptionReply + 2);
}

}  // namespace
}  // namespace korvane::test
