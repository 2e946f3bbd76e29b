// Polls a Modbus slave the way the main window does (ControllerSession, one
// read of 20 registers per tick) and prints the reply times the Link dock
// shows (LinkMonitor), for comparison with what a line sniffer saw on the
// same line (reply_times_vs_socat.sh).
//
//   link_reply_bench DEVICE [polls=200] [period-ms=100] [delay-ms=50]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/TickCount.h"
#include "link/LinkMonitor.h"
#include "poll/ControllerSession.h"
#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"
#include "serial/QueueDispatcher.h"

using namespace korvane;

namespace {

// The window's value boxes and status line, shown nowhere.
class QuietView : public ValueView {
 public:
  void SetStatus(const std::string& text) override { status = text; }
  void ShowValue(ValueBox, const std::string&) override {}
  std::string EntryText(ValueBox) const override { return {}; }
  bool UpdateValuesOnPoll() const override { return true; }
  void WriteRefused(const std::string&) override {}
  std::string status;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: link_reply_bench DEVICE [polls] [period-ms] [delay-ms]\n");
    return 2;
  }
  const std::string device = argv[1];
  const int polls = argc > 2 ? std::atoi(argv[2]) : 200;
  const int periodMs = argc > 3 ? std::atoi(argv[3]) : 100;
  const unsigned delayMs = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 50;

  char dirTemplate[] = "/tmp/korvane-bench-XXXXXX";
  if (::mkdtemp(dirTemplate) == nullptr) return 1;
  ComNameMap map(std::string(dirTemplate) + "/ports");
  map.Add("COM1", device);

  QueueDispatcher dispatcher;
  QuietView view;
  int rc = 0;
  {
    ControllerSession session(dispatcher, MappedSerialDeviceOpener(map), &TickCount, view);
    LinkMonitor monitor(session);
    session.settings.Link.PortNumber = 1;
    session.port.SetDelay(delayMs);
    try {
      session.control.OpenComm(1, 1024, 1024, session.settings.Link.Baud, 8, 0, 1);
      session.control.PortActivate();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    dispatcher.PumpFor(std::chrono::milliseconds(200));
    monitor.ResetCounts();  // the "Open Port" text is no request
    for (int i = 0; i < polls; ++i) {
      session.poll.PollTimerTimer();
      dispatcher.PumpFor(std::chrono::milliseconds(periodMs));
    }
    const LinkCounts counts = monitor.Counts();
    std::printf("dock: requests %llu good %llu time-outs %llu replies %llu mean %.2f ms p95 %u ms "
                "min %u max %u (status \"%s\")\n",
                static_cast<unsigned long long>(counts.RequestsSent),
                static_cast<unsigned long long>(counts.GoodReplies),
                static_cast<unsigned long long>(counts.TimeOuts),
                static_cast<unsigned long long>(counts.Reply.Count), counts.Reply.Mean, counts.Reply.P95,
                counts.Reply.Min, counts.Reply.Max, view.status.c_str());
    if (counts.GoodReplies == 0) rc = 1;
    session.control.CloseComm();
  }
  std::filesystem::remove_all(dirTemplate);
  return rc;
}
