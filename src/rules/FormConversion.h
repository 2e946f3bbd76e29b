#pragma once
// Conversions between the ideal-form factors the tuning computes
// (ControllerFactors: band in % of the span, Ki in repeats per minute, Kd in
// seconds) and the factors as a controller of a given PidForm holds them.
//   series -> ideal:  Kc = Kc' (1 + Td'/Ti'), Ti = Ti' + Td', Td = Ti' Td' / (Ti' + Td')
//   ideal -> series:  with s = sqrt(1 - 4 Td/Ti): Ti' = Ti (1 + s)/2, Td' = Ti (1 - s)/2,
//                     Kc' = Kc (1 + s)/2; none when Ti < 4 Td.
// No integral action is Ki 0 in the ideal figures, and 0 in the controller's
// register whether that holds a rate or an integral time (a time of 0 is
// read as "integral off", never divided by). A K of 0 (no proportional
// factor: on/off control) stays 0 in every unit.

#include <array>
#include <string>

#include "base/PidForm.h"
#include "rules/SimcTuning.h"

namespace korvane {

// `ideal` as a controller of `form` holds it; `span` is the input span in PV
// units (used by a band in PV units). False with the reason when it cannot
// be expressed (a unit the form cannot use, no series form, no span).
bool ToForm(const ControllerFactors& ideal, const PidForm& form, double span, FormFactors& held, std::string& refusal);
// The ideal figures of factors a controller of `form` holds.
bool FromForm(const FormFactors& held, const PidForm& form, double span, ControllerFactors& ideal,
              std::string& refusal);

// The ideal figures of the factors a controller holds, or all 0 (nothing
// known: no band to reckon with) when they cannot be converted.
ControllerFactors IdealOrUnknown(const FormFactors& held, const PidForm& form, double span);

// Name and unit of each factor as the controller holds it, for texts:
// {"Kp (band)", "%"}, {"Ki (integral time)", "s"}, ...; the unit is empty
// for a gain.
struct FactorLabel {
  std::string Name, Unit;
};
std::array<FactorLabel, 3> FactorLabels(const PidForm& form);
// "Kp (band) 12.5 %, Ki 0.5 repeats/min, Kd 3 s" in the form's units.
std::string FactorsText(const FormFactors& factors, const PidForm& form);
// "ideal form: Kp as band in % of the span, Ki in repeats/min, Kd in s".
std::string FormName(const PidForm& form);

}  // namespace korvane
