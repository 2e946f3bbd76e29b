// The model fitted to a relay test's record: scripted relay loops
// (tests/identify/RelayLoop.h) of a known process resting for 120 s before
// the relay starts at 0, recorded up to the poll at which the cycles first
// read steady, as the session hands the record over.
//
// The figures compared are those SIMC's settings are made of: theta and the
// slope K / tau give the gain (Kc = tau / (K (tau_c + theta))), and
// min(tau, 8 theta) the integral time (Ti = min(tau, 4 (tau_c + theta)) at
// tau_c = theta). A second lag counts by the half rule (tau + tau2 / 2,
// theta + tau2 / 2), as SIMC's PI takes it; an integrator's slope is its
// own. K and tau apart are printed, not judged: a relay record shows the
// process about one frequency, where only their ratio is sharp.
//
// Measured, the row's own run and then rms / worst over seeds 1-11 of the
// noise (found against true; K and tau only where the process has a level):
//   CleanFopdt            theta +0.9 %, slope 0.0 %, Ti -0.7 % (K -0.7 %, tau -0.7 %)
//   CleanFopdtEvery2s     theta +0.4 %, slope 0.0 %, Ti +2.1 % (K +2.1 %, tau +2.1 %)
//   NoisyFopdt            theta +3.1 %, slope +1.6 %, Ti -6.4 % (K -4.9 %); over the seeds
//                         theta 3 / 7 %, slope 2 / 5 %, Ti 14 / 28 %, K 14 / 28 %
//   NoisyFopdtEvery2s     theta +2.4 %, slope +0.6 %, Ti -5.0 % (K -4.4 %); over the seeds
//                         theta 3 / 7 %, slope 3 / 7 %, Ti 16 / 34 %, K 15 / 36 %
//   CleanSecondOrder      theta -9.5 %, slope -7.9 %, Ti +40 % (K +29 %)
//   NoisySecondOrder      theta +26 %, slope +11 %, Ti -30 %; over the seeds theta 16 / 30 %,
//                         slope 20 / 33 %, Ti 74 / 143 % (some seeds read it integrating)
//   NoisySecondOrderEvery2s theta +26 %, slope +9 %, Ti -31 %; over the seeds theta 17 / 28 %,
//                         slope 26 / 35 %, Ti 89 / 137 %
//   NoisyLagDominant      theta -0.2 %, slope -0.4 %, Ti -0.2 %; over the seeds theta 3 / 7 %,
//                         slope 2 / 4 %, Ti 10 / 33 % (tau itself anywhere from a third to
//                         an integrator: past 8 theta it does not count)
//   NoisyLagDominantEvery2s theta -1.0 %, slope +2.0 %, Ti -1.0 %; over the seeds theta 5 / 7 %,
//                         slope 2 / 4 %, Ti 18 / 37 %
//   CleanIntegrating      theta +1.3 %, slope 0.0 %
//   NoisyIntegrating      theta +0.3 %, slope -0.9 %; over the seeds theta 2 / 4 %, slope 1 / 2 %
//   NoisyIntegratingEvery2s theta +4.9 %, slope +1.9 %; over the seeds theta 3 / 6 %, slope 2 / 3 %
// Without the switches (straight lines between the polls) the clean records
// were refused (a missed shape of up to 5 units) and the noisy first-order
// ones gave Ti 23 / 51 % (every 1 s) and 33 / 80 % (every 2 s); with the
// switches as the cycles read them but not placed by the model, 19 / 31 %
// and 53 / 135 %, K and tau biased low (the noise's switch errors make a
// short lag fit better). A second lag stays out of reach: the record
// cannot tell it from a longer first lag with more dead time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "identify/RelayCycles.h"
#include "identify/RelayFit.h"
#include "identify/RelayLoop.h"

namespace korvane {
namespace {

using test::Fopdt;
using test::Integrator;
using test::kSp;
using test::Loop;
using test::With;

struct Row {
  const char* Name;
  Loop Setup;
  double KcTol;  // share theta and the slope may be off
  double TiTol;  // share min(tau, 8 theta) may be off
};
void PrintTo(const Row& r, std::ostream* os) { *os << r.Name; }

// theta, the slope K / tau and min(tau, 8 theta), a second lag by the half rule.
struct Simc {
  double Theta, Slope, Ti;
};
Simc SimcFigures(const FopdtModel& m) {
  const double tau = m.TimeConstant + m.SecondLag / 2.0, theta = m.DeadTime + m.SecondLag / 2.0;
  return {theta, m.Gain / tau, std::min(tau, 8.0 * theta)};
}

class RelayModel : public testing::TestWithParam<Row> {};

TEST_P(RelayModel, FromTheSteadyRecord) {
  const Row& r = GetParam();
  const test::Trace trace = test::Simulate(r.Setup, true);
  std::vector<TuningSample> relay;
  RelayCycles cycles;
  std::size_t end = 0;
  for (; end < trace.Polled.size() && !cycles.Ok; ++end) {
    if (trace.Polled[end].Time < 0.0) continue;
    relay.push_back(trace.Polled[end]);
    cycles = AnalyseRelay(relay, kSp, r.Setup.H);
  }
  ASSERT_TRUE(cycles.Ok) << cycles.Reason;
  const std::span<const TuningSample> record(trace.Polled.data(), end);
  const Identification id = IdentifyRelay(record, 0.0, cycles);
  ASSERT_TRUE(id.Ok) << id.Refusal;
  const FopdtModel& m = id.Model;
  const FopdtModel& p = r.Setup.Process;
  const Simc found = SimcFigures(m), truth = SimcFigures(p);
  std::printf("  %-23s %3.0f s: theta %+.1f %%, slope %+.1f %%, Ti %+.1f %%; K %.4g (%.4g), tau %.4g (%.4g), "
              "tau2 %.3g (%.3g), theta %.4g (%.4g); %s\n",
              r.Name, record.back().Time, 100 * (found.Theta / truth.Theta - 1), 100 * (found.Slope / truth.Slope - 1),
              100 * (found.Ti / truth.Ti - 1), m.Gain, p.Gain, m.TimeConstant, p.TimeConstant, m.SecondLag,
              p.SecondLag, m.DeadTime, p.DeadTime, m.Why.c_str());
  EXPECT_NEAR(found.Theta / truth.Theta, 1.0, r.KcTol);
  EXPECT_NEAR(found.Slope / truth.Slope, 1.0, r.KcTol);
  EXPECT_NEAR(found.Ti / truth.Ti, 1.0, r.TiTol);
}

// PV noise of 1 % of the span (SD 1 unit) needs a hysteresis of 3 units, and
// the levels a swing wide enough against it to read steady.
const Loop kFopdt{.Process = Fopdt(2.0, 30.0, 10.0), .H = 3.0, .NoiseSd = 1.0, .Poll = 1.0, .Rest = 120.0};
const Loop kSecondOrder{.Process = Fopdt(2.0, 20.0, 3.0, 8.0), .H = 3.0, .NoiseSd = 1.0, .Poll = 1.0, .Rest = 120.0};
const Loop kLagDominant{.Process = Fopdt(2.0, 100.0, 8.0), .Low = 10.0, .High = 90.0, .Balance = 50.0, .H = 3.0,
                        .NoiseSd = 1.0, .Poll = 1.0, .Rest = 120.0};
const Loop kIntegrating{.Process = Integrator(0.04, 8.0), .Low = 10.0, .High = 70.0, .H = 3.0, .NoiseSd = 1.0,
                        .Poll = 1.0, .Rest = 120.0};
const Loop kSmallIntegrating{.Process = Integrator(0.02, 6.0), .H = 0.3, .Poll = 1.0, .Rest = 120.0};

INSTANTIATE_TEST_SUITE_P(
    Loops, RelayModel,
    testing::Values(Row{"CleanFopdt", With(kFopdt, 0.5, 0.0, 1.0), 0.05, 0.05},
                    Row{"CleanFopdtEvery2s", With(kFopdt, 0.5, 0.0, 2.0), 0.05, 0.05},
                    Row{"NoisyFopdt", kFopdt, 0.10, 0.30},
                    Row{"NoisyFopdtEvery2s", With(kFopdt, 3.0, 1.0, 2.0), 0.10, 0.35},
                    Row{"CleanSecondOrder", With(kSecondOrder, 0.5, 0.0, 1.0), 0.12, 0.45},
                    Row{"NoisySecondOrder", kSecondOrder, 0.35, 1.5},
                    Row{"NoisySecondOrderEvery2s", With(kSecondOrder, 3.0, 1.0, 2.0), 0.35, 1.5},
                    Row{"NoisyLagDominant", kLagDominant, 0.10, 0.35},
                    Row{"NoisyLagDominantEvery2s", With(kLagDominant, 3.0, 1.0, 2.0), 0.10, 0.40},
                    Row{"CleanIntegrating", kSmallIntegrating, 0.05, 0.05},
                    Row{"NoisyIntegrating", kIntegrating, 0.10, 0.10},
                    Row{"NoisyIntegratingEvery2s", With(kIntegrating, 3.0, 1.0, 2.0), 0.10, 0.10}),
    [](const testing::TestParamInfo<Row>& row) { return std::string(row.param.Name); });

}  // namespace
}  // namespace korvane
