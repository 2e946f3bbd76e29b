#include "SimMaps.h"

#include <array>

namespace korvane::sim {
namespace {

constexpr RegisterTable H = RegisterTable::Holding;
constexpr RegisterTable I = RegisterTable::Input;
constexpr RegisterFormat S16 = RegisterFormat::S16;
constexpr RegisterFormat U16 = RegisterFormat::U16;
constexpr RegisterFormat F32 = RegisterFormat::F32;
constexpr WordOrder ABCD = WordOrder::ABCD;
constexpr WordOrder CDAB = WordOrder::CDAB;

// Korvane's default preset: 16-bit words at 0..17, the setpoint also at 25
// (where Korvane's default configuration writes it); input registers read
// the same words as the holding ones.
SimMap DefaultMap() {
  SimMap map{"default",
             {{Quantity::SP, H, 0, S16, ABCD, 1, true},
              {Quantity::PV, H, 1, S16, ABCD, 1, false},
              {Quantity::Out, H, 2, S16, ABCD, 10, false},
              {Quantity::Mode, H, 3, U16, ABCD, 1, true},
              {Quantity::ManualOut, H, 4, S16, ABCD, 10, true},
              {Quantity::SpanLow, H, 5, S16, ABCD, 1, false},
              {Quantity::SpanHigh, H, 6, S16, ABCD, 1, false},
              {Quantity::Ki, H, 11, U16, ABCD, 100, true},
              {Quantity::Kd, H, 12, U16, ABCD, 1, true},
              {Quantity::Kp, H, 13, U16, ABCD, 10, true},
              {Quantity::Hys, H, 17, U16, ABCD, 1, true},
              {Quantity::SP, H, 25, S16, ABCD, 1, true}},
             {{H, 0, 32}, {I, 0, 32}},
             {}};
  // Function 4 reads the same words as function 3.
  const std::size_t holding = map.Entries.size();
  for (std::size_t i = 0; i < holding; ++i) {
    MapEntry input = map.Entries[i];
    input.Table = I;
    input.Writable = false;
    map.Entries.push_back(input);
  }
  return map;
}

// A controller unlike the default in every way Korvane must handle: every
// value a 32-bit float in CDAB order, in engineering units, at addresses in
// the thousands; PV and output in the input registers; the PID factors in
// holding registers at the same addresses as PV and output in the input
// table; the setpoint written where it is read.
SimMap FloatMap() {
  return SimMap{"float",
                {{Quantity::SP, H, 3000, F32, CDAB, 1, true},
                 {Quantity::Hys, H, 3002, F32, CDAB, 1, true},
                 {Quantity::Mode, H, 3010, F32, CDAB, 1, true},
                 {Quantity::ManualOut, H, 3012, F32, CDAB, 1, true},
                 {Quantity::SpanLow, H, 3020, F32, CDAB, 1, false},
                 {Quantity::SpanHigh, H, 3022, F32, CDAB, 1, false},
                 {Quantity::Kp, H, 4096, F32, CDAB, 1, true},
                 {Quantity::Ki, H, 4098, F32, CDAB, 1, true},
                 {Quantity::Kd, H, 4100, F32, CDAB, 1, true},
                 {Quantity::PV, I, 4096, F32, CDAB, 1, false},
                 {Quantity::Out, I, 4098, F32, CDAB, 1, false}},
                {{H, 3000, 32}, {H, 4096, 16}, {I, 4096, 16}},
                {}};
}

// The default map with the PID factors held another way, at the same
// addresses in 16-bit words: `kpScale` and `kiScale` per unit of the form's
// Kp and Ki.
SimMap WithFactorForm(std::string_view name, FactorForm form, double kpScale, double kiScale) {
  SimMap map = DefaultMap();
  map.Name = name;
  map.Form = form;
  for (MapEntry& e : map.Entries) {
    if (e.What == Quantity::Kp) e.Scale = kpScale;
    if (e.What == Quantity::Ki) e.Scale = kiScale;
  }
  return map;
}

const std::array<SimMap, 4>& Maps() {
  // gain: a controller gain in hundredths and an integral time in whole
  // seconds, ideal form. series: the band in tenths of a percent and an
  // integral time in hundredths of a minute, series form.
  static const std::array<SimMap, 4> maps{DefaultMap(), FloatMap(), WithFactorForm("gain", {true, true, false}, 100, 1),
                                          WithFactorForm("series", {false, true, true}, 10, 100.0 / 60.0)};
  return maps;
}

}  // namespace

const SimMap* FindSimMap(std::string_view name) {
  for (const SimMap& map : Maps()) {
    if (map.Name == name) return &map;
  }
  return nullptr;
}

const SimMap& DefaultSimMap() { return Maps().front(); }

std::string SimMapNames() {
  std::string names;
  for (const SimMap& map : Maps()) names += (names.empty() ? "" : ", ") + std::string(map.Name);
  return names;
}

}  // namespace korvane::sim
