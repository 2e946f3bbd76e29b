#include "rules/RelayRule.h"

#include <cmath>

#include "identify/TuningText.h"

namespace korvane {
namespace {

bool Positive(double value) { return std::isfinite(value) && value > 0.0; }

bool Outside(double ratio, double factor) { return !(ratio <= factor && ratio >= 1.0 / factor); }

}  // namespace

RelayTuning RelayRule(double ku, double pu, RelayRuleKind kind, double span) {
  RelayTuning t;
  if (!Positive(ku) || !Positive(pu)) {
    t.Refusal = TuningText("The relay test gave no ultimate point (Ku %.3g, Pu %.3g s): no factors.", ku, pu);
    return t;
  }
  if (!Positive(span)) {
    t.Refusal = "Enter the controller's input span (high - low, above 0): the band is a share of it.";
    return t;
  }
  switch (kind) {
    case RelayRuleKind::ZieglerNicholsPi:
      t.Kc = 0.45 * ku, t.Ti = pu / 1.2;
      t.Rule = "Ziegler-Nichols PI (Kc = 0.45 Ku, Ti = Pu / 1.2)";
      break;
    case RelayRuleKind::ZieglerNicholsPid:
      t.Kc = 0.6 * ku, t.Ti = pu / 2.0, t.Td = pu / 8.0;
      t.Rule = "Ziegler-Nichols PID (Kc = 0.6 Ku, Ti = Pu / 2, Td = Pu / 8)";
      break;
    case RelayRuleKind::TyreusLuybenPi:
      t.Kc = ku / 3.2, t.Ti = 2.2 * pu;
      t.Rule = "Tyreus-Luyben PI (Kc = Ku / 3.2, Ti = 2.2 Pu)";
      break;
    case RelayRuleKind::TyreusLuybenPid:
      t.Kc = ku / 2.2, t.Ti = 2.2 * pu, t.Td = pu / 6.3;
      t.Rule = "Tyreus-Luyben PID (Kc = Ku / 2.2, Ti = 2.2 Pu, Td = Pu / 6.3)";
      break;
  }
  t.Rule += TuningText(" from Ku %.3g %%/unit, Pu %.3g s", ku, pu);
  t.Factors = {1e4 / (t.Kc * span), 60.0 / t.Ti, t.Td};
  t.Ok = true;
  return t;
}

RelayAgreement CrossCheck(const Proposal& proposal, const RelayTuning& relay, double factor) {
  RelayAgreement a;
  if (!Positive(proposal.Kc) || !Positive(proposal.Ti) || !relay.Ok) {
    a.Why = "No cross-check: the model's proposal or the relay test's factors are missing.";
    return a;
  }
  a.KcRatio = proposal.Kc / relay.Kc;
  a.TiRatio = proposal.Ti / relay.Ti;
  const bool kc = Outside(a.KcRatio, factor), ti = Outside(a.TiRatio, factor);
  a.Agree = !kc && !ti;
  if (a.Agree) return a;
  const std::string figures =
      TuningText("the model's Kc %.3g %%/unit, Ti %.3g s against the relay test's Kc %.3g %%/unit, Ti %.3g s",
                 proposal.Kc, proposal.Ti, relay.Kc, relay.Ti);
  const char* which = kc && ti ? "Kc and Ti" : kc ? "Kc" : "Ti";
  a.Why = TuningText("The model and the relay test disagree by more than a factor of %.3g in %s: ", factor, which) +
          figures + " (" + relay.Rule + "). Trust neither until the cause is found.";
  return a;
}

}  // namespace korvane
