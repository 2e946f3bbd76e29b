#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "poll/ChunkWalk.h"
#include "PollHarness.h"

namespace korvane {
namespace {

std::vector<Chunk> Walk(const ChunkRequest& request, int reads, std::int32_t start = 0) {
  std::vector<Chunk> chunks;
  for (int k = 0; k < reads; ++k) {
    chunks.push_back(NextChunk(request, start));
    start = chunks.back().Start;
  }
  return chunks;
}

std::vector<std::int32_t> Starts(const std::vector<Chunk>& chunks) {
  std::vector<std::int32_t> starts;
  for (const Chunk& c : chunks) starts.push_back(c.Start);
  return starts;
}

// --- the walk at the rates the line allows ------------------------------

TEST(ChunkWalk, Rtu300BaudReadsFourRegistersAndNeverStartsPastTheBlock) {
  const auto chunks = Walk({true, 300, 1, 20}, 7);
  EXPECT_EQ(Starts(chunks), (std::vector<std::int32_t>{5, 9, 13, 17, 1, 5, 9}));
  for (const Chunk& c : chunks) EXPECT_EQ(c.Size, 4);
}

TEST(ChunkWalk, Ascii2400BaudAlternatesBetweenTwoChunksOfSixteen) {
  const auto chunks = Walk({false, 2400, 1, 20}, 4);
  EXPECT_EQ(Starts(chunks), (std::vector<std::int32_t>{17, 1, 17, 1}));
  for (const Chunk& c : chunks) EXPECT_EQ(c.Size, 16);
}

TEST(ChunkWalk, ABlockThatFitsIsReadWhole) {
  // ASCII at 4800: limit 128 characters = 32 registers. The last two end at
  // register 10000, the last one a block may hold.
  const ChunkRequest cases[] = {{true, 4800, 1, 20},     {true, 9600, 1, 20},    {true, 115200, 1, 20},
                                {false, 4800, 1, 20},    {true, 9600, 9991, 10}, {false, 9600, 9937, 64}};
  for (const ChunkRequest& r : cases) {
    const Chunk c = NextChunk(r, r.StartRegister + 12);
    EXPECT_EQ(c.Start, r.StartRegister) << r.Baud << " " << r.StartRegister;
    EXPECT_EQ(c.Size, r.RegisterCount) << r.Baud << " " << r.StartRegister;
  }
}

TEST(ChunkWalk, LimitIsProportionalToTheBaudRate) {
  EXPECT_EQ(ReplyByteLimit(9600), 256);
  EXPECT_EQ(ReplyByteLimit(2400), 64);
  EXPECT_EQ(ReplyByteLimit(115200), 3072);
  EXPECT_EQ(ReplyByteLimit(INT_MAX), static_cast<std::int64_t>(INT_MAX) * 256 / 9600);
  EXPECT_EQ(ReplyByteLimit(-9600), 0);
}

// --- rates too slow for one register ------------------------------------

TEST(ChunkWalk, BaudZeroStillReadsOneRegisterPerTick) {
  const auto chunks = Walk({true, 0, 1, 20}, 21);
  for (const Chunk& c : chunks) EXPECT_EQ(c.Size, 1);
  EXPECT_EQ(chunks.front().Start, 2);
  EXPECT_EQ(chunks[18].Start, 20);
  EXPECT_EQ(chunks[19].Start, 1);
}

TEST(ChunkWalk, AsciiBelowOneRegisterAndNegativeBaudGiveOneRegister) {
  EXPECT_EQ(NextChunk({false, 100, 1, 20}, 0).Size, 1);  // limit 2 < 4 characters
  EXPECT_EQ(NextChunk({true, -300, 1, 20}, 0).Size, 1);
}

// --- the block kept within 1..10000 -------------------------------------

TEST(ChunkWalk, BlockIsClampedToTheTable) {
  EXPECT_EQ(PolledBlock(0, 20).Start, 1);
  EXPECT_EQ(PolledBlock(1, 0).Size, 1);
  EXPECT_EQ(PolledBlock(1, -5).Size, 1);
  const Chunk tail = PolledBlock(9995, 20);
  EXPECT_EQ(tail.Start, 9995);
  EXPECT_EQ(tail.Size, 6);  // 9995..10000
  EXPECT_EQ(PolledBlock(INT_MAX, INT_MAX).Start, 10000);
  EXPECT_EQ(PolledBlock(INT_MAX, INT_MAX).Size, 1);
}

TEST(ChunkWalk, WalkNearTheTableEndNeverReachesRegister10000) {
  const auto chunks = Walk({true, 300, 9990, 11}, 4);
  EXPECT_EQ(chunks[0].Start, 9994);
  EXPECT_EQ(chunks[0].Size, 4);
  EXPECT_EQ(chunks[1].Start, 9998);
  EXPECT_EQ(chunks[1].Size, 2);  // 9998 + 4 would reach 10000
  EXPECT_EQ(chunks[2].Start, 9990);
  for (const Chunk& c : chunks) EXPECT_LT(c.Start + c.Size - 1, 10000);
}

TEST(ChunkWalk, AnyPreviousStartIsBroughtBackIntoTheBlock) {
  EXPECT_EQ(NextChunk({true, 300, 1, 20}, INT_MAX).Start, 1);
  EXPECT_EQ(NextChunk({true, 300, 1, 20}, INT_MIN).Start, 5);
  EXPECT_EQ(NextChunk({true, 300, 1, 20}, 50).Start, 1);
}

// --- the walk as the tick puts it on the line ---------------------------

TEST(ChunkWalkOnTheLine, Rtu300BaudRequests) {
  test::PollHarness h;
  h.settings.Link.Baud = 300;
  std::vector<int> starts;
  for (int k = 0; k < 6; ++k) {
    h.cycle.PollTimerTimer();
    starts.push_back(h.LastReadRange().first);
    EXPECT_EQ(h.LastReadRange().second, 4);
  }
  EXPECT_EQ(starts, (std::vector<int>{5, 9, 13, 17, 1, 5}));
  EXPECT_EQ(h.LastSent().substr(0, 17), "01 03 00 04 00 04");
}

TEST(ChunkWalkOnTheLine, Ascii2400BaudRequests) {
  test::PollHarness h;
  h.settings.Link.Baud = 2400;
  h.settings.Link.RtuMode = false;
  std::vector<std::string> frames;
  for (int k = 0; k < 3; ++k) {
    h.cycle.PollTimerTimer();
    frames.push_back(h.sent.back().substr(0, 13));
  }
  EXPECT_EQ(frames, (std::vector<std::string>{":010300100010", ":010300000010", ":010300100010"}));
  EXPECT_EQ(h.state.ChunkSize, 16);
}

}  // namespace
}  // namespace korvane
