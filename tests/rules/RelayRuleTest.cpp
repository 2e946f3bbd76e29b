// The relay rules from Ku and Pu, the cross-check against a model's
// proposal, and the ultimate point of the three model kinds.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <ostream>
#include <string>

#include "rules/RelayRule.h"
#include "rules/UltimatePoint.h"

namespace korvane {
namespace {

constexpr double kPi = std::numbers::pi;

FopdtModel Model(double k, double tau, double theta, double tau2 = 0.0, bool integrating = false) {
  FopdtModel m;
  m.Gain = k, m.TimeConstant = tau, m.DeadTime = theta, m.SecondLag = tau2, m.Integrating = integrating;
  return m;
}

struct UltimateRow {
  const char* Name;
  FopdtModel Model;
  double Omega, Ku;     // the known answer (Pu = 2 pi / Omega)
  const char* Refusal;  // or refused with this text
};
void PrintTo(const UltimateRow& r, std::ostream* os) { *os << r.Name; }

class Ultimate : public testing::TestWithParam<UltimateRow> {};

TEST_P(Ultimate, PhaseCrossover) {
  const UltimateRow& r = GetParam();
  const UltimatePoint u = UltimateOf(r.Model);
  if (r.Refusal != nullptr) {
    EXPECT_FALSE(u.Ok);
    EXPECT_NE(u.Refusal.find(r.Refusal), std::string::npos) << u.Refusal;
    return;
  }
  ASSERT_TRUE(u.Ok) << u.Refusal;
  EXPECT_NEAR(u.Omega, r.Omega, 1e-9 * r.Omega);
  EXPECT_NEAR(u.Pu, 2 * kPi / r.Omega, 1e-9 * u.Pu);
  EXPECT_NEAR(u.Ku, r.Ku, 1e-9 * r.Ku);
  // At the ultimate point the loop gain Ku G(j w) is exactly -1.
  const std::complex<double> loop = u.Ku * FrequencyResponse(r.Model, u.Omega);
  EXPECT_NEAR(loop.real(), -1.0, 1e-9);
  EXPECT_NEAR(loop.imag(), 0.0, 1e-9);
}

// Each row picks w = 0.1 rad/s (or pi / (2 theta)) and the dead time that puts
// the phase at -180 degrees there: atan(1) = pi/4 for a lag of 10 s.
INSTANTIATE_TEST_SUITE_P(
    Models, Ultimate,
    testing::Values(
        // k e^{-theta s} / s: -90 degrees - w theta = -180 at w = pi / (2 theta); Ku = w / k.
        UltimateRow{"IntegratorWithDeadTime", Model(0.02 * 1000, 1000, 6, 0, true), kPi / 12, kPi / 12 / 0.02, nullptr},
        // -pi/4 - 0.1 theta = -pi: theta = 7.5 pi; Ku = sqrt(1 + 1) / K.
        UltimateRow{"FirstOrder", Model(2, 10, 7.5 * kPi), 0.1, std::sqrt(2.0) / 2, nullptr},
        // -pi/4 - pi/4 - 0.1 theta = -pi: theta = 5 pi; Ku = 2 / K.
        UltimateRow{"SecondOrderEqualLags", Model(2, 10, 5 * kPi, 10), 0.1, 1.0, nullptr},
        // -pi/2 - pi/4 - 0.1 theta = -pi: theta = 2.5 pi; Ku = w sqrt(2) / k.
        UltimateRow{"IntegratorWithLag", Model(0.05 * 1000, 1000, 2.5 * kPi, 10, true), 0.1,
                    0.1 * std::sqrt(2.0) / 0.05, nullptr},
        // A lag without dead time never reaches -180 degrees.
        UltimateRow{"NoDeadTime", Model(2, 10, 0), 0, 0, "no dead time"},
        UltimateRow{"NoGain", Model(0, 10, 5), 0, 0, "not above 0"}),
    [](const testing::TestParamInfo<UltimateRow>& row) { return std::string(row.param.Name); });

struct RuleRow {
  const char* Name;
  RelayRuleKind Kind;
  double Ku, Pu;
  double Kc, Ti, Td;    // expected, ideal form
  const char* Rule;     // the name the rule gives, or the refusal
};
void PrintTo(const RuleRow& r, std::ostream* os) { *os << r.Name; }

class Rule : public testing::TestWithParam<RuleRow> {};

TEST_P(Rule, Factors) {
  const RuleRow& r = GetParam();
  const RelayTuning t = RelayRule(r.Ku, r.Pu, r.Kind, 200.0);
  if (r.Kc == 0.0) {
    EXPECT_FALSE(t.Ok);
    EXPECT_NE(t.Refusal.find(r.Rule), std::string::npos) << t.Refusal;
    return;
  }
  ASSERT_TRUE(t.Ok) << t.Refusal;
  EXPECT_NEAR(t.Kc, r.Kc, 1e-12);
  EXPECT_NEAR(t.Ti, r.Ti, 1e-12);
  EXPECT_NEAR(t.Td, r.Td, 1e-12);
  EXPECT_NE(t.Rule.find(r.Rule), std::string::npos) << t.Rule;
  // Band in % of the 200-unit span, repeats per minute, seconds.
  EXPECT_NEAR(t.Factors.Band, 1e4 / (r.Kc * 200.0), 1e-9);
  EXPECT_NEAR(t.Factors.Ki, 60.0 / r.Ti, 1e-12);
  EXPECT_NEAR(t.Factors.Kd, r.Td, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Rule,
    testing::Values(RuleRow{"ZieglerNicholsPi", RelayRuleKind::ZieglerNicholsPi, 4, 30, 1.8, 25, 0, "Ziegler-Nichols PI"},
                    RuleRow{"ZieglerNicholsPid", RelayRuleKind::ZieglerNicholsPid, 4, 30, 2.4, 15, 3.75,
                            "Ziegler-Nichols PID"},
                    RuleRow{"TyreusLuybenPi", RelayRuleKind::TyreusLuybenPi, 4, 30, 1.25, 66, 0, "Tyreus-Luyben PI"},
                    RuleRow{"TyreusLuybenPid", RelayRuleKind::TyreusLuybenPid, 4.4, 31.5, 2, 69.3, 5,
                            "Tyreus-Luyben PID"},
                    RuleRow{"NoUltimatePoint", RelayRuleKind::ZieglerNicholsPi, 0, 30, 0, 0, 0, "no ultimate point"},
                    RuleRow{"PeriodNotANumber", RelayRuleKind::TyreusLuybenPi, 4, NAN, 0, 0, 0, "no ultimate point"}),
    [](const testing::TestParamInfo<RuleRow>& row) { return std::string(row.param.Name); });

struct CheckRow {
  const char* Name;
  double Kc, Ti;     // the model's proposal, against Ziegler-Nichols PI of Ku 4, Pu 30: Kc 1.8, Ti 25
  bool Agree;
  const char* Why;   // a part of the text when they disagree
};
void PrintTo(const CheckRow& r, std::ostream* os) { *os << r.Name; }

class Check : public testing::TestWithParam<CheckRow> {};

TEST_P(Check, WithinFactorTwo) {
  const CheckRow& r = GetParam();
  Proposal proposal;
  proposal.Kc = r.Kc, proposal.Ti = r.Ti;
  const RelayAgreement a = CrossCheck(proposal, RelayRule(4, 30, RelayRuleKind::ZieglerNicholsPi, 100.0));
  EXPECT_EQ(a.Agree, r.Agree) << a.Why;
  if (r.Agree) {
    EXPECT_TRUE(a.Why.empty()) << a.Why;
  } else {
    EXPECT_NE(a.Why.find(r.Why), std::string::npos) << a.Why;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Proposals, Check,
    testing::Values(CheckRow{"Close", 1.5, 30, true, ""}, CheckRow{"TwiceIsStillAgreement", 3.6, 12.5, true, ""},
                    CheckRow{"GainTooHigh", 4.0, 25, false, "factor of 2 in Kc: the model's Kc 4 %/unit, Ti 25 s "
                                                            "against the relay test's Kc 1.8 %/unit, Ti 25 s"},
                    CheckRow{"IntegralTooSlow", 1.8, 60, false, "in Ti:"},
                    CheckRow{"BothOff", 0.5, 10, false, "in Kc and Ti:"},
                    CheckRow{"NoProposal", 0, 0, false, "No cross-check"}),
    [](const testing::TestParamInfo<CheckRow>& row) { return std::string(row.param.Name); });

}  // namespace
}  // namespace korvane
