// Modbus TCP framing: the MBAP request and the reply check, including the
// faults a TCP peer can produce (stale transaction, bad header, wrong
// length, garbage, a reply cut short or in one-byte pieces).
#include <ostream>

#include "MasterFixture.h"
#include "master/Mbap.h"
#include "support/TestSupport.h"

namespace korvane::test {
namespace {

class CheckTcp : public MasterFixture {
 protected:
  CheckTcp() { master.SetMbapSource([] { return true; }); }

  // PDU of a read reply with value 100 + i in register start + i.
  static std::string ReadPdu(int start, int size, int function = 3) {
    std::string r{static_cast<char>(function), static_cast<char>(2 * size)};
    for (int i = 0; i < size; ++i) {
      int v = 100 + start - 1 + i;
      r.push_back(static_cast<char>(v >> 8));
      r.push_back(static_cast<char>(v & 0xFF));
    }
    return r;
  }
  std::string Reply(const std::string& pdu, int unit = 1) const {
    return MbapFrame(state.TransactionId, std::string(1, static_cast<char>(unit)) + pdu);
  }
  std::int32_t Tcp(const std::string& piece) {
    return master.MasterCheckTCP(static_cast<std::int32_t>(piece.size()), piece);
  }
};

TEST_F(CheckTcp, RequestsCarryTheMbapHeaderAndANewTransactionEach) {
  ComposeRead(1, 20);
  ComposeRead(1, 20);
  ComposeWrite(26, 250);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(ToHex(sent[0]), "00 01 00 00 00 06 01 03 00 00 00 14");
  EXPECT_EQ(ToHex(sent[1]), "00 02 00 00 00 06 01 03 00 00 00 14");
  EXPECT_EQ(ToHex(sent[2]), "00 03 00 00 00 06 01 06 00 19 00 FA");
}

TEST_F(CheckTcp, TransactionIdWrapsAfter65535) {
  state.TransactionId = 0xFFFF;
  ComposeRead(1, 1);
  EXPECT_EQ(ToHex(sent.back().substr(0, 2)), "00 00");
}

TEST_F(CheckTcp, GoodReplyStoresTheChunkWholeOrInOneBytePieces) {
  for (bool oneByte : {false, true}) {
    image = RegisterImage();
    ComposeRead(3, 20);
    const std::string reply = Reply(ReadPdu(3, 20));
    std::int32_t last = Pending;
    if (oneByte) {
      for (std::size_t i = 0; i < reply.size(); ++i) {
        last = Tcp(reply.substr(i, 1));
        if (i + 1 < reply.size()) {
          ASSERT_EQ(last, Pending) << i;
        }
      }
    } else {
      last = Tcp(reply);
    }
    EXPECT_EQ(last, DataOk) << oneByte;
    EXPECT_EQ(image.HoldingRegister(1, 3), 102);
    EXPECT_EQ(image.HoldingRegister(1, 22), 121);
    EXPECT_EQ(image.HoldingRegister(1, 23), 0);
  }
}

// Each row: a reply (built from the transaction of the request just
// composed) and what the check must say; nothing may be stored from any of them.
struct BadReply {
  const char* name;
  std::function<std::string(std::uint16_t transaction)> bytes;
  std::int32_t result;
  std::uint16_t before = 0;  // the transaction of the request before
};

void PrintTo(const BadReply& r, std::ostream* os) { *os << r.name; }

std::string Unit1(const std::string& pdu) { return std::string(1, '\x01') + pdu; }

class TcpFaults : public CheckTcp, public ::testing::WithParamInterface<BadReply> {};

TEST_P(TcpFaults, StoreNothingAndGiveTheirResult) {
  state.TransactionId = GetParam().before;
  ComposeRead(1, 2);
  EXPECT_EQ(Tcp(GetParam().bytes(state.TransactionId)), GetParam().result);
  EXPECT_EQ(image.HoldingRegister(1, 1), 0);
  EXPECT_EQ(image.HoldingRegister(1, 2), 0);
  // The stream is back in step for the next request's reply.
  ComposeRead(1, 2);
  EXPECT_EQ(Tcp(Reply(ReadPdu(1, 2))), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 2), 101);
}

const std::string kPdu = FromHex("03 04 00 64 00 65");

INSTANTIATE_TEST_SUITE_P(
    Mbap, TcpFaults,
    ::testing::Values(
        BadReply{"StaleTransaction", [](std::uint16_t id) { return MbapFrame(id - 1, Unit1(kPdu)); }, Pending},
        // The transaction wrapped to 0: a late reply to 65535 is as stale.
        BadReply{"StaleAcrossTheWrap",
                 [](std::uint16_t id) { return MbapFrame(static_cast<std::uint16_t>(id - 1), Unit1(kPdu)); }, Pending,
                 0xFFFF},
        BadReply{"NewerTransaction", [](std::uint16_t id) { return MbapFrame(id + 1, Unit1(kPdu)); }, Pending},
        BadReply{"OtherUnit", [](std::uint16_t id) { return MbapFrame(id, "\x02" + kPdu); }, WrongReply},
        BadReply{"ProtocolNotZero",
                 [](std::uint16_t id) {
                   std::string f = MbapFrame(id, Unit1(kPdu));
                   f[3] = 1;
                   return f;
                 },
                 ChecksumError},
        BadReply{"LengthFarPastTheReply",
                 [](std::uint16_t id) {
                   std::string f = MbapFrame(id, Unit1(kPdu));
                   f[4] = 0x7F;
                   return f;
                 },
                 ChecksumError},
        BadReply{"LengthNotFittingTheFunction",
                 [](std::uint16_t id) {
                   std::string f = MbapFrame(id, Unit1(kPdu));
                   f[5] = static_cast<char>(200);
                   return f;
                 },
                 WrongReply},
        // One register where two were asked for, its length telling so.
        BadReply{"ShorterThanAsked", [](std::uint16_t id) { return MbapFrame(id, Unit1(FromHex("03 02 00 64"))); },
                 WrongReply},
        BadReply{"OtherFunction", [](std::uint16_t id) { return MbapFrame(id, Unit1(FromHex("04 04 00 64 00 65"))); },
                 WrongReply},
        BadReply{"ByteCountNotAsked", [](std::uint16_t id) { return MbapFrame(id, Unit1(FromHex("03 02 00 64 00 65"))); },
                 WrongReply},
        BadReply{"ExceptionCodeZero", [](std::uint16_t id) { return MbapFrame(id, Unit1(FromHex("83 00"))); },
                 ChecksumError},
        BadReply{"Garbage", [](std::uint16_t) { return FromHex("DE AD BE EF 12 34 56 78 9A"); }, ChecksumError},
        BadReply{"CutShort", [](std::uint16_t id) { return MbapFrame(id, Unit1(kPdu)).substr(0, 10); }, Pending}),
    [](const ::testing::TestParamInfo<BadReply>& row) { return std::string(row.param.name); });

TEST_F(CheckTcp, ExceptionReplyGivesItsCode) {
  ComposeRead(1, 20);
  EXPECT_EQ(Tcp(Reply(FromHex("83 02"))), ExceptionReply + 2);
}

TEST_F(CheckTcp, WriteEchoIsDataOk) {
  ComposeWrite(26, 250);
  EXPECT_EQ(Tcp(Reply(FromHex("06 00 19 00 FA"))), DataOk);
}

TEST_F(CheckTcp, StaleReplyIsPassedOverAndTheAwaitedOneInTheSamePieceCounts) {
  ComposeRead(1, 2);
  const std::string stale = MbapFrame(static_cast<std::uint16_t>(state.TransactionId - 1), Unit1(FromHex("03 04 FF FF FF FF")));
  EXPECT_EQ(Tcp(stale + Reply(ReadPdu(1, 2))), DataOk);
  EXPECT_EQ(image.HoldingRegister(1, 1), 100);
}

TEST_F(CheckTcp, ARequestThatIsNotSentInTheMiddleOfAReplyRestartsTheCollection) {
  ComposeRead(1, 2);
  const std::string reply = Reply(ReadPdu(1, 2));
  EXPECT_EQ(Tcp(reply.substr(0, 9)), Pending);
  settings.Poll.TableType = 2;
  ComposeWrite(1, 5);  // no write to input registers: nothing is sent, Frame is emptied
  settings.Poll.TableType = 3;
  EXPECT_EQ(Tcp(reply), DataOk);
}

TEST_F(CheckTcp, ReplyAfterTheDeadlineIsATimeOut) {
  ComposeRead(1, 2);
  state.ReplyDeadline = 10;
  tick = 11;
  EXPECT_EQ(Tcp(Reply(ReadPdu(1, 2))), TimeOut);
  EXPECT_EQ(state.ByteCount, 0);
}

TEST_F(CheckTcp, MasterCheckFollowsTheFramingInForce) {
  bool mbap = false;
  master.SetMbapSource([&mbap] { return mbap; });
  ComposeRead(1, 2);
  EXPECT_EQ(ToHex(sent.back()), "01 03 00 00 00 02 C4 0B");  // RTU while the link is no Modbus TCP
  mbap = true;
  ComposeRead(1, 2);
  const std::string reply = Reply(ReadPdu(1, 2));
  EXPECT_EQ(master.MasterCheck(static_cast<std::int32_t>(reply.size()), reply), DataOk);
}

}  // namespace
}  // namespace korvane::test
