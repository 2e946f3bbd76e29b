#pragma once
// Korvane's core as the main window builds it (ControllerSession), without
// the window: receive events run on this thread by a std-only dispatcher,
// and a view records what the window would show.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "poll/ControllerSession.h"
#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"
#include "serial/QueueDispatcher.h"
#include "support/FakePollView.h"

namespace korvane::sim::test {

inline std::uint32_t TickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

struct Korvane {
  explicit Korvane(const korvane::ComNameMap& map)
      : session(dispatcher, korvane::MappedSerialDeviceOpener(map), TickCount, view) {}

  // What the configuration dialog's OK does with "Port Active" ticked.
  void Connect() {
    control.OpenComm(settings.Link.PortNumber, 1024, 1024, settings.Link.Baud, 8, 0, 1);
    control.PortActivate();
  }
  // One poll tick, then the receive events of `wait`.
  void Tick(std::chrono::milliseconds wait) {
    cycle.PollTimerTimer();
    dispatcher.PumpFor(wait);
  }
  // Ticks until the status line ends with `suffix` (at most `ticks` ticks).
  bool TickUntil(const std::string& suffix, int ticks, std::chrono::milliseconds wait) {
    for (int i = 0; i < ticks; ++i) {
      Tick(wait);
      if (EndsWith(view.Status(), suffix)) return true;
    }
    return false;
  }
  static bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
  }

  korvane::QueueDispatcher dispatcher;
  korvane::test::FakePollView view;
  korvane::ControllerSession session;
  korvane::Settings& settings = session.settings;
  korvane::MasterState& state = session.state;
  korvane::RegisterImage& image = session.image;
  korvane::TSerialPort& port = session.port;
  korvane::PortControl& control = session.control;
  korvane::TMaster& master = session.master;
  korvane::PollCycle& cycle = session.poll;
};

}  // namespace korvane::sim::test
