#pragma once
// The one process-wide record of everything the operator configures.
// Integers are 32-bit signed, factors 32-bit floats, texts 8-bit strings.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/PidForm.h"
#include "base/RegisterFormat.h"

namespace korvane {

struct LinkSettings {
  std::int32_t PortNumber = 1;       // n of COMn; 0 after the port control closed the port
  std::int32_t Baud = 9600;
  std::int32_t DataBits = 8;         // 7 or 8
  std::string ParityLetter = "N";    // "N", "E" or "O"
  std::int32_t StopBitCount = 1;     // 1 or 2
  bool RtuMode = true;               // false: ASCII framing
  std::int32_t SlaveAddress = 1;
  bool UseFunction6 = false;         // stored, read by nothing
};

struct RegisterMap {
  std::string ControllerType = "Novus N1100";
  // Zero-based register addresses as carried in Modbus frames.
  std::int32_t AddrPV = 1;
  std::int32_t AddrSP = 0;
  std::int32_t AddrOut = 2;
  std::int32_t AddrHys = 17;
  std::int32_t AddrKp = 13;
  std::int32_t AddrKi = 11;
  std::int32_t AddrKd = 12;
  float FactorPV = 1.0f;
  float FactorSP = 1.0f;
  float FactorOut = 0.1f;
  float FactorHys = 1.0f;
  float FactorKp = 0.1f;
  float FactorKi = 0.01f;
  float FactorKd = 1.0f;
  // How the controller holds Kp, Ki and Kd: from the preset's units and
  // "Form" line (not in the configuration file).
  PidForm Form;
  // How each value lies: format, word order, table and write address.
  // PV, SP, Out and Hys signed 16-bit, the PID factors unsigned 16-bit,
  // holding registers, no write address named.
  RegisterLayout LayoutPV;
  RegisterLayout LayoutSP;
  RegisterLayout LayoutOut;
  RegisterLayout LayoutHys;
  RegisterLayout LayoutKp{.Format = RegisterFormat::U16};
  RegisterLayout LayoutKi{.Format = RegisterFormat::U16};
  RegisterLayout LayoutKd{.Format = RegisterFormat::U16};
  bool operator==(const RegisterMap&) const = default;
};

// The setpoint's write address of the default map, where it is not read.
inline constexpr std::int32_t kDefaultSetpointWrite = 25;

// Whether the map writes its setpoint to kDefaultSetpointWrite without naming
// it, as the default map always has: it names no write address and reads the
// setpoint at 0 with the default map's other addresses.
inline bool WritesSetpointAsDefaultMap(const RegisterMap& m) {
  for (const RegisterLayout* layout : {&m.LayoutPV, &m.LayoutSP, &m.LayoutOut, &m.LayoutHys, &m.LayoutKp,
                                       &m.LayoutKi, &m.LayoutKd}) {
    if (layout->WriteAddress >= 0) return false;
  }
  const RegisterMap d;
  return m.AddrSP == 0 && m.AddrPV == d.AddrPV && m.AddrOut == d.AddrOut && m.AddrHys == d.AddrHys &&
         m.AddrKp == d.AddrKp && m.AddrKi == d.AddrKi && m.AddrKd == d.AddrKd;
}

struct PollSettings {
  std::int32_t PollTime = 1;          // seconds, 1..30
  std::int32_t ResponseTime = 400;    // milliseconds, 400..2000
  std::int32_t TableType = 3;         // 0 coils, 1 discrete inputs, 2 input regs, 3 holding regs
  std::int32_t StartRegister = 1;     // 1-based
  std::int32_t RegisterCount = 20;
  std::int32_t RegisterWidth = 16;    // 16, or 32 for any other value
  std::int32_t ValueFormat = 0;
  bool MasterMode = true;
};

// A controller on the line after the first: its slave address, the name the
// user gave it and its own register map (its preset's type, map and form).
struct LineController {
  std::string Name;
  std::int32_t Address = 1;
  RegisterMap Map;
  bool operator==(const LineController&) const = default;
};

// The name a controller gets when the user gives none: "Controller 1", ...
inline std::string DefaultControllerName(std::size_t row) { return "Controller " + std::to_string(row + 1); }

struct Settings {
  LinkSettings Link;
  RegisterMap Map;
  PollSettings Poll;
  // The line's controllers in poll order: the first is Link.SlaveAddress
  // with Map and this name; the others follow it.
  std::string FirstName = DefaultControllerName(0);
  std::vector<LineController> Others;
};

}  // namespace korvane
