// Why a device refuses to open, one case per reason, on real pseudo-terminals
// and files: a missing path, a device this user may not open, a device held
// by another program, a plain file, and a free device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "ports/PortOpenReason.h"
#include "support/TempDir.h"
#include "support/TestSupport.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::PtyPair;
using test::TempDir;

// The reason as an unprivileged user sees it. Tests run as root, whom no
// file mode stops, so the probe then runs in a child that became "nobody".
PortOpenReason ProbeAsUnprivileged(const std::string& path) {
  if (::geteuid() != 0) return DiagnosePortOpen(path).Reason;
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
    ::_exit(static_cast<int>(DiagnosePortOpen(path).Reason));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return static_cast<PortOpenReason>(WEXITSTATUS(status));
}

struct Scene {
  TempDir dir;
  PtyPair pty;
  std::optional<ChildProcess> holder;
  int lockedMaster = -1;
  ~Scene() {
    if (holder) holder->CloseStdin();  // cat ends, and flock with it
    if (lockedMaster >= 0) ::close(lockedMaster);
  }
};

struct Case {
  const char* name;
  std::function<std::string(Scene&)> prepare;  // the device path to probe
  PortOpenReason expected;
  const char* words;                           // in the label's words
  const char* hint;                            // in what to do
  bool unprivileged = false;
  int error = 0;                               // the errno the open must meet, when it matters
};

const Case kCases[] = {
    {"MissingPath", [](Scene& s) { return s.dir.File("ttyUSB9"); }, PortOpenReason::NoDevice, "No such device", "Plug the adapter in"},
    {"NoPermission",
     [](Scene& s) {
       // Root's pty is 0620 root:tty: no one else may open it for writing. As
       // an ordinary user, a pty of one's own with every permission taken away.
       if (::geteuid() != 0) ::chmod(s.pty.SlavePath().c_str(), 0);
       return s.pty.SlavePath();
     },
     PortOpenReason::PermissionDenied, "Permission denied: join the", "sudo adduser $USER", true},
    {"HeldByAnotherProgram",
     [](Scene& s) {
       s.pty.CloseSlave();
       s.holder.emplace(std::vector<std::string>{"/usr/bin/flock", "--exclusive", s.pty.SlavePath(), "/bin/cat"});
       return s.pty.SlavePath();
     },
     PortOpenReason::Busy, "Held by another program: flock (pid ", "Close flock (pid "},
    {"PlainFile",
     [](Scene& s) {
       s.dir.Write("plain", "not a serial port");
       return s.dir.File("plain");
     },
     PortOpenReason::NotTerminal, "Not a terminal", "no serial device"},
    {"NoHardwareBehindTheNode",
     [](Scene& s) {
       // A node whose open answers EIO, as /dev/ttyS1 does on a PC without
       // that UART: the slave of a pseudo-terminal that was never unlocked.
       s.lockedMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
       if (s.lockedMaster < 0 || ::grantpt(s.lockedMaster) != 0) throw std::runtime_error("posix_openpt");
       return std::string(::ptsname(s.lockedMaster));
     },
     PortOpenReason::NoDevice, "No such device", "Plug the adapter in", false, EIO},
    {"FreePty", [](Scene& s) { return s.pty.SlavePath(); }, PortOpenReason::Opens, "It opens now", "settings"},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class PortOpenReasonTest : public ::testing::TestWithParam<Case> {};

TEST_P(PortOpenReasonTest, TellsWhyInPlainWords) {
  const Case& c = GetParam();
  Scene scene;
  const std::string path = c.prepare(scene);
  if (c.unprivileged) {
    EXPECT_EQ(ProbeAsUnprivileged(path), c.expected);
    PortOpenDiagnosis d{c.expected, EACCES, "dialout", {}};
    EXPECT_EQ(PortOpenReasonText(d), "Permission denied: join the dialout group");
    EXPECT_EQ(PortOpenHint(d), "Join the dialout group: sudo adduser $USER dialout, then log out and in again.");
    return;
  }
  PortOpenDiagnosis d = DiagnosePortOpen(path);
  // A holder started just now may not have taken its lock yet.
  for (int i = 0; i < 100 && scene.holder && d.Reason != c.expected; ++i) {
    std::this_thread::sleep_for(20ms);
    d = DiagnosePortOpen(path);
  }
  EXPECT_EQ(d.Reason, c.expected);
  if (c.error != 0) {
    EXPECT_EQ(d.Error, c.error);
  }
  EXPECT_NE(PortOpenReasonText(d).find(c.words), std::string::npos) << PortOpenReasonText(d);
  EXPECT_NE(PortOpenHint(d).find(c.hint), std::string::npos) << PortOpenHint(d);
}

INSTANTIATE_TEST_SUITE_P(EachReason, PortOpenReasonTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace korvane
