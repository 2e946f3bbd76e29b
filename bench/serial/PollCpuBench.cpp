// Korvane's processor time per poll against a controller behind a COM name:
// the core as the program wires it (ControllerSession) polls `polls` times,
// one tick every `period-ms`, and the process's user + system time
// (/proc/self/stat) is divided by the polls. scripts/measure-poll-cpu.sh
// runs it against korvane-sim on a pseudo-terminal and over Modbus TCP in
// one go, so the two figures are compared on the same machine state.
//
// With a controller count above 1 the line carries controllers at the
// addresses 1..count (the default map each), all asked in every poll, and
// a poll counts as good when every controller's status is Data OK.
//
//   poll_cpu_bench PORTS-FOLDER COM-NUMBER [polls=200] [period-ms=100] [controllers=1]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "poll/ControllerSession.h"
#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"
#include "serial/QueueDispatcher.h"

using namespace korvane;

namespace {

// utime + stime of this process in clock ticks (fields 14 and 15 of /proc/self/stat).
long ProcessTicks() {
  std::ifstream in("/proc/self/stat");
  std::string line;
  std::getline(in, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::atol(field.c_str());
    if (i == 15) stime = std::atol(field.c_str());
  }
  return utime + stime;
}

// The same in microseconds (getrusage): finer than the clock ticks of /proc.
long ProcessMicros() {
  rusage use{};
  ::getrusage(RUSAGE_SELF, &use);
  return (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000000L + use.ru_utime.tv_usec + use.ru_stime.tv_usec;
}

std::uint32_t TickMs() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

struct NoView : ValueView {
  void SetStatus(const std::string& text) override { status = text; }
  void ShowValue(ValueBox, const std::string&) override {}
  std::string EntryText(ValueBox) const override { return {}; }
  bool UpdateValuesOnPoll() const override { return true; }
  char DecimalSeparator() const override { return '.'; }
  void WriteRefused(const std::string&) override {}
  std::string status;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: poll_cpu_bench PORTS-FOLDER COM-NUMBER [polls] [period-ms]\n");
    return 2;
  }
  const ComNameMap map(argv[1]);
  const int com = std::atoi(argv[2]);
  const int polls = argc > 3 ? std::atoi(argv[3]) : 200;
  const int periodMs = argc > 4 ? std::atoi(argv[4]) : 100;
  const int controllers = argc > 5 ? std::max(1, std::atoi(argv[5])) : 1;

  QueueDispatcher mainThread;
  NoView view;
  ControllerSession session(mainThread, MappedSerialDeviceOpener(map), TickMs, view);
  session.settings.Link.PortNumber = com;
  for (int address = 2; address <= controllers; ++address) {
    session.settings.Others.push_back({DefaultControllerName(static_cast<std::size_t>(address - 1)), address, RegisterMap{}});
  }
  session.SyncControllers();
  session.control.OpenComm(com, 1024, 1024, 9600, 8, 0, 1);
  session.control.PortActivate();
  mainThread.PumpFor(std::chrono::milliseconds(500));  // connected, greeting gone

  int good = 0;
  const long before = ProcessTicks();
  const long beforeUs = ProcessMicros();
  for (int i = 0; i < polls; ++i) {
    session.PollTimerTimer();
    for (int ms = 0; ms < periodMs; ms += 20) {
      mainThread.PumpFor(std::chrono::milliseconds(20));
      session.CheckPlanDeadline();
    }
    bool allOk = true;
    for (std::size_t c = 0; c < session.ControllerCount(); ++c) {
      allOk = allOk && session.Controller(c).view.Status().ends_with(" Data OK");
    }
    if (allOk) {
      ++good;
    } else if (std::getenv("POLL_CPU_TRACE") != nullptr) {
      std::fprintf(stderr, "%s\n", view.status.c_str());
    }
  }
  const long ticks = ProcessTicks() - before;
  const double usPerPoll = static_cast<double>(ProcessMicros() - beforeUs) / polls;
  const double msPerPoll = 1000.0 * static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK)) / polls;
  std::printf("%-28s %d controller(s), %d polls, %d Data OK, %.3f ms CPU per poll (/proc: %ld ticks), %.0f us (getrusage)\n",
              map.DevicePath("COM" + std::to_string(com)).c_str(), controllers, polls, good, msPerPoll, ticks, usPerPoll);
  session.control.CloseComm();
  return good > polls / 2 ? 0 : 1;
}
