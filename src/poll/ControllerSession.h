#pragma once
// Korvane's core for a line, wired in one place: the settings, the
// master's state and register image, the serial port with its port control,
// the Modbus master, the chart history and the poll cycle of the line's
// first controller, the line's other controllers (each with its own of
// those, PolledController.h) and the line's poll, which asks them in turn.
// The main window and every test harness build this object; they hand in
// what differs between them: the main-thread dispatcher, the device opener,
// the clock and the view of the status line and value boxes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Settings.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"
#include "plot/ChartHistory.h"
#include "poll/LinePoll.h"
#include "poll/PollCycle.h"
#include "poll/PolledController.h"
#include "poll/StationView.h"
#include "poll/ValueView.h"
#include "ports/PortControl.h"
#include "serial/MainThread.h"
#include "serial/SerialDevice.h"
#include "serial/SerialPort.h"

namespace korvane {

// The tick count, on the clock whose present reading is `now`, at which the
// receive thread read a piece (`readAt`, TSerialPort::ReceivedAt): reply
// times then run from the request written to the last byte read, whatever
// tick source the session was given.
std::uint32_t ArrivalTick(std::uint32_t now, std::chrono::steady_clock::time_point readAt);

class ControllerSession {
 public:
  // Every received piece goes to the poll cycle; frames the master composes
  // go to the line through the port control.
  ControllerSession(MainThreadDispatcher& mainThread, std::shared_ptr<SerialDeviceOpener> opener,
                    TickSource tick, ValueView& view);
  // Closes the port for certain, so no receive event reaches a caller that
  // is being torn down.
  ~ControllerSession();
  ControllerSession(const ControllerSession&) = delete;
  ControllerSession& operator=(const ControllerSession&) = delete;

  // One controller of the line as the window and the tuning use it.
  struct Member {
    const std::string& Name;
    Settings& settings;
    PollCycle& poll;
    ChartHistory& history;
    StationView& view;
  };
  std::size_t ControllerCount() const { return 1 + others_.size(); }
  // 0 is the first controller (the members below), 1.. the others in list order.
  Member Controller(std::size_t index);
  // The controller the window shows and writes to.
  std::size_t Selected() const { return selected_; }
  // Makes `index` the window's controller (an index past the end: the
  // first); OnSelected is told.
  void Select(std::size_t index);
  std::function<void(std::size_t)> OnSelected;
  // Builds the line's other controllers from settings.Others after the
  // list changed (the configuration dialog's OK, a loaded file): one that
  // stayed the same keeps its cycle, values, chart and pending write; one
  // removed goes with its pending write. Also takes the line's link and
  // poll settings into every controller.
  void SyncControllers();
  // Told of each controller that goes, while it still exists.
  std::function<void(PollCycle&)> OnControllerGoes;
  // Whether the controller at `index` is still on the list settings.Others
  // holds now (the first always is).
  bool ControllerStays(std::size_t index) const;
  // The list the line runs now (settings.Others as it was last synced).
  std::vector<LineController> RunningOthers() const;
  // Observers of every controller's requests and replies (the link
  // monitor), the ones added later included.
  void AddLineObserver(ResultObserver* observer);
  void RemoveLineObserver(ResultObserver* observer);
  // The step run first in each controller's poll turn, by index.
  void SetTickHooks(std::function<TickHook*(std::size_t)> hooks);

  // The poll timer and the deadline timer of the window.
  void PollTimerTimer() { line.PollTimerTimer(); }
  void CheckPlanDeadline() { line.CheckPlanDeadline(); }

  Settings settings;
  MasterState state;
  RegisterImage image;
  TSerialPort port;
  PortControl control;
  TMaster master;
  ChartHistory history;
  StationView firstView;
  PollCycle poll;
  LinePoll line;

 private:
  void SendFrame(PollCycle& cycle, const std::string& frame);
  void WireLine();

  ValueView& view_;
  TickSource tick_;
  std::vector<std::unique_ptr<PolledController>> others_;
  std::vector<ResultObserver*> lineObservers_;
  std::function<TickHook*(std::size_t)> tickHooks_;
  std::size_t selected_ = 0;
};

}  // namespace korvane
