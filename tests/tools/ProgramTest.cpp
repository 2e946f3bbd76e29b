// korvane-sim as a program: its COM name, its exit paths, and faults
// switched on its stdin while a master talks to it over the pty.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "Framer.h"
#include "SimProcess.h"
#include "support/TestSupport.h"

namespace korvane::sim::test {
namespace {

namespace fs = std::filesystem;
using korvane::test::FromHex;
using korvane::test::ToHex;

std::string LinkTarget(const std::string& path) {
  std::error_code ec;
  auto target = fs::read_symlink(path, ec);
  return ec ? std::string() : target.string();
}

// The master's end: the pty's slave path opened raw.
class Port {
 public:
  explicit Port(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) return;
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
    ::tcflush(fd_, TCIOFLUSH);
  }
  ~Port() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Open() const { return fd_ >= 0; }
  void Write(const std::string& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
  // What arrives until `count` bytes are in or the time is up.
  std::string Read(std::size_t count, int timeoutMs) {
    std::string in;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (in.size() < count) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
      if (left <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buf[256];
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) {
        hungUp_ = true;
        break;
      }
      in.append(buf, static_cast<std::size_t>(n));
    }
    return in;
  }
  bool HungUp() const { return hungUp_; }

 private:
  int fd_ = -1;
  bool hungUp_ = false;
};

const std::string kRead = FromHex("01 03 00 00 00 01 84 0A");

TEST(SimProgram, MapsItsComNameAndRemovesItAtTheEndOfStdin) {
  TempDir home;
  SimProcess sim(home.Path(), {"--noise", "0"});
  ASSERT_TRUE(sim.WaitReady());
  EXPECT_EQ(sim.ComName(), "COM1");
  EXPECT_EQ(sim.Device().rfind("/dev/pts/", 0), 0u);
  EXPECT_EQ(LinkTarget(PortsDir(home) + "/COM1"), sim.Device());
  sim.CloseStdin();
  EXPECT_EQ(sim.WaitExit(std::chrono::milliseconds(3000)), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(PortsDir(home) + "/COM1")));
}

TEST(SimProgram, SigtermAlsoRemovesTheMapping) {
  TempDir home;
  SimProcess sim(home.Path(), {"--com", "COM4"});
  ASSERT_TRUE(sim.WaitReady());
  EXPECT_EQ(LinkTarget(PortsDir(home) + "/COM4"), sim.Device());
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.WaitExit(std::chrono::milliseconds(3000)), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(PortsDir(home) + "/COM4")));
}

TEST(SimProgram, NeverTakesAMappingTheUserHad) {
  TempDir home;
  fs::create_directories(PortsDir(home));
  fs::create_symlink("/dev/null", PortsDir(home) + "/COM1");
  {
    SimProcess sim(home.Path(), {});
    EXPECT_FALSE(sim.WaitReady());
    EXPECT_EQ(sim.WaitExit(std::chrono::milliseconds(3000)), 3);
  }
  EXPECT_EQ(LinkTarget(PortsDir(home) + "/COM1"), "/dev/null");
  {
    SimProcess sim(home.Path(), {"--free-com"});
    ASSERT_TRUE(sim.WaitReady());
    EXPECT_EQ(sim.ComName(), "COM2");
    EXPECT_EQ(LinkTarget(PortsDir(home) + "/COM2"), sim.Device());
  }
  EXPECT_EQ(LinkTarget(PortsDir(home) + "/COM1"), "/dev/null");
  EXPECT_FALSE(fs::exists(fs::symlink_status(PortsDir(home) + "/COM2")));
}

TEST(SimProgram, ABadOptionExitsWithTwoAndMapsNothing) {
  TempDir home;
  SimProcess sim(home.Path(), {"--slave", "300"});
  EXPECT_EQ(sim.WaitExit(std::chrono::milliseconds(3000)), 2);
  EXPECT_FALSE(fs::exists(PortsDir(home) + "/COM1"));
}

TEST(SimProgram, FaultsSwitchedOnStdinReachTheLine) {
  TempDir home;
  SimProcess sim(home.Path(), {"--no-com", "--noise", "0", "--setpoint", "100"});
  ASSERT_TRUE(sim.WaitReady());
  Port port(sim.Device());
  ASSERT_TRUE(port.Open());
  RtuFramer rtu(5);
  const std::string good = rtu.Encode(FromHex("01 03 02 00 64"), false);

  port.Write(kRead);
  EXPECT_EQ(ToHex(port.Read(7, 2000)), ToHex(good));

  ASSERT_TRUE(sim.Command("fault corrupt count=1", "fault corrupt"));
  port.Write(kRead);
  std::string bad = port.Read(7, 2000);
  EXPECT_EQ(bad.size(), 7u);
  EXPECT_NE(bad, good);
  port.Write(kRead);
  EXPECT_EQ(port.Read(7, 2000), good);

  ASSERT_TRUE(sim.Command("fault exception 2", "fault exception"));
  port.Write(kRead);
  EXPECT_EQ(ToHex(port.Read(5, 2000)), "01 83 02 C0 F1");

  ASSERT_TRUE(sim.Command("fault none", "fault none"));
  ASSERT_TRUE(sim.Command("fault late 600", "fault late"));
  port.Write(kRead);
  EXPECT_EQ(port.Read(7, 300), "");
  EXPECT_EQ(port.Read(7, 1000), good);

  ASSERT_TRUE(sim.Command("fault none", "fault none"));
  ASSERT_TRUE(sim.Command("fault silent", "fault silent"));
  port.Write(kRead);
  EXPECT_EQ(port.Read(7, 300), "");

  ASSERT_TRUE(sim.Command("vanish", "vanish"));
  EXPECT_EQ(sim.WaitExit(std::chrono::milliseconds(3000)), 0);
  port.Read(1, 1000);
  EXPECT_TRUE(port.HungUp());
}

TEST(SimProgram, FaultGivenAtStartAppliesFromTheFirstReply) {
  TempDir home;
  SimProcess sim(home.Path(), {"--no-com", "--ascii", "--setpoint", "100", "--fault", "corrupt-lrc:every=2"});
  ASSERT_TRUE(sim.WaitReady());
  Port port(sim.Device());
  ASSERT_TRUE(port.Open());
  const std::string request = ":010300000001FB\r\n";
  port.Write(request);
  EXPECT_EQ(port.Read(15, 2000), ":0103020064" "96\r\n");
  port.Write(request);
  EXPECT_EQ(port.Read(15, 2000), ":0103020064" "97\r\n");
}

// PV (register 1) in the first reply, 30 s of process time (0.6 s at x50)
// after the simulator came up.
long FirstPvAfterAWait(const std::vector<std::string>& extra) {
  TempDir home;
  std::vector<std::string> args{"--no-com", "--noise", "0", "--speed", "50"};
  args.insert(args.end(), extra.begin(), extra.end());
  SimProcess sim(home.Path(), args);
  if (!sim.WaitReady()) return -1;
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  Port port(sim.Device());
  if (!port.Open()) return -1;
  port.Write(RtuFramer(5).Encode(FromHex("01 03 00 01 00 01"), false));
  const std::string reply = port.Read(7, 2000);
  if (reply.size() != 7) return -1;
  return static_cast<unsigned char>(reply[3]) * 256L + static_cast<unsigned char>(reply[4]);
}

TEST(SimProgram, TheProcessWaitsColdForTheFirstRequestUnlessStartedNow) {
  EXPECT_EQ(FirstPvAfterAWait({}), 20);             // ambient: the step response is still to come
  EXPECT_GT(FirstPvAfterAWait({"--start-now"}), 40);  // well on its way to the setpoint 60
}

// A terminal served with --device answers request after request (a read
// finding nothing waiting is not a hang-up), and the far end closing is.
TEST(SimProgram, ServesAnExistingTerminalUntilItsFarEndCloses) {
  int far = -1, near = -1;
  ASSERT_EQ(::openpty(&far, &near, nullptr, nullptr, nullptr), 0);
  ::fcntl(far, F_SETFD, FD_CLOEXEC);  // the simulator must not hold the far end open
  const std::string path = ::ttyname(near);
  ::close(near);
  termios t{};
  ::tcgetattr(far, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(far, TCSANOW, &t);
  TempDir home;
  SimProcess sim(home.Path(), {"--no-com", "--device", path, "--noise", "0", "--setpoint", "100"});
  ASSERT_TRUE(sim.WaitReady());
  const std::string good = RtuFramer(5).Encode(FromHex("01 03 02 00 64"), false);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(::write(far, kRead.data(), kRead.size()), static_cast<ssize_t>(kRead.size()));
    std::string in;
    for (int waits = 0; in.size() < good.size() && waits < 40; ++waits) {
      pollfd p{far, POLLIN, 0};
      char buf[64];
      if (::poll(&p, 1, 50) > 0) {
        const ssize_t n = ::read(far, buf, sizeof buf);
        if (n > 0) in.append(buf, static_cast<std::size_t>(n));
      }
    }
    EXPECT_EQ(ToHex(in), ToHex(good)) << "request " << i;
  }
  ::close(far);
  EXPECT_EQ(sim.WaitExit(std::chrono::milliseconds(3000)), 1);
}

}  // namespace
}  // namespace korvane::sim::test
