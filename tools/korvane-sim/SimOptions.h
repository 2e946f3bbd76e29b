#pragma once
// Command line of korvane-sim.

#include <string>
#include <vector>

#include "ControllerDevice.h"
#include "Faults.h"
#include "SimUnit.h"

namespace korvane::sim {

struct SimOptions {
  std::string Device;            // empty: create a pseudo-terminal
  std::string TcpScheme;         // "tcp" or "rtu+tcp": serve on 127.0.0.1:TcpPort instead of a line
  int TcpPort = 0;
  std::string ComName = "COM1";  // empty (--no-com): no mapping
  bool FreeCom = false;          // take the next free COM name when ComName is taken
  bool Rtu = true;
  int Baud = 9600;
  char Parity = 'N';
  int DataBits = 8;
  int StopBits = 1;
  int Slave = 1;                 // the first controller's address
  long GapMs = 5;                // RTU end-of-frame silence at least this long
  double Speed = 1.0;            // process seconds per wall-clock second
  // The process stands still (cold, at ambient) until the first request,
  // so the step response begins when a master connects; --start-now runs it
  // from the start instead.
  bool StartNow = false;
  DeviceParams Device_;          // the first controller (the options, and --controller at --slave)
  std::vector<Fault> Faults;     // the first controller's
  // The controllers on the line after the first, in the order given
  // (--controller); each starts from the options' Device_ without their faults.
  std::vector<ControllerSetup> Controllers;
  bool Verbose = false;
  bool Help = false;
  bool Version = false;
};

// Parses argv; false with *error on a bad option.
bool ParseOptions(int argc, const char* const* argv, SimOptions& options, std::string* error);
// The controllers on the line, the first one (--slave) first.
std::vector<ControllerSetup> LineControllers(const SimOptions& options);
std::string Usage();
// "COM1".."COM99".
bool IsComName(const std::string& name);

}  // namespace korvane::sim
