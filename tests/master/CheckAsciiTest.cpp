// ASCII reply check: collection, LRC, exceptions, short frames, limits, time-outs.
#include "MasterFixture.h"
#include "support/TestSupport.h"

namespace korvane::test {
namespace {

class CheckAscii : public MasterFixture {
 protected:
  CheckAscii() { settings.Link.RtuMode = false; }

  static std::string ReadReply(int size, int slave = 1, int function = 3, int first = 100) {
    std::string r{static_cast<char>(slave), static_cast<char>(function), static_cast<char>(2 * size)};
    for (int i = 0; i < size; ++i) {
      int v = first + i;
      r.push_back(static_cast<char>(v >> 8));
      r.push_back(static_cast<char>(v & 0xFF));
    }
    return AsciiFrame(r);
  }
};

TEST_F(CheckAscii, FullReplyStoresTwentyRegisters) {
  ComposeRead(1, 20);
  std::string reply = ReadReply(20);
  ASSERT_EQ(reply.size(), 91u);  // as seen on the wire
  EXPECT_EQ(Ascii(reply), DataOk);
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(image.HoldingRegister(1, k), 99 + k) << k;
  EXPECT_EQ(state.ByteCount, 0);
  EXPECT_EQ(state.FunctionCode, 3);
}

TEST_F(CheckAscii, SplitReplyAndTheTrailingLineFeed) {
  ComposeRead(1, 20);
  std::string reply = ReadReply(20);
  EXPECT_EQ(Ascii(reply.substr(0, 1)), Pending);
  EXPECT_EQ(Ascii(reply.substr(1, 40)), Pending);
  EXPECT_EQ(Ascii(reply.substr(41, 49)), DataOk);  // ends at CR
  EXPECT_EQ(Ascii(reply.substr(90)), Pending);      // the LF is dropped
  EXPECT_EQ(state.ByteCount, 0);
}

TEST_F(CheckAscii, CharacterByCharacter) {
  ComposeRead(1, 20);
  std::string reply = ReadReply(20);
  std::int32_t last = Pending;
  int completed = 0;
  for (char c : reply) {
    last = Ascii(std::string(1, c));
    if (last == DataOk) ++completed;
  }
  EXPECT_EQ(completed, 1);
  EXPECT_EQ(image.HoldingRegister(1, 20), 119);
}

TEST_F(CheckAscii, NoiseBeforeTheColonIsDropped) {
  ComposeRead(1, 2);
  EXPECT_EQ(Ascii(std::string("\x00\xFFxyz\r\n", 7) + ReadReply(2)), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 2), 101);
}

TEST_F(CheckAscii, ExceptionReply) {
  ComposeRead(1, 20);
  EXPECT_EQ(Ascii(":0183027A\r\n"), ExceptionReply + 2);
  EXPECT_EQ(state.FunctionCode, 0x83);
  EXPECT_EQ(image.HoldingRegister(1, 1), 0);
}

TEST_F(CheckAscii, BadLrcIsAChecksumError) {
  ComposeRead(1, 20);
  EXPECT_EQ(Ascii(":0183027B\r\n"), ChecksumError);
  std::string reply = ReadReply(2);
  reply[8] = reply[8] == '0' ? '1' : '0';
  image.SetHoldingRegister(1, 1, 5);
  EXPECT_EQ(Ascii(reply), ChecksumError);
  EXPECT_EQ(image.HoldingRegister(1, 1), 5);
}

// A reply that answers another request: another slave, another function,
// another register count. It is discarded whole; the image keeps its values.
TEST_F(CheckAscii, ReplyToAnotherRequestIsWrongAndStoresNothing) {
  const std::pair<const char*, std::string> rows[] = {
      {"another slave", ReadReply(2, 2)},
      {"input registers for a holding read", ReadReply(2, 1, 4, 65436)},
      {"coils for a register read", AsciiFrame(FromHex("01 01 01 FF"))},
      {"three registers for a read of two", ReadReply(3)},
      {"exception to another function", AsciiFrame(FromHex("01 84 02"))},
  };
  for (const auto& [what, reply] : rows) {
    ComposeRead(1, 2);
    EXPECT_EQ(Ascii(reply), WrongReply) << what;
    EXPECT_EQ(image.HoldingRegister(1, 1), 0) << what;
    EXPECT_EQ(image.InputRegister(1, 1), 0) << what;
    EXPECT_EQ(image.CoilWord(1, 1), 0) << what;
  }
}

TEST_F(CheckAscii, SignedHoldingRegister) {
  ComposeRead(1, 1);
  EXPECT_EQ(Ascii(AsciiFrame(FromHex("01 03 02 FF 9C"))), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 1), -100);
}

TEST_F(CheckAscii, UpperCaseDigitsDecodeByteForByte) {
  ComposeRead(1, 1);
  EXPECT_EQ(Ascii(":010302000AF0\r\n"), DataOk);  // "0A" decodes to 10
  EXPECT_EQ(image.HoldingRegister(1, 1), 10);
}

TEST_F(CheckAscii, WriteEchoIsDataOk) {
  ComposeWrite(26, 250);
  EXPECT_EQ(Ascii(":0106001900FAE6\r\n"), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 26), 0);
}

// ---- frames too short for the fixed positions ----

TEST_F(CheckAscii, ColonThenCrIsAChecksumError) {
  ComposeRead(1, 20);
  EXPECT_EQ(Ascii(":\r\n"), ChecksumError);
  EXPECT_EQ(Ascii(":0\r\n"), ChecksumError);   // lone digit ignored: no byte
  EXPECT_EQ(Ascii(":01\r\n"), ChecksumError);  // address only
  EXPECT_EQ(Ascii(":01FF\r\n"), ChecksumError);  // address + LRC, no function code
  EXPECT_EQ(state.FunctionCode, 3);
}

TEST_F(CheckAscii, ShortFrameOfAnotherSlaveIsIgnored) {
  // Address and LRC only: a bad frame from the polled slave, whatever its
  // address, and never data; another slave's is ignored.
  struct Case {
    std::int32_t slave;
    const char* frame;
    std::int32_t want;
  };
  for (const Case& c : {Case{1, ":02\r\n", Pending}, Case{247, ":F709\r\n", ChecksumError},
                        Case{247, ":01FF\r\n", Pending}, Case{1, ":F709\r\n", Pending}}) {
    settings.Link.SlaveAddress = c.slave;
    ComposeRead(1, 20);
    EXPECT_EQ(Ascii(c.frame), c.want) << c.slave << " " << c.frame;
  }
}

TEST_F(CheckAscii, ExceptionWithoutItsCodeByte) {
  ComposeRead(1, 20);
  EXPECT_EQ(Ascii(AsciiFrame(FromHex("01 83"))), ChecksumError);
}

TEST_F(CheckAscii, ReadReplyWithTooFewDataBytesStoresNothing) {
  ComposeRead(1, 20);
  for (int k = 1; k <= 20; ++k) image.SetHoldingRegister(1, k, 9);
  EXPECT_EQ(Ascii(ReadReply(19)), ChecksumError);
  EXPECT_EQ(Ascii(AsciiFrame(FromHex("01 03"))), ChecksumError);
  EXPECT_EQ(Ascii(AsciiFrame(FromHex("01 03 28 00"))), ChecksumError);
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(image.HoldingRegister(1, k), 9) << k;
  EXPECT_EQ(Ascii(ReadReply(20)), DataOk);
}

TEST_F(CheckAscii, HugeChunkSizeNeverReadsPastTheFrame) {
  ComposeRead(1, INT32_MAX);
  EXPECT_EQ(Ascii(ReadReply(3)), ChecksumError);
}

TEST_F(CheckAscii, ExceptionCodeZeroIsReportedAs128) {
  ComposeRead(1, 20);
  EXPECT_EQ(Ascii(AsciiFrame(FromHex("01 83 00"))), ExceptionReply);
  EXPECT_EQ(image.HoldingRegister(1, 1), 0);
}

TEST_F(CheckAscii, NonHexCharactersDecodeAsZero) {
  ComposeRead(1, 1);
  // "0a" reads as 00 (lower case is not a digit here) so the LRC no longer fits.
  EXPECT_EQ(Ascii(":010302000aF0\r\n"), ChecksumError);
}

TEST_F(CheckAscii, ColonInsideAReplyIsAnOrdinaryCharacter) {
  ComposeRead(1, 1);
  EXPECT_EQ(Ascii(":01:" + ReadReply(1).substr(1)), ChecksumError);
}

// ---- length limit ----

TEST_F(CheckAscii, FiveHundredCharactersAfterTheColonIsTooLong) {
  EXPECT_EQ(Ascii(":" + std::string(500, '0')), PacketTooLong);
  EXPECT_EQ(state.ByteCount, 0);
}

TEST_F(CheckAscii, FourHundredNinetyNineIsStillPending) {
  EXPECT_EQ(Ascii(":" + std::string(499, '0')), Pending);
  EXPECT_EQ(state.ByteCount, 500);
  EXPECT_EQ(Ascii("0"), PacketTooLong);
}

TEST_F(CheckAscii, CollectorStaysBoundedWithinOneHugePiece) {
  std::string flood = ":" + std::string(100000, 'A');
  EXPECT_EQ(Ascii(flood), PacketTooLong);
  EXPECT_LE(state.AsciiReply.size(), 501u);
}

TEST_F(CheckAscii, ReplyAfterTheLimitInTheSamePieceIsRead) {
  ComposeRead(1, 2);
  // The overlong text is dropped at the limit; a later ":" starts afresh.
  EXPECT_EQ(Ascii(":" + std::string(600, '1') + "\r\n" + ReadReply(2)), DataOk);
}

// ---- time-outs: unsigned tick against the signed deadline ----

TEST_F(CheckAscii, ColonSetsADeadlineThreeSecondsAhead) {
  tick = 1000;
  state.ReplyDeadline = 1400;
  EXPECT_EQ(Ascii(":01"), Pending);
  EXPECT_EQ(state.ReplyDeadline, 4000);
  tick = 4000;
  EXPECT_EQ(Ascii("03"), Pending);
  tick = 4001;
  EXPECT_EQ(Ascii("00"), TimeOut);
  EXPECT_EQ(state.ByteCount, 0);
}

TEST_F(CheckAscii, ReplyCompletedLateIsStoredButTimeOut) {
  ComposeRead(1, 2);
  std::string reply = ReadReply(2);
  tick = 10;
  EXPECT_EQ(Ascii(reply.substr(0, 5)), Pending);
  tick = 3011;
  EXPECT_EQ(Ascii(reply.substr(5)), TimeOut);
  EXPECT_EQ(image.HoldingRegister(1, 1), 100);
}

TEST_F(CheckAscii, NegativeDeadlineAlwaysCountsAsPast) {
  state.ReplyDeadline = -1;
  tick = 0;
  EXPECT_EQ(Ascii("x"), TimeOut);
  // A ":" near the top of the tick range wraps the deadline negative:
  // the piece that started the reply already times out.
  tick = 0xFFFFF000u;
  EXPECT_EQ(Ascii(":0103"), TimeOut);
  EXPECT_LT(state.ReplyDeadline, 0);
  EXPECT_EQ(state.ByteCount, 0);
}

TEST_F(CheckAscii, LargeUnsignedTickIsPastAPositiveDeadline) {
  state.ReplyDeadline = 2000000000;
  tick = 0x80000000u;  // 2147483648 unsigned: later than the deadline
  EXPECT_EQ(Ascii(""), TimeOut);
  tick = 1999999999u;
  state.ReplyDeadline = 2000000000;
  EXPECT_EQ(Ascii(""), Pending);
}

TEST_F(CheckAscii, LengthAndNClamp) {
  ComposeRead(1, 1);
  std::string reply = AsciiFrame(FromHex("01 03 02 00 07"));
  EXPECT_EQ(master.MasterCheckASCII(-1, reply), Pending);
  EXPECT_EQ(master.MasterCheckASCII(0, reply), Pending);
  EXPECT_EQ(master.MasterCheckASCII(1 << 30, reply), DataOk);
}

}  // namespace
}  // namespace korvane::test
