#pragma once
// A controller on the line after the first: its own copy of the settings
// (the line's link and poll settings with its own address and map), its
// own master state, register image and master, its own chart history on
// the line's chart clock, its share of the main window and its poll cycle.
// Its frames go out through the line's port like the first controller's.

#include <functional>
#include <string>

#include "base/Settings.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"
#include "plot/ChartHistory.h"
#include "poll/PollCycle.h"
#include "poll/StationView.h"

namespace korvane {

class PolledController {
 public:
  // `send` writes a frame to the line (the port control) and tells the
  // cycle's observers; `mbap` says whether the line speaks Modbus TCP.
  PolledController(const Settings& line, const LineController& controller, ValueView& window,
                   ChartHistory& lineClock, std::function<void(PolledController&, const std::string&)> send,
                   std::function<bool()> mbap, TickSource tick);
  PolledController(const PolledController&) = delete;
  PolledController& operator=(const PolledController&) = delete;

  // Takes the line's link and poll settings, keeping this controller's address and map.
  void FollowLine(const Settings& line);
  const LineController& Controller() const { return controller_; }

  Settings settings;
  MasterState state;
  RegisterImage image;
  TMaster master;
  ChartHistory history;
  StationView view;
  PollCycle poll;

 private:
  LineController controller_;
};

// The settings a controller of the line works with.
Settings ControllerSettings(const Settings& line, const LineController& controller);

}  // namespace korvane
