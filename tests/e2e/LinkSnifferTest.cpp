// The frame monitor against a sniffer on the line: socat relays between the
// pseudo-terminal Korvane opens and the one a libmodbus RTU slave serves,
// logging every byte each way (-x -v). A read, a setpoint write and a read
// beyond the slave's map (exception 2) must show the very bytes socat saw.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "KorvaneHarness.h"
#include "link/FrameDecode.h"
#include "link/LinkMonitor.h"
#include "support/TempDir.h"
#include "support/TestSupport.h"

namespace korvane::sim::test {
namespace {

using namespace std::chrono_literals;
using korvane::test::ChildProcess;
using korvane::test::FromHex;
using korvane::test::TempDir;

struct Sniffed {
  std::string toSlave, fromSlave;
};

// socat -x -v writes "> date time  length=N ..." (or "<") before the hex
// lines of each transfer; a line holds up to 16 bytes in its first 49 columns.
Sniffed ParseSniff(const std::string& path) {
  Sniffed out;
  std::ifstream in(path);
  std::string line;
  std::string* into = nullptr;
  while (std::getline(in, line)) {
    if (line.rfind("> ", 0) == 0) into = &out.toSlave;
    else if (line.rfind("< ", 0) == 0) into = &out.fromSlave;
    else if (line.rfind(" ", 0) == 0 && into != nullptr) *into += FromHex(line.substr(0, 49));
  }
  return out;
}

std::string Joined(const FrameRing& ring, FrameDirection direction, std::string* meanings) {
  std::string bytes;
  for (std::size_t i = 0; i < ring.Size(); ++i) {
    if (ring.At(i).Direction != direction) continue;
    bytes += ring.At(i).Bytes;
    *meanings += DescribeFrame(ring.At(i)) + "\n";
  }
  return bytes;
}

TEST(LinkSniffer, FrameMonitorBytesEqualWhatSocatSaw) {
  TempDir dir;
  const std::string a = dir.File("korvane-end"), b = dir.File("slave-end"), log = dir.File("sniff.log");
  ChildProcess socat({"/bin/sh", "-c",
                      "exec socat -x -v pty,raw,echo=0,link=" + a + " pty,raw,echo=0,link=" + b + " 2>" + log});
  for (int i = 0; i < 100 && (::access(a.c_str(), F_OK) != 0 || ::access(b.c_str(), F_OK) != 0); ++i) {
    std::this_thread::sleep_for(20ms);
  }
  ChildProcess slave = korvane::test::StartRtuSlave(b, {"--count", "32"});
  korvane::ComNameMap map(dir.File("ports"));
  ASSERT_TRUE(map.Add("COM1", a));
  Korvane k(map);
  LinkMonitor link(k.session);
  k.Connect();
  k.dispatcher.PumpFor(200ms);

  ASSERT_TRUE(k.TickUntil(" Data OK", 4, 300ms)) << k.view.Status();  // a read
  k.view.Entries[korvane::ValueBox::SetPt] = "123";
  k.cycle.SPWriteClick();
  k.Tick(300ms);
  ASSERT_EQ(k.view.Status(), "Write -  Data OK");  // a write
  k.settings.Poll.RegisterCount = 40;              // past the slave's 32 registers
  k.Tick(300ms);
  ASSERT_TRUE(Korvane::EndsWith(k.view.Status(), " EC2 Illegal Data Address")) << k.view.Status();
  k.control.CloseComm();
  slave.Terminate();
  socat.Terminate();

  const Sniffed wire = ParseSniff(log);
  std::string sent, received;
  EXPECT_EQ(HexBytes(Joined(link.Frames(), FrameDirection::Sent, &sent)), HexBytes(wire.toSlave));
  EXPECT_EQ(HexBytes(Joined(link.Frames(), FrameDirection::Received, &received)), HexBytes(wire.fromSlave));
  EXPECT_NE(sent.find("slave 1 read holding registers start 0 count 20, CRC good"), std::string::npos) << sent;
  EXPECT_NE(sent.find("slave 1 write register address 25 value 123, CRC good"), std::string::npos) << sent;
  EXPECT_NE(sent.find("slave 1 read holding registers start 0 count 40, CRC good"), std::string::npos) << sent;
  EXPECT_NE(received.find("slave 1 write register address 25 value 123, CRC good"), std::string::npos)
      << received;
  EXPECT_NE(received.find("exception EC2 Illegal Data Address, CRC good"), std::string::npos) << received;
}

}  // namespace
}  // namespace korvane::sim::test
