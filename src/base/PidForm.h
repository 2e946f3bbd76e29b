#pragma once
// How a controller holds its PID factors: the unit of each factor and
// whether it computes the ideal (parallel) or the series (interacting) form.
//   ideal:  out = Kc (e + 1/Ti * integral of e dt + Td de/dt)
//   series: out = Kc' (1 + 1/(Ti' s)) (1 + Td' s)
// Read from the UNIT field of a preset's K, Ki and Kd lines and its
// optional "Form" line; the tuning converts between it and the ideal
// figures it computes (band in % of the span, repeats per minute, seconds).

#include <string>

namespace korvane {

enum class ProportionalUnit {
  BandPercent,  // "%": proportional band in % of the input span
  BandUnits,    // "units": proportional band in PV units
  Gain,         // "gain": output % per % of the span (100 / band %)
};

enum class IntegralUnit {
  RepeatsPerMinute,  // "rep/min" or "1/min"
  RepeatsPerSecond,  // "1/s"
  TimeSeconds,       // "s": integral time; 0 means no integral action
  TimeMinutes,       // "min": integral time; 0 means no integral action
};

enum class DerivativeUnit {
  Seconds,  // "s"
  Minutes,  // "min"
};

struct PidForm {
  ProportionalUnit K = ProportionalUnit::BandPercent;
  IntegralUnit Ki = IntegralUnit::RepeatsPerMinute;
  DerivativeUnit Kd = DerivativeUnit::Seconds;
  bool Series = false;
  // Set when the preset names a unit or form that cannot be converted: the
  // field and its text ("Ki unit \"rep/h\""). The tuning then proposes nothing.
  std::string Unusable;
  bool operator==(const PidForm&) const = default;
};

// The three factors as the controller's registers hold them (engineering
// values, in the form's units).
struct FormFactors {
  double K = 0.0, Ki = 0.0, Kd = 0.0;
  bool operator==(const FormFactors&) const = default;
};

}  // namespace korvane
