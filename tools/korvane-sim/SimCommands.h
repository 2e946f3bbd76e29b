#pragma once
// Commands the simulator takes on stdin while it runs, one per line:
//   fault KIND [values] [key=value ...]   add a fault (see Faults.h)
//   fault none                             remove all faults
//   vanish                                 close the device now
//   sp VALUE                               new setpoint, as from the panel
//   set ADDRESS VALUE                      write a register (wire address, raw word)
//   show [SLAVE]                           print the controller's state
//   quit                                   stop
// On a line with several controllers, fault, sp, set and show act on the
// first one unless the command starts with @SLAVE (its slave address):
// "@3 fault silent", "@3 sp 80"; such a command's answer starts with "@3 ".
// "show SLAVE" is "@SLAVE show"; a plain "show" prints every controller,
// one line each as "@SLAVE state", when there are several. Every other
// command answers with one line; refusals start with "error:".

#include <span>
#include <string>
#include <string_view>

#include "ControllerDevice.h"
#include "Faults.h"
#include "SimUnit.h"

namespace korvane::sim {

struct CommandResult {
  // Without the program prefix; empty for a blank line; several lines
  // (separated by '\n') only for a show of several controllers.
  std::string Reply;
  bool Quit = false;
  bool Vanish = false;
};

// A command for the line's controllers; the first is the one a command
// without @SLAVE acts on.
CommandResult RunCommand(std::string_view line, std::span<const SimUnit> units);
// A command for a line with this one controller.
CommandResult RunCommand(std::string_view line, ControllerDevice& device, FaultPlan& faults,
                         std::uint8_t slave = 1);

// "sp=100 pv=99 out=12.3% ..." for the show command and the trace.
std::string StateLine(const ControllerDevice& device);

}  // namespace korvane::sim
