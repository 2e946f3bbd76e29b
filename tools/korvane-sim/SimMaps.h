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
// derivative in seconds, hysteresis in the process's units.
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

struct SimMap {
  std::string_view Name;
  std::vector<MapEntry> Entries;
  std::vector<RegisterArea> Areas;
};

// The map of that name, or null.
const SimMap* FindSimMap(std::string_view name);
// The default map: Korvane's default preset (a Novus N1100-like panel).
const SimMap& DefaultSimMap();
// The names of all maps, separated by ", ".
std::string SimMapNames();

}  // namespace korvane::sim
