#pragma once
// Korvane's core wired as the main window wires it, without the window: the
// serial component with its receive thread (events run on this thread by a
// std-only dispatcher), the port control, the Modbus master and the poll
// cycle, with a view that records what the window would show.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/Settings.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"
#include "poll/PollCycle.h"
#include "serial/ComNameMap.h"
#include "serial/PortControl.h"
#include "serial/QueueDispatcher.h"
#include "serial/SerialPort.h"

namespace korvane::sim::test {

class RecordingView : public korvane::PollView {
 public:
  void SetStatus(const std::string& text) override { Status = text; }
  void ShowValue(korvane::ValueBox box, const std::string& text) override { Shown[box] = text; }
  std::string EntryText(korvane::ValueBox box) const override {
    auto it = Entries.find(box);
    return it == Entries.end() ? std::string() : it->second;
  }
  bool UpdateValuesOnPoll() const override { return true; }
  bool ChartPaused() const override { return false; }
  float ChartClock() const override { return 0; }
  void InsertDatapoint(float, float, float, float) override { ++Points; }
  void RePlot() override {}
  void WriteRefused(const std::string& message) override { Refused.push_back(message); }

  std::string Status;
  std::map<korvane::ValueBox, std::string> Shown;
  std::map<korvane::ValueBox, std::string> Entries;
  std::vector<std::string> Refused;
  int Points = 0;
};

inline std::uint32_t TickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

struct Korvane {
  explicit Korvane(const korvane::ComNameMap& map)
      : port(dispatcher, korvane::MappedSerialDeviceOpener(map)),
        control(port, settings.Link),
        master(settings, state, image, [this](const std::string& f) { control.SendCommStr(f); }, TickCount),
        cycle(settings, state, image, master, view, TickCount) {
    port.OnReceive = [this](korvane::TSerialPort&, const std::string& bytes) { cycle.Serial1PortReceive(bytes); };
  }
  ~Korvane() { control.CloseComm(); }

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
      if (EndsWith(view.Status, suffix)) return true;
    }
    return false;
  }
  static bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
  }

  korvane::Settings settings;
  korvane::MasterState state;
  korvane::RegisterImage image;
  korvane::QueueDispatcher dispatcher;
  korvane::TSerialPort port;
  korvane::PortControl control;
  korvane::TMaster master;
  RecordingView view;
  korvane::PollCycle cycle;
};

}  // namespace korvane::sim::test
