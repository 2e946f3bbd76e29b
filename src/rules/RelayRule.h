#pragma once
// Factors from a relay test's ultimate point (Ku in % output per PV unit, Pu
// in s) by a published rule, in the ideal form the tuning computes in
// (out = Kc (e + 1/Ti integral of e dt + Td de/dt), Kc in % per PV unit):
//   Ziegler-Nichols PI:  Kc = 0.45 Ku,  Ti = Pu / 1.2
//   Ziegler-Nichols PID: Kc = 0.6 Ku,   Ti = Pu / 2,  Td = Pu / 8
//     (J. G. Ziegler, N. B. Nichols, "Optimum settings for automatic
//     controllers", Trans. ASME 64 (1942) 759-768)
//   Tyreus-Luyben PI:    Kc = Ku / 3.2, Ti = 2.2 Pu
//   Tyreus-Luyben PID:   Kc = Ku / 2.2, Ti = 2.2 Pu, Td = Pu / 6.3
//     (B. D. Tyreus, W. L. Luyben, "Tuning PI controllers for
//     integrator/dead time processes", Ind. Eng. Chem. Res. 31 (1992)
//     2625-2628): less gain and a slower integral, for a loop that must not
//     ring (Ziegler-Nichols aims at a quarter decay ratio). On lag-dominated
//     and integrating processes they land within some 30 % of SIMC's Kc
//     and Ti, which is why the session cross-checks its proposal with them;
//     where the dead time dominates, SIMC's integral time (the lag) is far
//     shorter than 2.2 Pu and the two are said to disagree.
// And the cross-check of a model-based proposal against the relay rule.

#include <string>

#include "rules/SimcTuning.h"

namespace korvane {

enum class RelayRuleKind { ZieglerNicholsPi, ZieglerNicholsPid, TyreusLuybenPi, TyreusLuybenPid };

struct RelayTuning {
  bool Ok = false;
  std::string Refusal;  // why no factors, when not Ok
  std::string Rule;     // the rule's name and formulas, for the operator
  double Kc = 0.0;      // % output per PV unit (ideal form)
  double Ti = 0.0;      // s
  double Td = 0.0;      // s, 0 for PI
  ControllerFactors Factors;  // band % of `span`, repeats per minute, s
};

// The rule's factors for Ku and Pu; `span` is the input span in PV units
// (the band is a share of it). Refused when Ku, Pu or the span is not a
// number above 0.
RelayTuning RelayRule(double ku, double pu, RelayRuleKind kind, double span);

struct RelayAgreement {
  bool Agree = false;
  double KcRatio = 0.0;  // proposal Kc / relay Kc
  double TiRatio = 0.0;  // proposal Ti / relay Ti
  std::string Why;       // when they disagree: both figures, named
};

// Whether the model's proposal and the relay rule's factors agree within a
// factor of `factor` (2) in Kc and in Ti.
RelayAgreement CrossCheck(const Proposal& proposal, const RelayTuning& relay, double factor = 2.0);

}  // namespace korvane
