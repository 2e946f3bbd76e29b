#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "identify/FitRecord.h"
#include "identify/FopdtFit.h"
#include "identify/ResidualJudge.h"
#include "rules/LoopMargins.h"
#include "rules/SimcTuning.h"

namespace korvane {
namespace {

// A closed-loop step of a known process under a PI, as Korvane records it:
// polled every `poll` s with the first poll `phase` of a poll after the
// write of the setpoint (at 0), with measurement noise and, when `whole`,
// the PV rounded to whole units as a controller register carries it. The
// loop rests at 40 % output; the rest samples read `restOut` (the mean of
// a few noisy polls is off by about that much). With an `earlier` setpoint
// step (units) `before` s ahead, added by superposition (the loop is
// linear off the limits), a sluggish PI's output still creeps at the step.
std::vector<TuningSample> ClosedLoopRecord(const FopdtModel& truth, double poll, double noiseSd, bool whole = true,
                                           double outputMove = 12.0, double restOut = 40.0, double phase = 0.6,
                                           const ControllerFactors& pi = {20.0, 1.0, 0.0}, double earlier = 0.0,
                                           double before = 0.0) {
  std::vector<TuningSample> record;
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0.0, noiseSd);
  auto pv = [&](double value) {
    const double noisy = value + (noiseSd > 0 ? noise(random) : 0.0);
    return whole ? std::round(noisy) : noisy;
  };
  // The output settles this much higher, its first kick under 100 %; a
  // level is stepped by 20 units and recorded until its ramp is taken back.
  const double step = truth.Integrating ? 20.0 : outputMove * truth.Gain;
  const double length = truth.Integrating ? 60 * truth.DeadTime : 10 * (truth.TimeConstant + truth.SecondLag);
  const auto loop = PredictClosedLoop(truth, pi, 400.0, 100.0, 100.0 + step, 40.0, length);
  const auto first = PredictClosedLoop(truth, pi, 400.0, 100.0, 100.0 + earlier, 40.0, before + length);
  // PV and output off their rest at t of the curve (0 before it starts).
  auto at = [](const std::vector<TuningSample>& curve, double t) {
    if (curve.empty() || t < 0) return TuningSample{t, 100, 100, 40};
    const double dt = curve[1].Time;
    const auto i = std::min(static_cast<std::size_t>(t / dt), curve.size() - 2);
    const double w = t / dt - static_cast<double>(i);
    const TuningSample& a = curve[i];
    const TuningSample& b = curve[i + 1];
    return TuningSample{t, a.SP, a.PV + w * (b.PV - a.PV), a.Out + w * (b.Out - a.Out)};
  };
  for (double t = -20 * poll + phase * poll; t <= length; t += poll) {
    const TuningSample now = at(loop, t), then = at(first, t + before);
    const double out = now.Out + then.Out - 40;
    record.push_back({t, now.SP + then.SP - 100, pv(now.PV + then.PV - 100),
                      earlier == 0 ? (t < 0 ? restOut : out) : std::round(out * 10) / 10});
  }
  return record;
}

FitOptions AtTheWrite() {
  FitOptions options;
  options.RestUntil = 0.0;
  return options;
}

struct Process {
  FopdtModel Truth;
  double Poll, NoiseSd;
  bool Whole;
  double OutputMove;         // %
  double DeadTimeTolerance;  // s
  double Slack = 1.0;        // K and tau tolerances and the spreads allowed, times this (a noisy record)
  const char* Picked = "first order";
  double RestOut = 40.0;     // % the rest samples read
  // A sluggish PI whose output still creeps at the step, after an earlier
  // setpoint step of `Earlier` units `Before` s ahead.
  ControllerFactors Pi{20.0, 1.0, 0.0};
  double Earlier = 0.0, Before = 0.0;
};

// A second-order truth, and an integrating one (PV's slope in units/s per
// %, as a lag far past the record).
FopdtModel Lags(FopdtModel m, double secondLag) {
  m.SecondLag = secondLag;
  return m;
}
FopdtModel Level(double slope, double deadTime) {
  FopdtModel m{slope * 1e5, 1e5, deadTime, 0, 0};
  m.Integrating = true;
  return m;
}
void PrintTo(const Process& p, std::ostream* os) { *os << "theta " << p.Truth.DeadTime << " poll " << p.Poll; }

class IdentifyFopdtOf : public testing::TestWithParam<Process> {};

// Dead times of 2 to 5 polls, known to a quarter of a poll from the write
// time; a clean record to a fraction of the fit's grid step (an eighth of a poll).
TEST_P(IdentifyFopdtOf, FindsTheProcessOfAClosedLoopStepBetweenThePolls) {
  const Process& p = GetParam();
  const Identification id = IdentifyFopdt(
      ClosedLoopRecord(p.Truth, p.Poll, p.NoiseSd, p.Whole, p.OutputMove, p.RestOut, 0.6, p.Pi, p.Earlier, p.Before),
      AtTheWrite());
  ASSERT_TRUE(id.Ok) << id.Refusal;
  const FopdtModel& m = id.Model;
  EXPECT_EQ(m.Why.rfind(p.Picked, 0), 0u) << m.Why;
  EXPECT_NEAR(m.DeadTime, p.Truth.DeadTime, p.DeadTimeTolerance);
  EXPECT_NEAR(m.Sampling, p.Poll, 1e-9);
  if (p.Truth.Integrating) {
    const double slope = p.Truth.Gain / p.Truth.TimeConstant;
    EXPECT_NEAR(m.Gain / m.TimeConstant, slope, 0.05 * p.Slack * slope);
  } else {
    EXPECT_NEAR(m.Gain, p.Truth.Gain, 0.05 * p.Slack * p.Truth.Gain);
    EXPECT_NEAR(m.TimeConstant, p.Truth.TimeConstant, 0.1 * p.Slack * p.Truth.TimeConstant);
    EXPECT_NEAR(m.SecondLag, p.Truth.SecondLag, 0.1 * p.Slack * p.Truth.TimeConstant);
    // The spread is honest: the truth lies inside it, and it is not wide.
    EXPECT_LE(std::fabs(m.Gain - p.Truth.Gain), std::max(m.GainSpread, 0.01 * p.Truth.Gain));
    EXPECT_LT(m.GainSpread, 0.1 * p.Slack * p.Truth.Gain);
  }
  // Judged against the noise at rest, however noisy: trusted and offered.
  EXPECT_EQ(m.MissedSize, 0.0) << FitVerdict(m);
  EXPECT_EQ(FitVerdict(m).rfind("the fit leaves only the noise", 0), 0u);
  EXPECT_TRUE(id.Warning.empty() || p.Slack > 1.0) << id.Warning;  // a noisy record may warn
  const Proposal proposal = ProposeSimc(m, {}, 400.0, {});
  EXPECT_TRUE(proposal.Ok) << proposal.Refusal;
}

INSTANTIATE_TEST_SUITE_P(Processes, IdentifyFopdtOf,
                         testing::Values(Process{{3.0, 60.0, 15.0, 0, 0}, 3.75, 0.3, true, 12, 3.75 / 4},
                                         Process{{1.0, 20.0, 4.0, 0, 0}, 1.5, 0.3, true, 12, 1.5 / 4},
                                         Process{{2.0, 100.0, 10.0, 0, 0}, 2.5, 0.3, true, 12, 2.5 / 4},
                                         // 0.06 s: half the fit's grid step (an eighth of a poll)
                                         Process{{2.0, 30.0, 4.35, 0, 0}, 1.0, 0.0, false, 12, 0.06},
                                         // PV noise SD 2 on a 20-unit step: R^2 about 0.8, only noise left
                                         Process{{1.0, 20.0, 4.0, 0, 0}, 1.0, 2.0, true, 20, 1.0, 3.0},
                                         Process{Lags({1.5, 40.0, 4.0, 0, 0}, 15.0), 1.0, 0.3, true, 12, 1.0, 1.5, "second order"},
                                         // noise enough to hide a second lag's leftovers behind a rough gate
                                         Process{Lags({1.2, 40.0, 4.0, 0, 0}, 15.0), 1.0, 0.4, true, 12, 1.0, 1.5, "second order"},
                                         Process{Level(0.01, 6.0), 1.0, 0.3, true, 0, 0.5, 1.0, "integrating"},
                                         // the rest output read 0.6 % under the balance: a ramp that bends
                                         Process{Level(0.01, 6.0), 1.0, 0.3, true, 0, 0.5, 1.0, "integrating", 39.4},
                                         // the output still creeping at the step (0.011 and 0.014 %/s)
                                         Process{{1.2, 45.0, 7.0, 0, 0}, 3.75, 0.3, true, 30, 3.75 / 4, 1.0, "first order",
                                                 40.0, {60.0, 0.15, 0.0}, 40.0, 150.0},
                                         Process{{2.0, 30.0, 4.35, 0, 0}, 3.0, 0.0, false, 30, 3.0 / 4, 1.0, "first order",
                                                 40.0, {60.0, 0.2, 0.0}, 40.0, 150.0}));

TEST(IdentifyFopdt, RefusesRecordsThatCannotShowTheProcessAndSaysWhy) {
  const FopdtModel truth{1.0, 20.0, 4.0, 0, 0};
  std::vector<TuningSample> flat, pinned, shortRecord, restless, gap, noisy;
  for (int i = -400; i < 500; ++i) {
    flat.push_back({i * 1.0, 100, 100.0 + i % 3, 40});
    // Long at rest, then on the limit for most of the time after the step.
    pinned.push_back({i * 1.0, 300, i < 0 ? 100 : 100 + i * 0.3, i < 0 ? 40.0 : i < 450 ? 100.0 : 60.0});
  }
  for (int i = -5; i < 5; ++i) shortRecord.push_back({i * 1.0, 100, 100, i < 0 ? 40.0 : 60.0});
  for (const TuningSample& s : ClosedLoopRecord(truth, 1.0, 0.3)) {
    restless.push_back(s);
    if (s.Time < 0) restless.back().PV += 0.5 * s.Time;  // PV still falling when the step came
    if (s.Time < 20 || s.Time > 60) gap.push_back(s);    // a paused chart
  }
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0.0, 20.0);
  for (TuningSample s : ClosedLoopRecord(truth, 1.0, 0.0)) noisy.push_back({s.Time, s.SP, s.PV + noise(random), s.Out});
  // Shapes no first-order model makes: PV first dipping the wrong way, and a
  // load change halfway through the step.
  std::vector<TuningSample> inverse, disturbed;
  for (TuningSample s : ClosedLoopRecord(truth, 1.0, 0.3)) {
    if (s.Time > 4 && s.Time < 14) s.PV -= std::round(6 * std::sin((s.Time - 4) * 3.14159 / 10));
    inverse.push_back(s);
    if (s.Time > 60) s.PV += 8;
    disturbed.push_back(s);
  }
  // A limit cycle before the step: PV swinging steadily by half the step's
  // move about its level, the output between its limits, at every phase of
  // the cycle at the step (over whole cycles PV does not drift, yet the
  // process is off its balance when the step comes), for a cycle of 10
  // polls and one of 16.
  std::vector<std::vector<TuningSample>> cycling;
  for (const double period : {10.0, 16.0}) {
    for (int phase = 0; phase < static_cast<int>(period); ++phase) {
      cycling.push_back(ClosedLoopRecord(truth, 1.0, 0.3));
      for (TuningSample& s : cycling.back()) {
        if (s.Time >= 0) continue;
        const double angle = 2 * std::numbers::pi * (s.Time + phase) / period;
        s.PV += std::round(6 * std::sin(angle));
        s.Out = std::cos(angle) > 0 ? 100.0 : 0.0;
      }
    }
  }
  struct Case {
    const std::vector<TuningSample>& Record;
    const char* Reason;
  };
  std::vector<Case> cases = {{flat, "did not move"},           {pinned, "on a limit for 90 % of the record after the step"},
                             {shortRecord, "too short"},       {restless, "not at rest"},
                             {gap, "gap of 41 s"},             {noisy, "noise"},
                             {inverse, "The fit misses a shape: PV runs"}, {disturbed, "The fit misses a shape: PV runs"}};
  for (const std::vector<TuningSample>& c : cycling) cases.push_back({c, "not at rest"});
  for (const auto& c : cases) {
    const Identification id = IdentifyFopdt(c.Record, AtTheWrite());
    EXPECT_FALSE(id.Ok) << c.Reason;
    EXPECT_NE(id.Refusal.find(c.Reason), std::string::npos) << id.Refusal;
  }

  // Still rest: the output dithering by 10 % from poll to poll while PV
  // shows only its noise, and PV creeping between two counts (a ripple of
  // one count, slower than the noise).
  std::vector<TuningSample> dithering = ClosedLoopRecord(truth, 1.0, 0.3), creeping = dithering;
  for (std::size_t i = 0; i < dithering.size() && dithering[i].Time < 0; ++i) {
    dithering[i].Out += i % 2 == 0 ? 5.0 : -5.0;
    creeping[i].PV = 100.0 + static_cast<double>(i / 4 % 2);
  }
  for (const auto* record : {&dithering, &creeping}) {
    const Identification id = IdentifyFopdt(*record, AtTheWrite());
    EXPECT_TRUE(id.Ok) << id.Refusal;
  }
}

// Residuals that follow each other (a slow wander) say less about the
// process than independent ones of the same size: the spread is wider.
TEST(IdentifyFopdt, CorrelatedResidualsWidenTheSpread) {
  const FopdtModel truth{2.0, 30.0, 4.0, 0, 0};
  std::vector<TuningSample> white = ClosedLoopRecord(truth, 1.0, 0.0, false);
  std::vector<TuningSample> wander = white;
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0.0, 0.5);
  double slow = 0.0;
  for (std::size_t i = 0; i < white.size(); ++i) {
    white[i].PV += noise(random);
    slow = 0.95 * slow + std::sqrt(1.0 - 0.95 * 0.95) * noise(random);  // the same spread, slow
    wander[i].PV += slow;
  }
  const Identification a = IdentifyFopdt(white, AtTheWrite());
  const Identification b = IdentifyFopdt(wander, AtTheWrite());
  ASSERT_TRUE(a.Ok && b.Ok) << a.Refusal << b.Refusal;
  EXPECT_GT(b.Model.GainSpread, 2.0 * a.Model.GainSpread);
  EXPECT_GT(b.Model.TimeConstantSpread, 2.0 * a.Model.TimeConstantSpread);
}

TEST(IdentifyFopdt, BadSamplesNeitherCrashNorHang) {
  std::vector<TuningSample> bad = ClosedLoopRecord({2.0, 30.0, 4.0, 20, 0}, 1.0, 0.0);
  bad.insert(bad.begin() + 50, {NAN, 1, 2, 3});
  bad.insert(bad.begin() + 60, {bad[59].Time, 1, INFINITY, 3});
  bad.insert(bad.begin() + 70, bad[69]);  // equal time
  const Identification id = IdentifyFopdt(bad, AtTheWrite());
  EXPECT_TRUE(id.Ok) << id.Refusal;
  // A cleared chart: only the run after the clock went back counts.
  std::vector<TuningSample> cleared = {{500, 1, 1, 1}, {600, 1, 2, 100}};
  cleared.insert(cleared.end(), bad.begin(), bad.end());
  EXPECT_TRUE(IdentifyFopdt(cleared, AtTheWrite()).Ok);
  std::vector<TuningSample> extreme;
  for (int i = 0; i < 100; ++i) extreme.push_back({i * 1.0, FLT_MAX, i % 2 ? FLT_MAX : -FLT_MAX, i % 2 ? 0.0 : 50.0});
  const Identification atLimits = IdentifyFopdt(extreme);  // a model or a refusal, never a number that is not finite
  EXPECT_TRUE(atLimits.Ok ? std::isfinite(atLimits.Model.Gain + atLimits.Model.Offset) : !atLimits.Refusal.empty());
  EXPECT_FALSE(IdentifyFopdt({}).Ok);
}

// --- proposals -----------------------------------------------------------------

struct Asked {
  const char* Name;
  FopdtModel Model;
  TuningChoice Choice;
  double Scale;
  double Band, Ki, Kd;       // expected when Ok
  const char* Refusal;       // expected in the refusal, or nullptr
};
void PrintTo(const Asked& a, std::ostream* os) { *os << a.Name; }

class ProposeSimcFor : public testing::TestWithParam<Asked> {};

// K 3 units/%, tau 60 s, theta 3 s, span 400: Kc = 60 / (3 x 6) = 3.33 %/unit,
// band = 1e4 / (3.33 x 400) = 7.5 %, Ti = min(60, 24) s = 2.5 repeats/min. PID
// (improved SIMC): series Ti 24 s, Td 1 s; ideal Ti 25 s = 2.4 repeats/min,
// Td 24 / 25 s, Kc x 25 / 24.
TEST_P(ProposeSimcFor, Model) {
  const Asked& a = GetParam();
  const Proposal p = ProposeSimc(a.Model, a.Choice, 400.0, {}, a.Scale);
  if (a.Refusal != nullptr) {
    EXPECT_FALSE(p.Ok);
    EXPECT_NE(p.Refusal.find(a.Refusal), std::string::npos) << p.Refusal;
    return;
  }
  ASSERT_TRUE(p.Ok) << p.Refusal;
  EXPECT_NEAR(p.Factors.Band, a.Band, 1e-9);
  EXPECT_NEAR(p.Factors.Ki, a.Ki, 1e-9);
  EXPECT_NEAR(p.Factors.Kd, a.Kd, 1e-9);
  EXPECT_GE(p.GainMargin, kMinGainMargin);
  EXPECT_EQ(p.Rule.find("e+"), std::string::npos) << p.Rule;
}

const FopdtModel kDefault{3.0, 60.0, 3.0, 20, 1, 1.0};
FopdtModel With(FopdtModel m, double sampling, double gainSpread = 0.0) {
  m.Sampling = sampling;
  m.GainSpread = gainSpread;
  return m;
}

FopdtModel Missing(FopdtModel m, double size) {
  m.MissedSize = size;
  m.MissedFrom = 10.0;
  m.MissedTo = 25.0;
  return m;
}

INSTANTIATE_TEST_SUITE_P(
    Models, ProposeSimcFor,
    testing::Values(Asked{"Pi", kDefault, {}, 1.0, 7.5, 2.5, 0.0, nullptr},
                    Asked{"Pid", kDefault, {true, 1.0}, 1.0, 1e4 / (61.0 / 18 * 25 / 24 * 400), 2.4, 24.0 / 25, nullptr},
                    Asked{"ChartTwiceAsSlow", {3.0, 30.0, 1.5, 20, 1, 0.5}, {}, 2.0, 7.5, 2.5, 0.0, nullptr},
                    Asked{"DeadTimeUnderAPoll", With(kDefault, 5.0), {}, 1.0, 0, 0, 0, "shorter than one poll"},
                    Asked{"DeadTimeUnderAPollInProcessTime", {3.0, 60.0, 0.8, 20, 1, 1.0}, {}, 5.0, 0, 0, 0,
                          "(4 s) is shorter than one poll (5 s)"},
                    Asked{"NoDeadTime", {3.0, 60.0, 0.0, 20, 1}, {}, 1.0, 0, 0, 0, "dead time"},
                    Asked{"UncertainGain", With(kDefault, 1.0, 1.0), {}, 1.0, 0, 0, 0, "Not offered for Apply: K"},
                    // Series Kc 60 / (3 x 6), Ti 24 s, Td = tau2 10 s; ideal Kc x 34 / 24, Ti 34 s, Td 240 / 34 s
                    Asked{"SecondOrderPid", Lags(With(kDefault, 1.0), 10.0), {true, 1.0}, 1.0, 1e4 / (60.0 / 18 * 34 / 24 * 400),
                          60.0 / 34, 240.0 / 34, nullptr},
                    // Half rule: tau 65 s, theta 8 s = tau_c: Kc 65 / (3 x 16), Ti 64 s
                    Asked{"SecondOrderPi", Lags(With(kDefault, 1.0), 10.0), {}, 1.0, 1e4 / (65.0 / 48 * 400), 60.0 / 64,
                          0.0, nullptr},
                    // Slope 0.01 units/s per %, theta 5 s: Kc 1 / (0.01 x 10), Ti 40 s; PI though PID was asked
                    Asked{"Integrating", With(Level(0.01, 5.0), 1.0), {true, 1.0}, 1.0, 2.5, 1.5, 0.0, nullptr},
                    Asked{"NoisyLowR2", {3.0, 60.0, 3.0, 20, 0.8, 1.0}, {}, 1.0, 7.5, 2.5, 0.0, nullptr},
                    Asked{"MissedShape", Missing(kDefault, -1.5), {}, 1.0, 0, 0, 0,
                          "Not offered for Apply: the fit misses a shape: PV runs 1.5 units below the model from 10 s"}),
    [](const testing::TestParamInfo<Asked>& param) { return param.param.Name; });

// The margins hold for the dead time as long as the record allows: its
// spread, at least a quarter of a poll.
TEST(ProposeSimc, KeepsItsMarginsAndSaysHowWhenAskedForTooFastALoop) {
  FopdtModel spread = With(kDefault, 1.0);
  spread.DeadTimeSpread = 1.4;
  const struct {
    FopdtModel Model;
    double Worst;  // dead time, s
  } cases[] = {{With(kDefault, 1.0), 3.25}, {spread, 4.4}};
  for (const auto& c : cases) {
    const Proposal p = ProposeSimc(c.Model, {false, 0.1}, 400.0, {});
    ASSERT_TRUE(p.Ok) << p.Refusal;
    EXPECT_NE(p.Rule.find("raised from 0.3 s"), std::string::npos) << p.Rule;
    FopdtModel worst = c.Model;
    worst.DeadTime = c.Worst;
    const LoopMargins m = MarginsOf(worst, 1e4 / (p.Factors.Band * 400.0), 60.0 / p.Factors.Ki, p.Factors.Kd);
    EXPECT_GE(m.Gain, kMinGainMargin) << c.Worst;
    EXPECT_GE(m.Phase, kMinPhaseMargin) << c.Worst;
    EXPECT_NEAR(p.Held.Band, std::round(p.Factors.Band * 10) / 10, 1e-6);  // what a 0.1 % register holds
  }
}

// Margins of loops worked out by hand: P only on a lag (|L| = 1 at
// w = sqrt(3) / tau, phase -60 degrees, less w theta), and a PI whose Ti
// cancels the lag (L = Kc K e^(-theta s) / (Ti s): 90 - Kc K theta / Ti rad,
// and a gain margin of pi Ti / (2 Kc K theta)).
TEST(MarginsOf, LoopsWorkedOutByHand) {
  const double inf = INFINITY;
  const struct {
    FopdtModel Model;
    double Kc, Ti, Td, Phase, Gain;
  } cases[] = {
      {{1.0, 10.0, 0.0, 0, 1}, 2.0, inf, 0.0, 120.0, inf},
      {{1.0, 10.0, 1.0, 0, 1}, 2.0, inf, 0.0, 110.076, 8.1753},
      {{1.0, 10.0, 1.0, 0, 1}, 2.0, 10.0, 0.0, 90.0 - 0.2 * 180.0 / std::numbers::pi, std::numbers::pi * 10.0 / 4.0},
  };
  for (const auto& c : cases) {
    const LoopMargins m = MarginsOf(c.Model, c.Kc, c.Ti, c.Td);
    EXPECT_NEAR(m.Phase, c.Phase, 0.3) << c.Ti;
    if (std::isinf(c.Gain)) EXPECT_TRUE(std::isinf(m.Gain)) << m.Gain;
    else EXPECT_NEAR(m.Gain, c.Gain, 0.01 * c.Gain) << c.Ti;
  }
}

TEST(ProposeSimc, RefusesWhatTheRegistersCannotHold) {
  const RegisterFactors registers;
  EXPECT_NE(ProposeSimc({3, 60, 3, 0, 1}, {}, 0.0, registers).Refusal.find("span"), std::string::npos);
  EXPECT_NE(ProposeSimc({-3, 60, 3, 0, 1}, {}, 400, registers).Refusal.find("gain"), std::string::npos);
  EXPECT_NE(ProposeSimc({1e4, 60, 3, 0, 1}, {}, 400, registers).Refusal.find("999.9"), std::string::npos);
  EXPECT_NE(ProposeSimc({1e-4, 60, 3, 0, 1}, {}, 400, registers).Refusal.find("Kp"), std::string::npos);
  EXPECT_NE(ProposeSimc({3, 1e6, 1e5, 0, 1}, {}, 400, registers).Refusal.find("Ki"), std::string::npos);
  EXPECT_FALSE(ProposeSimc({3, 60, 3, 0, 1}, {}, 400, {0.0f, 0.01f, 1.0f, {}}).Ok);
  EXPECT_FALSE(ProposeSimc({3, 60, 3, 0, 1}, {false, NAN}, 400, registers).Ok);
}

// Band 8 % of a span of 400 is 3.125 % output per unit: from 27 %, 68 % of
// headroom to 95 % is about 21 units, whatever the step that was made.
TEST(StepAdvice, ASaturatedStepIsToldTheLargestStepThePresentFactorsAllow) {
  StepResponseFigures figures;
  figures.Step = 240;
  figures.Elapsed = 100;
  figures.LimitTime = 60;
  const std::string advice = StepAdvice(figures, 27.0, {8.0, 2.5, 0.0}, 400.0, 0.0);
  EXPECT_NE(advice.find("open-loop"), std::string::npos);
  EXPECT_NE(advice.find("at most about 21 units"), std::string::npos) << advice;
  // With a model of 0.2 units per %: the new setpoint needs 5 % per unit, more than the kick.
  EXPECT_NEAR(LargestStep(27.0, true, {8.0, 2.5, 0.0}, 400.0, 0.2), 68.0 / 5.0, 1e-9);
  EXPECT_NEAR(LargestStep(27.0, false, {8.0, 2.5, 0.0}, 400.0, 0.0), 22.0 / 3.125, 1e-9);
  figures.LimitTime = 5;
  EXPECT_EQ(StepAdvice(figures, 27.0, {8.0, 2.5, 0.0}, 400.0, 0.0), "");
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// A step that has settled on a whole-unit PV repeats its samples: a flat
// stretch is no gap in the record.
TEST(IdentifyFopdt, SettledFlatStretchIsNoGap) {
  std::vector<TuningSample> record = ClosedLoopRecord({1.0, 20.0, 4.0, 0, 0}, 1.0, 0.0);
  const TuningSample last = record.back();
  for (int i = 1; i <= 10; ++i) record.push_back({last.Time + i, last.SP, last.PV, last.Out});
  const Identification id = IdentifyFopdt(record, AtTheWrite());
  EXPECT_TRUE(id.Ok) << id.Refusal;
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// What the residuals leave against the noise at rest (SD 0.5, a 20-unit
// move): noise alone, a whole-unit PV's rounding, and shapes the model missed.
TEST(JudgeResiduals, NamesOnlyAShapeTheNoiseCannotMake) {
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0.0, 0.5);
  std::vector<double> times, white, rounded, bump, late;
  for (int i = 0; i < 200; ++i) {
    times.push_back(i);
    white.push_back(noise(random));
    rounded.push_back(std::round(100 + 0.05 * i + white.back()) - (100 + 0.05 * i));
    bump.push_back(white.back() - (i >= 20 && i < 40 ? 2.0 : 0.0));
    late.push_back(white.back() + (i >= 150 ? 1.5 : 0.0));
  }
  const struct {
    const std::vector<double>& Residuals;
    double Missed, From, To;  // Missed 0: only noise
  } cases[] = {{white, 0, 0, 0}, {rounded, 0, 0, 0}, {bump, -2.0, 20, 39}, {late, 1.5, 150, 199}};
  for (const auto& c : cases) {
    const fit::Leftover left = fit::JudgeResiduals(c.Residuals, times, 0.5, 20.0);
    EXPECT_NEAR(left.Missed, c.Missed, 0.5);
    if (c.Missed == 0.0) continue;
    EXPECT_NEAR(left.From, c.From, 4.0);
    EXPECT_NEAR(left.To, c.To, 4.0);
  }
}

}  // namespace
}  // namespace korvane
