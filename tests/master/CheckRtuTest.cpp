// RTU reply check: collection, checksum, exceptions, limits, time-outs.
#include "MasterFixture.h"
#include "support/TestSupport.h"

namespace korvane::test {
namespace {

class CheckRtu : public MasterFixture {
 protected:
  // The reply of a slave holding value 100 + i in register i + 1, for a read of `size` from `start`.
  static std::string ReadReply(int start, int size, int slave = 1, int function = 3) {
    std::string r{static_cast<char>(slave), static_cast<char>(function), static_cast<char>(2 * size)};
    for (int i = 0; i < size; ++i) {
      int v = 100 + start - 1 + i;
      r.push_back(static_cast<char>(v >> 8));
      r.push_back(static_cast<char>(v & 0xFF));
    }
    return WithCrc(r);
  }
};

TEST_F(CheckRtu, FullReplyStoresTwentyRegisters) {
  ComposeRead(1, 20);
  std::string reply = ReadReply(1, 20);
  ASSERT_EQ(reply.size(), 45u);
  EXPECT_EQ(Rtu(reply), DataOk);
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(image.HoldingRegister(1, k), 99 + k) << k;
  EXPECT_EQ(image.HoldingRegister(1, 21), 0);
  EXPECT_EQ(state.ByteCount, 0);
}

TEST_F(CheckRtu, StoresFromChunkStart) {
  image.SetHoldingRegister(1, 1, 77);
  ComposeRead(5, 3);
  EXPECT_EQ(Rtu(ReadReply(5, 3)), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 5), 104);
  EXPECT_EQ(image.HoldingRegister(1, 7), 106);
  EXPECT_EQ(image.HoldingRegister(1, 1), 77);  // outside the chunk: kept
  EXPECT_EQ(image.HoldingRegister(1, 8), 0);
}

TEST_F(CheckRtu, ReplySplitOverThreePieces) {
  ComposeRead(1, 20);
  std::string reply = ReadReply(1, 20);
  EXPECT_EQ(Rtu(reply.substr(0, 2)), Pending);
  EXPECT_EQ(Rtu(reply.substr(2, 30)), Pending);
  EXPECT_EQ(Rtu(reply.substr(32)), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 20), 119);
}

TEST_F(CheckRtu, ByteByByteAndEmptyPieces) {
  ComposeRead(1, 20);
  std::string reply = ReadReply(1, 20);
  for (std::size_t i = 0; i + 1 < reply.size(); ++i) {
    EXPECT_EQ(Rtu(reply.substr(i, 1)), Pending) << i;
    EXPECT_EQ(Rtu(""), Pending);
  }
  EXPECT_EQ(Rtu(reply.substr(reply.size() - 1)), DataOk);
}

TEST_F(CheckRtu, NoiseBeforeTheReplyIsDropped) {
  ComposeRead(1, 20);
  EXPECT_EQ(Rtu(FromHex("00 FF") + ReadReply(1, 20)), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 1), 100);
}

// A reply that answers another request (another function, another register
// count) is discarded and the collection restarts: the right reply after it
// still completes. Another slave's frame starts no collection at all.
TEST_F(CheckRtu, ReplyToAnotherRequestIsWrongAndStoresNothing) {
  struct Row {
    const char* What;
    std::string Reply;
    std::int32_t Result;
  };
  const Row rows[] = {
      {"input registers for a holding read", ReadReply(1, 2, 1, 4), WrongReply},
      {"three registers for a read of two", ReadReply(1, 3), WrongReply},
      {"one register for a read of two", ReadReply(1, 1), WrongReply},
      {"exception to another function", WithCrc(FromHex("01 84 02")), WrongReply},
      {"another slave's reply", ReadReply(1, 2, 2), Pending},
  };
  for (const Row& row : rows) {
    ComposeRead(1, 2);
    EXPECT_EQ(Rtu(row.Reply), row.Result) << row.What;
    EXPECT_EQ(image.HoldingRegister(1, 1), 0) << row.What;
    EXPECT_EQ(image.InputRegister(1, 1), 0) << row.What;
    EXPECT_EQ(Rtu(ReadReply(5, 2)), DataOk) << row.What;  // the request's own reply still counts
    EXPECT_EQ(image.HoldingRegister(1, 1), 104) << row.What;
    image.SetHoldingRegister(1, 1, 0);
  }
}

TEST_F(CheckRtu, WrongFunctionByteIsNotTakenAsAddress) {
  ComposeRead(1, 20);
  // The byte after the address is 01 (not 03): the collection restarts at
  // the next byte, so the full reply that follows still completes.
  EXPECT_EQ(Rtu(FromHex("01 01") + ReadReply(1, 20)), DataOk);
}

TEST_F(CheckRtu, ExceptionReply) {
  ComposeRead(1, 20);
  EXPECT_EQ(Rtu(FromHex("01 83 02 C0 F1")), ExceptionReply + 2);
  EXPECT_EQ(state.ByteCount, 0);
  EXPECT_EQ(state.ExceptionCode, 0);
  EXPECT_EQ(state.ExpectedLength, 5);
  EXPECT_EQ(image.HoldingRegister(1, 1), 0);
}

TEST_F(CheckRtu, ExceptionReplyWithBadCrc) {
  ComposeRead(1, 20);
  EXPECT_EQ(Rtu(FromHex("01 83 02 C0 F0")), ChecksumError);
}

TEST_F(CheckRtu, ExceptionCode255) {
  ComposeRead(1, 20);
  EXPECT_EQ(Rtu(WithCrc(FromHex("01 83 FF"))), ExceptionReply + 255);
}

TEST_F(CheckRtu, ExceptionCodeZeroIsMalformedAndDecodesNothing) {
  ComposeRead(1, 20);
  EXPECT_EQ(Rtu(WithCrc(FromHex("01 83 00"))), ChecksumError);
  EXPECT_EQ(state.ByteCount, 0);
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(image.HoldingRegister(1, k), 0);
}

TEST_F(CheckRtu, ChecksumErrorStoresNothing) {
  ComposeRead(1, 20);
  image.SetHoldingRegister(1, 3, 55);
  std::string reply = ReadReply(1, 20);
  reply.back() = static_cast<char>(reply.back() ^ 1);
  EXPECT_EQ(Rtu(reply), ChecksumError);
  EXPECT_EQ(image.HoldingRegister(1, 3), 55);
  EXPECT_EQ(image.HoldingRegister(1, 1), 0);
}

TEST_F(CheckRtu, CorruptDataByteIsAChecksumError) {
  ComposeRead(1, 20);
  std::string reply = ReadReply(1, 20);
  reply[10] = static_cast<char>(reply[10] ^ 0x40);
  EXPECT_EQ(Rtu(reply), ChecksumError);
}

TEST_F(CheckRtu, WriteEchoIsDataOkAndStoresNothing) {
  ComposeWrite(26, 250);
  EXPECT_EQ(Rtu(FromHex("01 06 00 19 00 FA D8 4E")), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 26), 0);
}

TEST_F(CheckRtu, SignedAndUnsignedStorage) {
  ComposeRead(1, 1);
  EXPECT_EQ(Rtu(WithCrc(FromHex("01 03 02 FF 9C"))), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 1), -100);
  settings.Poll.TableType = 2;
  ComposeRead(1, 1);
  EXPECT_EQ(Rtu(WithCrc(FromHex("01 04 02 FF 9C"))), DataOk);
  EXPECT_EQ(image.InputRegister(1, 1), 65436);
}

TEST_F(CheckRtu, CoilBitsLeastSignificantFirst) {
  settings.Poll.TableType = 0;
  settings.Poll.StartRegister = 10;
  settings.Poll.RegisterCount = 10;  // coils 10..19
  ComposeRead(1, 1);
  ASSERT_EQ(state.ExpectedLength, 7);
  image.SetCoil(1, 9, true);
  image.SetCoil(1, 10, true);  // cleared by the reply
  // byte 0: coils 10..17 = bits 0..7 = 1000 0010b -> coils 11 and 17; byte 1: coils 18, 19 = 10b -> 19.
  EXPECT_EQ(Rtu(WithCrc(FromHex("01 01 02 82 02"))), DataOk);
  EXPECT_FALSE(image.Coil(1, 10));
  EXPECT_TRUE(image.Coil(1, 11));
  EXPECT_TRUE(image.Coil(1, 17));
  EXPECT_FALSE(image.Coil(1, 18));
  EXPECT_TRUE(image.Coil(1, 19));
  EXPECT_TRUE(image.Coil(1, 9));  // outside the block: kept
  EXPECT_EQ(image.CoilWord(1, 2), 0x0001 | 0x0004);  // coil 17 -> word 2 bit 0, coil 19 -> bit 2
}

TEST_F(CheckRtu, DiscreteInputsFunction2) {
  settings.Poll.TableType = 1;
  settings.Poll.RegisterCount = 3;
  ComposeRead(1, 1);
  EXPECT_EQ(Rtu(WithCrc(FromHex("01 02 01 05"))), DataOk);
  EXPECT_EQ(image.DiscreteWord(1, 1), 5);
  EXPECT_EQ(image.CoilWord(1, 1), 0);
}

TEST_F(CheckRtu, Over500BytesIsPacketTooLong) {
  state.FunctionCode = 3;
  state.ExpectedLength = 4 * 1000000 + 5;  // an absurd chunk never completes
  std::string piece = FromHex("01 03") + std::string(498, '\x11');  // 500 bytes collected
  EXPECT_EQ(Rtu(piece), Pending);
  EXPECT_EQ(state.ByteCount, 500);
  EXPECT_EQ(Rtu("\x11"), PacketTooLong);
  EXPECT_EQ(state.ByteCount, 0);
  EXPECT_LE(state.Frame.size(), 501u);
}

TEST_F(CheckRtu, HugeExpectedLengthFromASaturatedChunk) {
  settings.Poll.RegisterWidth = 32;
  ComposeRead(1, INT32_MAX);
  std::string flood = FromHex("01 03") + std::string(2000, '\x11');
  EXPECT_EQ(Rtu(flood), PacketTooLong);
  EXPECT_LE(state.ByteCount, 500);
  EXPECT_LE(state.Frame.size(), 501u);
}

TEST_F(CheckRtu, TinyOrNegativeExpectedLengthNeverReadsOutsideTheFrame) {
  // A reply is completed only from bytes already in the frame: at or below
  // two nothing completes and the frame stops growing; three is too short
  // for a CRC; four checks the CRC of two bytes. Then an exception follows.
  const std::vector<std::int32_t> stalled(12, Pending);
  const std::pair<std::int32_t, std::vector<std::int32_t>> cases[] = {
      {INT32_MIN, stalled}, {-5, stalled}, {0, stalled}, {1, stalled}, {2, stalled},
      {3, {0, 0, ChecksumError, 0, 0, 0, 0, 0, 0, 0, 0, ExceptionReply + 2}},
      {4, {0, 0, 0, ChecksumError, 0, 0, 0, 0, 0, 0, 0, ExceptionReply + 2}}};
  const std::string bytes = FromHex("01 03 02 00 01 00 02 01 83 02 C0 F1");
  for (const auto& [expected, results] : cases) {
    state.FunctionCode = 3;
    state.ExpectedLength = expected;
    state.ByteCount = 0;
    state.ExceptionCode = 0;
    std::vector<std::int32_t> seen;
    std::size_t longest = 0;
    for (char b : bytes) {
      seen.push_back(Rtu(std::string(1, b)));
      longest = std::max(longest, state.Frame.size());
    }
    EXPECT_EQ(seen, results) << expected;
    EXPECT_LE(longest, 5u) << expected;
    EXPECT_EQ(image.HoldingRegister(1, 1), 0) << expected;
  }
}

TEST_F(CheckRtu, ANewRequestDropsWhatWasHalfCollected) {
  // A reply cut short, or an exception begun: the next request's reply is whole.
  for (const std::string& started : {ReadReply(1, 20).substr(0, 44), FromHex("01 83 02")}) {
    ComposeRead(1, 20);
    EXPECT_EQ(Rtu(started), Pending);
    ComposeRead(1, 20);
    EXPECT_EQ(state.ByteCount, 0);
    EXPECT_EQ(state.ExceptionCode, 0);
    EXPECT_EQ(Rtu(ReadReply(1, 20)), DataOk);
    EXPECT_EQ(image.HoldingRegister(1, 20), 119);
  }
}

TEST_F(CheckRtu, LengthBeyondTheDataIsClamped) {
  ComposeRead(1, 1);
  std::string reply = WithCrc(FromHex("01 03 02 00 07"));
  EXPECT_EQ(master.MasterCheckRTU(1000, reply.substr(0, 3)), Pending);
  EXPECT_EQ(master.MasterCheckRTU(2, reply.substr(3)), Pending);  // only 2 of 4 bytes examined
  EXPECT_EQ(master.MasterCheckRTU(-3, reply), Pending);
  EXPECT_EQ(master.MasterCheckRTU(INT32_MIN, reply), Pending);
  EXPECT_EQ(master.MasterCheckRTU(INT32_MAX, reply.substr(5)), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 1), 7);
}

// ---- time-outs (signed 32-bit tick against the deadline) ----

TEST_F(CheckRtu, PieceAfterTheDeadlineIsTimeOutAndResets) {
  ComposeRead(1, 20);
  tick = 5000;
  state.ReplyDeadline = 5000;
  EXPECT_EQ(Rtu(ReadReply(1, 20).substr(0, 10)), Pending);  // at the deadline: not yet late
  tick = 5001;
  EXPECT_EQ(Rtu(""), TimeOut);
  EXPECT_EQ(state.ByteCount, 0);
}

TEST_F(CheckRtu, ReplyCompletedAfterTheDeadlineIsStoredButReportedAsTimeOut) {
  ComposeRead(1, 20);
  state.ReplyDeadline = 100;
  tick = 101;
  EXPECT_EQ(Rtu(ReadReply(1, 20)), TimeOut);
  EXPECT_EQ(image.HoldingRegister(1, 1), 100);
}

TEST_F(CheckRtu, TickIsComparedAsSigned32Bit) {
  ComposeRead(1, 20);
  // Tick 0xFFFFFFF0 is -16 as a signed number: before a deadline of 10.
  state.ReplyDeadline = 10;
  tick = 0xFFFFFFF0u;
  EXPECT_EQ(Rtu(""), Pending);
  // Just after the wrap of the deadline itself: deadline -2147483000, tick 0x80000400 (-2147482624).
  state.ReplyDeadline = -2147483000;
  tick = 0x80000400u;
  EXPECT_EQ(Rtu(""), TimeOut);
  // A tick above 2^31 is negative: a positive deadline is not yet past.
  state.ReplyDeadline = 1000;
  tick = 0x90000000u;
  EXPECT_EQ(Rtu(""), Pending);
}

}  // namespace
}  // namespace korvane::test
