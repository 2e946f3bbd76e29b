// Korvane's core (ControllerSession) over a COM name mapped to a network
// address, against real servers on 127.0.0.1: libmodbus and pymodbus Modbus
// TCP servers, pymodbus and korvane-sim with RTU frames over TCP, and a
// scripted server for the faults. Reads, a setpoint write and an exception
// reply show the status line's texts; the bytes each server saw are the
// bytes Korvane sent.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <string>

#include "KorvaneHarness.h"
#include "link/FrameDecode.h"
#include "link/LinkMonitor.h"
#include "master/Mbap.h"
#include "support/LoopbackServer.h"
#include "tools/SimProcess.h"

namespace korvane::sim::test {
namespace {

using namespace std::chrono_literals;
using korvane::ValueBox;
using korvane::test::FromHex;
using korvane::test::ToHex;

// Holding registers 0..13: SP 250, PV 250, Out -10 (x 0.1), ... Kp 40000 (x 0.1).
const char* kValues = "250,250,0xFFF6,103,104,105,106,107,108,109,110,150,30,0x9C40";
const std::string kFirstRead = "00 01 00 00 00 06 01 03 00 00 00 14";

class TcpEndToEnd : public ::testing::Test {
 protected:
  void MapCom5(const std::string& scheme, std::uint16_t port) {
    ASSERT_TRUE(map.Add("COM5", scheme + "://127.0.0.1:" + std::to_string(port)));
    k.settings.Link.PortNumber = 5;
  }
  void ExpectValuesShown() {
    EXPECT_EQ(k.view.Shown[ValueBox::SetPt], " 250.000");
    EXPECT_EQ(k.view.Shown[ValueBox::PV], " 250.000");
    EXPECT_EQ(k.view.Shown[ValueBox::Out], "  -1.000");
    EXPECT_EQ(k.view.Shown[ValueBox::K], "4000.000");
  }
  // A read, a setpoint write of 250 and the next read against a server that
  // prints "hr 25=250" for the write.
  void ReadWriteRead(korvane::test::ChildProcess& server) {
    k.Connect();
    ASSERT_TRUE(k.TickUntil("Poll 1 Data OK", 1, 1500ms)) << k.view.Status();
    ExpectValuesShown();
    k.view.Entries[ValueBox::SetPt] = "250";
    k.cycle.SPWriteClick();
    k.Tick(800ms);
    EXPECT_EQ(k.view.Status(), "Write -  Data OK");
    EXPECT_TRUE(server.WaitForLine("hr 25=250", 2000ms));
    ASSERT_TRUE(k.TickUntil("Poll 2 Data OK", 1, 1500ms)) << k.view.Status();
  }

  korvane::test::TempDir dir;
  korvane::ComNameMap map{dir.Path() + "/ports"};
  Korvane k{map};
};

TEST_F(TcpEndToEnd, LibmodbusServerIsReadAndWrittenAndSeesTheMbapFramesKorvaneSent) {
  std::uint16_t port = 0;
  auto server = korvane::test::StartTcpSlave({"--values", kValues}, &port);
  MapCom5("tcp", port);
  korvane::LinkMonitor link(k.session);
  ReadWriteRead(server);
  // The link counters count the Modbus TCP frames; the monitor decodes them.
  EXPECT_EQ(link.Counts().RequestsSent, 3u);
  EXPECT_EQ(link.Counts().GoodReplies, 3u);
  ASSERT_GE(link.Frames().Size(), 2u);
  EXPECT_EQ(korvane::DescribeFrame(link.Frames().At(0)), "transaction 1, slave 1 read holding registers start 0 count 20");
  EXPECT_EQ(korvane::DescribeFrame(link.Frames().At(1)).substr(0, 57),
            "transaction 1, slave 1 read holding registers reply, 40 b");
  // The first thing the server got is the first read: no greeting before it.
  const auto& seen = server.LinesSeen();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[1], "connected");
  EXPECT_EQ(seen[2], "req " + kFirstRead);
  // The setpoint write went out as the second transaction, before the server stored it.
  EXPECT_NE(std::find(seen.begin(), seen.end(), "req 00 02 00 00 00 06 01 06 00 19 00 FA"), seen.end());
}

TEST_F(TcpEndToEnd, LibmodbusExceptionReplyShowsEc2AndKeepsTheValues) {
  std::uint16_t port = 0;
  auto server = korvane::test::StartTcpSlave({"--count", "19", "--values", kValues}, &port);
  MapCom5("tcp", port);
  k.Connect();
  ASSERT_TRUE(k.TickUntil("Poll 1 EC2 Illegal Data Address", 1, 1500ms)) << k.view.Status();
  EXPECT_EQ(k.image.HoldingRegister(1, 1), 0);
}

TEST_F(TcpEndToEnd, PymodbusServerIsReadWrittenAndAnswersAnException) {
  std::uint16_t port = 0;
  auto server = korvane::test::StartPyTcpSlave({"--values", kValues}, &port);
  MapCom5("tcp", port);
  ReadWriteRead(server);
  k.settings.Poll.StartRegister = 30;  // 30..49 reach past the server's 32 registers
  ASSERT_TRUE(k.TickUntil(" EC2 Illegal Data Address", 2, 1500ms)) << k.view.Status();
  ExpectValuesShown();
}

TEST_F(TcpEndToEnd, RtuOverTcpToAPymodbusRtuServer) {
  std::uint16_t port = 0;
  auto server = korvane::test::StartPyTcpSlave({"--framer", "rtu", "--values", kValues}, &port);
  MapCom5("rtu+tcp", port);
  k.Connect();
  // The server may take the greeting for the start of a frame and lose the
  // first request with it; the poll simply asks again.
  ASSERT_TRUE(k.TickUntil(" Data OK", 4, 1500ms)) << k.view.Status();
  ExpectValuesShown();
  EXPECT_TRUE(server.WaitForLine("read hr 0 20", 1000ms));
}

TEST_F(TcpEndToEnd, ModbusTcpAndRtuOverTcpToTheSimulator) {
  for (const char* option : {"--tcp", "--rtu-tcp"}) {
    TempDir home;
    SimProcess sim(home.Path(), {option, "0", "--com", "COM5", "--noise", "0", "--ambient", "150",
                                 "--setpoint", "150"});
    ASSERT_TRUE(sim.WaitReady());
    EXPECT_EQ(sim.Device().rfind(std::string(option) == "--tcp" ? "tcp://127.0.0.1:" : "rtu+tcp://127.0.0.1:", 0),
              0u) << sim.Device();
    Korvane on(korvane::ComNameMap(PortsDir(home)));
    on.settings.Link.PortNumber = 5;
    on.Connect();
    ASSERT_TRUE(on.TickUntil(" Data OK", 4, 500ms)) << option << ": " << on.view.Status();
    EXPECT_EQ(on.view.Shown[ValueBox::PV], " 150.000") << option;
  }
}

// The MBAP reply to a read of 20 registers holding first, first + 1, ...
std::string ReadReply(std::uint16_t transaction, int first) {
  std::string pdu = FromHex("01 03 28");
  for (int i = 0; i < 20; ++i) {
    pdu.push_back(static_cast<char>((first + i) >> 8));
    pdu.push_back(static_cast<char>((first + i) & 0xFF));
  }
  return korvane::MbapFrame(transaction, pdu);
}

// Faults from a scripted server, which answers each read as the test says.
class TcpFaultsEndToEnd : public TcpEndToEnd {
 protected:
  TcpFaultsEndToEnd() { MapCom5("tcp", server.Port()); }
  void ConnectAndAccept() {
    k.Connect();
    ASSERT_TRUE(server.Accept(2000ms));
  }
  // One poll tick whose request the server reads, then `reply` in pieces of `piece` bytes.
  void PollAnsweredWith(const std::string& reply, std::size_t piece = 0) {
    k.cycle.PollTimerTimer();
    ASSERT_EQ(ToHex(server.ReadAtLeast(12, 2000ms).substr(6, 6)), "01 03 00 00 00 14");
    for (std::size_t at = 0; at < reply.size(); at += piece == 0 ? reply.size() : piece) {
      server.Write(reply.substr(at, piece == 0 ? std::string::npos : piece));
      if (piece != 0) k.dispatcher.PumpFor(5ms);
    }
    k.dispatcher.PumpFor(300ms);
  }
  korvane::test::LoopbackServer server;
};

TEST_F(TcpFaultsEndToEnd, AReplyInOneBytePiecesIsRead) {
  ConnectAndAccept();
  PollAnsweredWith(ReadReply(1, 300), 1);
  EXPECT_EQ(k.view.Status(), "Poll 1 Data OK");
  EXPECT_EQ(k.view.Shown[ValueBox::PV], " 301.000");
}

struct Fault {
  const char* name;
  std::string reply;
  const char* status;
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

class TcpReplyFaults : public TcpFaultsEndToEnd, public ::testing::WithParamInterface<Fault> {};

TEST_P(TcpReplyFaults, GiveTheirStatusAndNeverAWrongValue) {
  ConnectAndAccept();
  PollAnsweredWith(ReadReply(1, 300));
  ASSERT_EQ(k.view.Shown[ValueBox::PV], " 301.000");
  PollAnsweredWith(GetParam().reply);
  EXPECT_EQ(k.view.Status(), GetParam().status);
  EXPECT_EQ(k.view.Shown[ValueBox::PV], " 301.000");
  EXPECT_EQ(k.port.ConnectedPort(), korvane::spCOM5);
}

std::string WithLength(std::string frame, int length) {
  frame[4] = static_cast<char>(length >> 8);
  frame[5] = static_cast<char>(length & 0xFF);
  return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Mbap, TcpReplyFaults,
    ::testing::Values(Fault{"WrongTransaction", ReadReply(1, 900), "Poll 2"},
                      Fault{"LengthFarPastTheReply", WithLength(ReadReply(2, 900), 4000),
                            "Poll 2 Checksum incorrect"},
                      Fault{"LengthPastTheReplyWithinTheLimit", WithLength(ReadReply(2, 900), 200),
                            "Poll 2 Wrong reply discarded"},
                      Fault{"Garbage", FromHex("47 45 54 20 2F 20 48 54 54 50 2F 31 2E 31 0D 0A"),
                            "Poll 2 Checksum incorrect"}),
    [](const ::testing::TestParamInfo<Fault>& row) { return std::string(row.param.name); });

TEST_F(TcpFaultsEndToEnd, TheServerClosingInTheMiddleOfAReplyEndsTheConnectionWithoutAValue) {
  korvane::LinkMonitor link(k.session);
  ConnectAndAccept();
  k.cycle.PollTimerTimer();
  server.ReadAtLeast(12, 2000ms);
  server.Write(ReadReply(1, 300).substr(0, 20));
  server.CloseClient();
  ASSERT_TRUE(k.dispatcher.PumpUntil([&] { return k.port.ConnectedPort() == korvane::spNone; }, 3000ms));
  EXPECT_EQ(k.view.Status(), "Poll 1");
  EXPECT_EQ(k.image.HoldingRegister(1, 2), 0);
  EXPECT_EQ(link.PortWords().rfind("device gone (COM5) at ", 0), 0u) << link.PortWords();
  EXPECT_THROW(k.cycle.PollTimerTimer(), korvane::SerialError);
}

TEST_F(TcpFaultsEndToEnd, AServerAwayAndBackIsReachedAgainWithPortActiveOffAndOn) {
  ConnectAndAccept();
  PollAnsweredWith(ReadReply(1, 300));
  server.CloseClient();
  ASSERT_TRUE(k.dispatcher.PumpUntil([&] { return k.port.ConnectedPort() == korvane::spNone; }, 3000ms));
  k.control.CloseComm();
  k.settings.Link.PortNumber = 5;  // the dialog reads its port box back
  ConnectAndAccept();
  PollAnsweredWith(ReadReply(2, 400));  // the transaction ids go on counting
  EXPECT_EQ(k.view.Status(), "Poll 2 Data OK");
  EXPECT_EQ(k.view.Shown[ValueBox::PV], " 401.000");
}

}  // namespace
}  // namespace korvane::sim::test
