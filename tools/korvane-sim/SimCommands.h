#pragma once
// Commands the simulator takes on stdin while it runs, one per line:
//   fault KIND [values] [key=value ...]   add a fault (see Faults.h)
//   fault none                             remove all faults
//   vanish                                 close the device now
//   sp VALUE                               new setpoint, as from the panel
//   set ADDRESS VALUE                      write a register (wire address, raw word)
//   show                                   print the controller's state
//   quit                                   stop
// Every command answers with one line.

#include <string>
#include <string_view>

#include "ControllerDevice.h"
#include "Faults.h"

namespace korvane::sim {

struct CommandResult {
  std::string Reply;   // one line, without the program prefix; empty for a blank line
  bool Quit = false;
  bool Vanish = false;
};

CommandResult RunCommand(std::string_view line, ControllerDevice& device, FaultPlan& faults);

// "sp=100 pv=99 out=12.3% ..." for the show command and the trace.
std::string StateLine(const ControllerDevice& device);

}  // namespace korvane::sim
