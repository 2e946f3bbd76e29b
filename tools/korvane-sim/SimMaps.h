#pragma once
// The register maps the simulated controller can be given (--map NAME): for
// each quantity of the controller, the table, address, number format, word
// order and scale of the register(s) that carry it, and the register areas
// that exist. One more map is one more entry of the table in SimMaps.cpp.

#include <string>
#include <string_view>
#include <vector>

#include "base/RegisterFormat.h"

namespace korvane::sim {

// What the controller keeps, in engineering units: setpoint and PV in the
// process's units, outputs in percent, mode 1 automatic / 0 manual, the
// proportional band in percent of span, integral in repeats per minute,
// derivative in seconds, hysteresis in the process's units; on a map with a
// FactorForm, Kp and Ki as that form holds them.
enum class Quantity { SP, PV, Out, Mode, ManualOut, SpanLow, SpanHigh, Ki, Kd, Kp, Hys };

struct MapEntry {
  Quantity What;
  RegisterTable Table;
  int Address;             // first register (wire address)
  RegisterFormat Format;
  WordOrder Order;
  double Scale;            // register number = quantity x Scale
  bool Writable;
};

// Registers First..First+Count-1 of a table answer reads (0 where no entry lies).
struct RegisterArea {
  RegisterTable Table;
  int First;
  int Count;
};

// How the PID factors sit in the registers beyond a scale: a controller
// gain (output % per % of span, 100 / band) in place of the band, an
// integral time in seconds (60 / repeats per minute; 0 = no integral) in
// place of the rate, and the series form of the three.
struct FactorForm {
  bool Gain = false;
  bool IntegralTime = false;
  bool Series = false;
};

struct SimMap {
  std::string_view Name;
  std::vector<MapEntry> Entries;
  std::vector<RegisterArea> Areas;
  FactorForm Form{};
};

// The map of that name, or null.
const SimMap* FindSimMap(std::string_view name);
// The default map: Korvane's default preset (a Novus N1100-like panel).
const SimMap& DefaultSimMap();
// The names of all maps, separated by ", ".
std::string SimMapNames();

}  // namespace korvane::sim
