// The serial component on a COM name mapped to a network address: a
// scripted server on 127.0.0.1 plays the gateway. Every name lookup goes
// through the test's resolver; nothing leaves this machine.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "network/ConnectOutcome.h"
#include "network/TcpSerialDevice.h"
#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"
#include "ports/PortControl.h"
#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"
#include "serial/SerialTestSupport.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

// "plc.test" is the loopback; every other name is unknown.
net::Resolved TestResolve(const std::string& host) {
  net::Resolved r;
  if (host == "plc.test" || host == "127.0.0.1") {
    r.Addresses.push_back("127.0.0.1");
  } else if (host == "slow.test") {
    std::this_thread::sleep_for(800ms);
    r.Addresses.push_back("127.0.0.1");
  } else {
    r.Error = net::Failure::NameNotFound;
  }
  return r;
}

NetworkOptions TestNetwork() {
  NetworkOptions o;
  o.Resolve = TestResolve;
  o.ConnectTimeout = 600ms;
  return o;
}

class TcpPortTest : public ::testing::Test {
 protected:
  TcpPortTest() {
    port_.SetPort(spCOM5);
    events_.Attach(port_);
  }
  void Map(const std::string& target) { test::MapComName(map_.Directory(), "COM5", target); }
  void MapServer(const std::string& scheme = "tcp", const std::string& host = "127.0.0.1") {
    Map(scheme + "://" + host + ":" + std::to_string(server_.Port()));
  }
  bool Pump(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 3000ms) {
    return main_.PumpUntil(pred, timeout);
  }
  // Waits for the connect to end (the device line's outcome), pumping events.
  ConnectOutcome Outcome() {
    Pump([] { const auto p = LastConnectOutcome("COM5").Phase; return p != ConnectPhase::Connecting; });
    return LastConnectOutcome("COM5");
  }
  void ExpectGoneWith(const std::string& reason) {
    ASSERT_TRUE(Pump([&] { return port_.ConnectedPort() == spNone; }));
    EXPECT_EQ(events_.disconnects, std::vector<TCommPort>{spCOM5});
    EXPECT_EQ(LastConnectOutcome("COM5").Reason, reason);
    EXPECT_EQ(test::MessageOf([&] { port_.WriteString("x"); }), "COM5 is not open.");
  }

  test::TempDir dir_;
  ComNameMap map_{(std::filesystem::path(dir_.Path()) / "ports").string()};
  test::LoopbackServer server_;
  QueueDispatcher main_;
  test::EventLog events_;
  TSerialPort port_{main_, MappedSerialDeviceOpener(map_, TestNetwork())};
  LinkSettings link_;
  PortControl control_{port_, link_};
};

TEST_F(TcpPortTest, BytesFlowBothWaysAndTheFramingIsModbusTcp) {
  MapServer();
  port_.Open();
  ASSERT_TRUE(server_.Accept(2s));
  EXPECT_EQ(port_.ConnectedFraming(), DeviceFraming::Mbap);
  ASSERT_TRUE(Pump([] { return LastConnectOutcome("COM5").Phase == ConnectPhase::Connected; }));
  port_.WriteBuffer("\x00\x01\x00\x00\x00\x06", 6);
  EXPECT_EQ(test::ToHex(server_.ReadAtLeast(6, 2s)), "00 01 00 00 00 06");
  server_.Write(std::string("\x00\x01\xFF", 3));
  ASSERT_TRUE(Pump([&] { return events_.ReceivedAll().size() == 3; }));
  EXPECT_EQ(test::ToHex(events_.ReceivedAll()), "00 01 FF");
}

TEST_F(TcpPortTest, OpenReturnsAtOnceAndWhatIsWrittenMeanwhileGoesOutOnConnect) {
  MapServer("rtu+tcp", "slow.test");
  const auto start = std::chrono::steady_clock::now();
  port_.Open();
  port_.WriteString("Open Port");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);  // the lookup takes 800 ms
  EXPECT_EQ(LastConnectOutcome("COM5").Phase, ConnectPhase::Connecting);
  EXPECT_EQ(port_.ConnectedFraming(), DeviceFraming::Line);
  ASSERT_TRUE(server_.Accept(3s));
  EXPECT_EQ(server_.ReadAtLeast(9, 2s), "Open Port");
}

TEST_F(TcpPortTest, TheGreetingGoesOverRtuOverTcpButNotOverModbusTcp) {
  for (const char* scheme : {"rtu+tcp", "tcp"}) {
    MapServer(scheme);
    link_.PortNumber = 5;
    control_.OpenComm(5, 1024, 1024, 9600, 8, 0, 1);
    control_.PortActivate();
    ASSERT_TRUE(server_.Accept(2s));
    EXPECT_EQ(server_.ReadAtLeast(9, 500ms), std::string(scheme) == "tcp" ? "" : "Open Port") << scheme;
    control_.CloseComm();
  }
}

TEST_F(TcpPortTest, LineSettingsAreNeitherAppliedNorRefused) {
  MapServer();
  port_.Open();
  EXPECT_NO_THROW(port_.SetBaudRate(br115200));
  EXPECT_NO_THROW(port_.SetParity(pbEven));
  EXPECT_NO_THROW(port_.SetEnableDTROnOpen(false));
  EXPECT_EQ(port_.ConnectedPort(), spCOM5);
}

TEST_F(TcpPortTest, ARefusedConnectionIsAVanishedDevice) {
  Map("tcp://127.0.0.1:" + std::to_string(test::UnusedLoopbackPort()));
  port_.Open();
  ExpectGoneWith("Connection refused");
}

TEST_F(TcpPortTest, AnUnknownNameIsAVanishedDevice) {
  Map("tcp://nowhere.test:502");
  port_.Open();
  ExpectGoneWith("Name not found");
}

TEST_F(TcpPortTest, AListenerThatNeverAnswersTimesOut) {
  test::LoopbackServer full(0);
  full.ConnectOwnClient();  // the only place in its queue is taken: further connects get no answer
  Map("tcp://127.0.0.1:" + std::to_string(full.Port()));
  const auto start = std::chrono::steady_clock::now();
  port_.Open();
  ExpectGoneWith("Timed out");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(TcpPortTest, ABadAddressFailsTheOpenWithItsReasonAndSendsNothing) {
  Map("tcp://127.0.0.1:99999");
  EXPECT_EQ(test::MessageOf([&] { port_.Open(); }), "Cannot connect to COM5.");
  EXPECT_EQ(LastConnectOutcome("COM5").Reason, "Bad address: port above 65535");
  EXPECT_TRUE(events_.connects.empty());
  EXPECT_FALSE(server_.Accept(200ms));
}

TEST_F(TcpPortTest, TheServerClosingDeliversItsLastBytesThenEndsTheConnection) {
  MapServer();
  port_.Open();
  ASSERT_TRUE(server_.Accept(2s));
  server_.Write("tail");
  server_.CloseClient();
  ExpectGoneWith("Connection closed by the server");
  EXPECT_EQ(events_.ReceivedAll(), "tail");
}

TEST_F(TcpPortTest, NothingSpinsAfterTheServerWentAway) {
  MapServer();
  port_.Open();
  ASSERT_TRUE(server_.Accept(2s));
  const auto before = port_.ReceiveThreadCpuTime();
  ASSERT_TRUE(before.has_value());
  main_.PumpFor(1000ms);
  const auto idle = *port_.ReceiveThreadCpuTime() - *before;
  EXPECT_LT(idle, 100ms);  // a spinning thread would use ~1000 ms
  server_.CloseClient();
  server_.CloseListener();
  ASSERT_TRUE(Pump([&] { return port_.ConnectedPort() == spNone; }));
  // The receive thread has ended: nothing of it is left to use processor time.
  EXPECT_FALSE(port_.ReceiveThreadCpuTime().has_value());
}

TEST_F(TcpPortTest, PortActiveOffAndOnReconnectsToAServerThatCameBack) {
  MapServer();
  link_.PortNumber = 5;
  control_.OpenComm(5, 1024, 1024, 9600, 8, 0, 1);
  control_.PortActivate();
  ASSERT_TRUE(server_.Accept(2s));
  server_.CloseClient();
  ASSERT_TRUE(Pump([&] { return port_.ConnectedPort() == spNone; }));
  control_.CloseComm();
  link_.PortNumber = 5;
  control_.OpenComm(5, 1024, 1024, 9600, 8, 0, 1);
  control_.PortActivate();
  ASSERT_TRUE(server_.Accept(2s));
  control_.SendCommStr(std::string("\x00\x07", 2));
  EXPECT_EQ(test::ToHex(server_.ReadAtLeast(2, 2s)), "00 07");
  EXPECT_EQ(events_.connects, (std::vector<TCommPort>{spCOM5, spCOM5}));
}

}  // namespace
}  // namespace korvane
