#pragma once
// How a device-control block looks to a POSIX terminal: the termios flag
// bits, the bit rate and the two modem output lines. Pure computation, so
// the mapping is tested without a device.

#include <cstdint>

#include "serial/SerialTypes.h"

namespace korvane {

struct LineTermios {
  // False when the block cannot be put on a terminal: rate 0 (which would
  // hang up the line), data bits outside 5..8, parity or stop code unknown.
  bool Valid = false;
  std::uint32_t ControlFlags = 0;  // c_cflag bits: CSIZE, CSTOPB, PARENB, PARODD, CMSPAR, CRTSCTS
  std::uint32_t InputFlags = 0;    // c_iflag bits: IXON, IXOFF
  std::uint32_t SpeedCode = 0;     // the Bnnn code of a standard rate, else BOTHER
  std::uint32_t Speed = 0;         // bit/s
  bool RaiseDtr = false;
  bool RaiseRts = false;
};

LineTermios TermiosFromDcb(const Dcb& block);

}  // namespace korvane
