#pragma once
// The PID form a controller preset names: the UNIT field (the third) of its
// K, Ki and Kd lines and an optional line "Form, ideal" or "Form, series".
//   K:  "%" band in % of the span, "units" band in PV units, "gain"
//   Ki: "rep/min" or "1/min", "1/s", "s" or "min" (integral time; 0 = off)
//   Kd: "s" or "min"
// A line without a unit field, and a preset without a Form line, keep
// today's form (band %, repeats/min, s, ideal). The last line of a name
// counts, as for the address and factor. Any other text marks the form
// unusable, naming the field: monitoring and writes go on, the tuning
// proposes nothing.

#include <string>
#include <string_view>
#include <vector>

#include "base/PidForm.h"

namespace korvane {

PidForm ParsePresetForm(std::string_view content);

// The form the preset for controller type `type` names (a configuration
// file names only the type); today's form when no preset of that name can
// be read ("Other", a missing or bad file).
PidForm PresetFormOf(const std::vector<std::string>& folders, const std::string& type);

}  // namespace korvane
