// The PID form a preset names through its K, Ki and Kd units and its
// "Form" line.

#include <gtest/gtest.h>

#include <string>

#include "config/PresetForm.h"

namespace korvane {
namespace {

struct Row {
  const char* Name;
  const char* Content;
  PidForm Expected;
};
void PrintTo(const Row& r, std::ostream* os) { *os << r.Name; }

class PresetFormOf : public testing::TestWithParam<Row> {};

TEST_P(PresetFormOf, Content) { EXPECT_EQ(ParsePresetForm(GetParam().Content), GetParam().Expected); }

constexpr auto kSeconds = DerivativeUnit::Seconds;
INSTANTIATE_TEST_SUITE_P(
    Lines, PresetFormOf,
    testing::Values(
        Row{"Shipped", "K, 13, %, Proportional band, 0.1\nKi, 11, rep/min, Integral rate, 0.01\nKd, 12, s, D, 1.0\n",
            {}},
        Row{"GainTimeSeries", "K, 13, gain, G, 0.01\r\nKi, 11, s, Ti, 1\r\nKd, 12, min, Td, 0.1\r\nForm, series\r\n",
            {ProportionalUnit::Gain, IntegralUnit::TimeSeconds, DerivativeUnit::Minutes, true, {}}},
        Row{"UnitsPerSecondIdeal", "K, 13, units, B, 1\nKi, 11, 1/s, R, 0.001\nForm, ideal",
            {ProportionalUnit::BandUnits, IntegralUnit::RepeatsPerSecond, kSeconds, false, {}}},
        Row{"PerMinuteAndMinutes", "Ki, 11, 1/min, R, 1\nKi, 11, min, Ti, 1",
            {ProportionalUnit::BandPercent, IntegralUnit::TimeMinutes, kSeconds, false, {}}},
        Row{"NoUnitFieldKeepsToday", "K, 13\nKi, 11\nForm", {}},
        Row{"OtherNamesIgnored", "k, 13, gain, G, 1\nKp, 13, gain, G, 1\nform, series\nPV, 1, gain, x, 1", {}},
        Row{"UnknownUnitsNamed", "K, 13, PB, B, 1\nKi, 11, rep/h, R, 1\nForm, parallel",
            {ProportionalUnit::BandPercent, IntegralUnit::RepeatsPerMinute, kSeconds, false,
             "K unit \"PB\", Ki unit \"rep/h\", Form \"parallel\""}},
        Row{"ALaterLineWithoutUnitIsToday", "Ki, 11, s, Ti, 1\nKi, 11\nK, 13, gain, G, 1\nK, 13", {}},
        Row{"ALaterLineMends", "Kd, 12, h, D, 1\nKd, 12, min, D, 1",
            {ProportionalUnit::BandPercent, IntegralUnit::RepeatsPerMinute, DerivativeUnit::Minutes, false, {}}}),
    [](const testing::TestParamInfo<Row>& param) { return param.param.Name; });

}  // namespace
}  // namespace korvane
