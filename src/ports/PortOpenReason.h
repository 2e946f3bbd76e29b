#pragma once
// Why a serial device could not be opened, in words a user can act on: no
// such device, permission denied (join the device's group), held by another
// program (named when /proc shows it), not a terminal. Found by trying the
// device the way the serial device opens it, after that open has failed.

#include <string>
#include <vector>

namespace korvane {

enum class PortOpenReason {
  Opens,             // the device opens now (so it refused the line settings, or the fault has passed)
  NoDevice,          // no such file, or no hardware behind the device node
  PermissionDenied,  // the user may not open it for reading and writing
  Busy,              // another program holds it for exclusive use
  NotTerminal,       // it exists but is no terminal (a plain file, a folder)
  Other,             // any other refusal; Error holds the errno
};

struct PortOpenDiagnosis {
  PortOpenReason Reason = PortOpenReason::Opens;
  int Error = 0;                     // errno of the refusal
  std::string Group;                 // the device's group (PermissionDenied), e.g. "dialout"
  std::vector<std::string> Holders;  // "minicom (pid 4242)" for each other process that has it open (Busy)
};

// Opens `device` as the serial device does (read/write, no controlling
// terminal, exclusive lock), closes it again at once, and says what stood
// in the way. An empty path is NoDevice.
PortOpenDiagnosis DiagnosePortOpen(const std::string& device);

// The processes other than this one that have `device` open, as
// "name (pid N)", from the descriptor links of `procRoot` (/proc). Only
// processes this user may inspect are seen.
std::vector<std::string> ProcessesHolding(const std::string& device, const std::string& procRoot = "/proc");

// Why, in a few words for the configuration dialog's device label (narrow:
// about 40 characters), e.g. "Permission denied: join the dialout group".
std::string PortOpenReasonText(const PortOpenDiagnosis& diagnosis);

// What to do about it, one sentence (the label's tool tip), e.g. "Join the
// dialout group: sudo adduser $USER dialout, then log out and in again."
std::string PortOpenHint(const PortOpenDiagnosis& diagnosis);

}  // namespace korvane
