// The PID forms: ideal figures to a controller's units and back, and the
// SIMC proposal as a controller of another form holds it.

#include <gtest/gtest.h>

#include <string>

#include "rules/FormConversion.h"

namespace korvane {
namespace {

constexpr PidForm Form(ProportionalUnit k, IntegralUnit ki, DerivativeUnit kd = DerivativeUnit::Seconds,
                       bool series = false) {
  return {k, ki, kd, series, {}};
}
constexpr auto kBand = ProportionalUnit::BandPercent, kUnits = ProportionalUnit::BandUnits,
               kGain = ProportionalUnit::Gain;
constexpr auto kRate = IntegralUnit::RepeatsPerMinute, kPerS = IntegralUnit::RepeatsPerSecond,
               kTiS = IntegralUnit::TimeSeconds, kTiMin = IntegralUnit::TimeMinutes;
constexpr auto kMin = DerivativeUnit::Minutes;

struct Row {
  const char* Name;
  PidForm Form;
  double Span;
  ControllerFactors Ideal;  // band %, repeats/min, s
  FormFactors Held;         // as the controller holds them
  const char* Refusal;      // ToForm refuses with this text, or nullptr: both ways hold
};
void PrintTo(const Row& r, std::ostream* os) { *os << r.Name; }

class Conversion : public testing::TestWithParam<Row> {};

TEST_P(Conversion, BothWays) {
  const Row& r = GetParam();
  FormFactors held;
  std::string refusal;
  const bool ok = ToForm(r.Ideal, r.Form, r.Span, held, refusal);
  if (r.Refusal != nullptr) {
    EXPECT_FALSE(ok);
    EXPECT_NE(refusal.find(r.Refusal), std::string::npos) << refusal;
    return;
  }
  ASSERT_TRUE(ok) << refusal;
  EXPECT_NEAR(held.K, r.Held.K, 1e-9 * (1 + r.Held.K));
  EXPECT_NEAR(held.Ki, r.Held.Ki, 1e-9 * (1 + r.Held.Ki));
  EXPECT_NEAR(held.Kd, r.Held.Kd, 1e-9 * (1 + r.Held.Kd));
  ControllerFactors ideal;
  ASSERT_TRUE(FromForm(r.Held, r.Form, r.Span, ideal, refusal)) << refusal;
  EXPECT_NEAR(ideal.Band, r.Ideal.Band, 1e-9 * (1 + r.Ideal.Band));
  EXPECT_NEAR(ideal.Ki, r.Ideal.Ki, 1e-9 * (1 + r.Ideal.Ki));
  EXPECT_NEAR(ideal.Kd, r.Ideal.Kd, 1e-9 * (1 + r.Ideal.Kd));
}

// Band 7.5 % of a 400-unit span is a gain of 13.33 and 30 units; 2.5
// repeats/min is an integral time of 24 s. The SIMC PID of K 3, tau 60 s,
// theta 3 s is series Kc' 61/18 %/unit (gain 13.56), Ti' 24 s, Td' 1 s.
const double kSimcBand = 1e4 / (61.0 / 18 * 25 / 24 * 400);
INSTANTIATE_TEST_SUITE_P(
    Forms, Conversion,
    testing::Values(
        Row{"Today", {}, 400, {7.5, 2.5, 3}, {7.5, 2.5, 3}, nullptr},
        Row{"RatePerMinuteTimeMinutes", Form(kBand, kTiMin, kMin), 400, {7.5, 2.5, 6}, {7.5, 0.4, 0.1}, nullptr},
        Row{"BandInUnitsPerSecond", Form(kUnits, kPerS), 400, {7.5, 2.5, 0}, {30, 2.5 / 60, 0}, nullptr},
        Row{"GainIntegralSeconds", Form(kGain, kTiS), 400, {7.5, 2.5, 0}, {40.0 / 3, 24, 0}, nullptr},
        Row{"SeriesSimcPid", Form(kGain, kTiS, DerivativeUnit::Seconds, true), 400, {kSimcBand, 2.4, 24.0 / 25},
            {61.0 / 18 * 4, 24, 1}, nullptr},
        Row{"SeriesWithoutIntegral", Form(kBand, kTiS, kMin, true), 400, {10, 0, 30}, {10, 0, 0.5}, nullptr},
        Row{"SeriesWithoutDerivative", Form(kBand, kRate, kMin, true), 400, {10, 2, 0}, {10, 2, 0}, nullptr},
        Row{"ZeroIsNoActionInEveryUnit", Form(kGain, kTiMin, kMin, true), 400, {0, 0, 0}, {0, 0, 0}, nullptr},
        Row{"ZeroIntegralTimeSeconds", Form(kUnits, kTiS), 400, {0, 0, 0}, {0, 0, 0}, nullptr},
        Row{"LargestU16Gain", Form(kGain, kTiS, kMin), 400, {100 / 6553.5, 60 / 65535.0, 65535 * 60.0},
            {6553.5, 65535, 65535}, nullptr},
        Row{"LargestU16Rate", Form(kUnits, kPerS), 65535, {100, 60 * 655.35, 65535}, {65535, 655.35, 65535}, nullptr},
        Row{"NoSeriesForm", Form(kBand, kRate, DerivativeUnit::Seconds, true), 400, {10, 6, 5}, {}, "no series form"},
        Row{"BandUnitsWithoutSpan", Form(kUnits, kRate), 0, {10, 1, 0}, {}, "span"},
        Row{"Negative", {}, 400, {10, -1, 0}, {}, "at least 0"},
        Row{"Unusable", {kBand, kRate, DerivativeUnit::Seconds, false, "Ki unit \"rep/h\""}, 400, {10, 1, 0}, {},
            "Ki unit \"rep/h\" is not one Korvane can convert"}),
    [](const testing::TestParamInfo<Row>& param) { return param.param.Name; });

TEST(ProposalInForm, IsWhatTheRegistersHoldWithItsIdealFigures) {
  const FopdtModel model{3.0, 60.0, 3.0, 20, 1, 1.0};
  const RegisterFactors registers{0.01f, 1.0f, 0.1f, Form(kGain, kTiS, DerivativeUnit::Seconds, true)};
  const Proposal p = ProposeSimc(model, {true, 1.0}, 400.0, registers);
  ASSERT_TRUE(p.Ok) << p.Refusal;
  EXPECT_NEAR(p.InForm.K, 61.0 / 18 * 4, 1e-9);
  EXPECT_NEAR(p.InForm.Ki, 24.0, 1e-9);
  EXPECT_NEAR(p.InForm.Kd, 1.0, 1e-9);
  EXPECT_NEAR(p.HeldInForm.K, 13.56, 1e-5);  // a register of 0.01
  EXPECT_NEAR(p.Held.Band, 100 / p.HeldInForm.K * 24 / 25, 1e-6);
  EXPECT_NE(p.Rule.find("series form"), std::string::npos) << p.Rule;
  EXPECT_EQ(FactorsText(p.HeldInForm, registers.Form), "Kp (gain) 13.56, Ki (integral time) 24 s, Kd 1 s");
}


// The proposed gain (13.56 in the gain form) against the register that
// holds it: its count judged by the register's own format.
struct FitRow {
  const char* Name;
  float Factor;
  RegisterFormat Format;
  bool Ok;
};

class ProposalRegister : public ::testing::TestWithParam<FitRow> {};

TEST_P(ProposalRegister, FitsTheFormatOfTheFactorsRegister) {
  const FitRow& r = GetParam();
  const FopdtModel model{3.0, 60.0, 3.0, 20, 1, 1.0};
  RegisterFactors registers{r.Factor, 1.0f, 0.1f, Form(kGain, kTiS, DerivativeUnit::Seconds, true)};
  registers.LayoutKp.Format = r.Format;
  const Proposal p = ProposeSimc(model, {true, 1.0}, 400.0, registers);
  EXPECT_EQ(p.Ok, r.Ok) << p.Refusal;
  if (!r.Ok) {
    EXPECT_NE(p.Refusal.find("Kp"), std::string::npos) << p.Refusal;
  }
}

INSTANTIATE_TEST_SUITE_P(
    FormConversion, ProposalRegister,
    ::testing::Values(FitRow{"U16Count33900", 0.0004f, RegisterFormat::U16, true},
                      FitRow{"S16Count33900", 0.0004f, RegisterFormat::S16, false},
                      FitRow{"U16Count135600", 0.0001f, RegisterFormat::U16, false},
                      FitRow{"S32Count135600", 0.0001f, RegisterFormat::S32, true},
                      FitRow{"F32TinyFactor", 1e-6f, RegisterFormat::F32, true}),
    [](const testing::TestParamInfo<FitRow>& param) { return std::string(param.param.Name); });

}  // namespace
}  // namespace korvane
