#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

#include "tuning/FopdtFit.h"
#include "tuning/SimcTuning.h"

namespace korvane {
namespace {

// A closed-loop step of a known process under a PI, with measurement noise
// and the PV rounded to whole units as a controller register carries it.
std::vector<TuningSample> ClosedLoopRecord(const FopdtModel& truth, double noiseSd) {
  std::vector<TuningSample> record;
  for (int i = 0; i < 20; ++i) record.push_back({i * 0.5 - 10.0, 100, 100, 40});
  const double step = 12.0 * truth.Gain;  // the output settles 12 % higher, its first kick stays under 100 %
  const auto loop = PredictClosedLoop(truth, {20.0, 1.0, 0.0}, 400.0, 100.0, 100.0 + step, 40.0, 10 * truth.TimeConstant);
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0.0, noiseSd);
  for (const TuningSample& s : loop) record.push_back({s.Time, s.SP, std::round(s.PV + noise(random)), s.Out});
  return record;
}

TEST(IdentifyFopdt, FindsTheProcessOfAClosedLoopStep) {
  for (const FopdtModel truth : {FopdtModel{3.0, 60.0, 3.0, 100 - 120, 0}, FopdtModel{1.0, 20.0, 8.0, 60, 0},
                                 FopdtModel{0.5, 200.0, 10.0, 80, 0}}) {
    const Identification id = IdentifyFopdt(ClosedLoopRecord(truth, 0.3));
    ASSERT_TRUE(id.Ok) << id.Refusal;
    EXPECT_NEAR(id.Model.Gain, truth.Gain, 0.05 * truth.Gain);
    EXPECT_NEAR(id.Model.TimeConstant, truth.TimeConstant, 0.1 * truth.TimeConstant);
    EXPECT_NEAR(id.Model.DeadTime, truth.DeadTime, 1.0);
    EXPECT_GT(id.Model.Fit, 0.95);
  }
}

TEST(IdentifyFopdt, RefusesRecordsThatCannotIdentifyAModelAndSaysWhy) {
  std::vector<TuningSample> flat, pinned, shortRecord, noise;
  std::mt19937 random(1);
  std::uniform_real_distribution<double> any(0, 100);
  for (int i = 0; i < 500; ++i) {
    flat.push_back({i * 1.0, 100, 100.0 + i % 3, 40});
    pinned.push_back({i * 1.0, 300, 100 + i * 0.3, i < 10 ? 40.0 : 100.0});
    noise.push_back({i * 1.0, 100, any(random), any(random)});
  }
  for (int i = 0; i < 5; ++i) shortRecord.push_back({i * 1.0, 100, 100, i * 10.0});
  EXPECT_NE(IdentifyFopdt(flat).Refusal.find("did not move"), std::string::npos);
  EXPECT_NE(IdentifyFopdt(pinned).Refusal.find("on a limit"), std::string::npos);
  EXPECT_NE(IdentifyFopdt(shortRecord).Refusal.find("too short"), std::string::npos);
  EXPECT_NE(IdentifyFopdt(noise).Refusal.find("poor"), std::string::npos);
}

TEST(IdentifyFopdt, BadSamplesNeitherCrashNorHang) {
  std::vector<TuningSample> bad = ClosedLoopRecord({2.0, 30.0, 4.0, 20, 0}, 0.0);
  bad.insert(bad.begin() + 50, {NAN, 1, 2, 3});
  bad.insert(bad.begin() + 60, {bad[59].Time, 1, INFINITY, 3});
  bad.insert(bad.begin() + 70, bad[69]);  // equal time
  const Identification id = IdentifyFopdt(bad);
  EXPECT_TRUE(id.Ok) << id.Refusal;
  // A cleared chart: only the run after the clock went back counts.
  std::vector<TuningSample> cleared = {{500, 1, 1, 1}, {600, 1, 2, 100}};
  cleared.insert(cleared.end(), bad.begin(), bad.end());
  EXPECT_TRUE(IdentifyFopdt(cleared).Ok);
  std::vector<TuningSample> extreme;
  for (int i = 0; i < 100; ++i) extreme.push_back({i * 1.0, FLT_MAX, i % 2 ? FLT_MAX : -FLT_MAX, i % 2 ? 0.0 : 50.0});
  const Identification atLimits = IdentifyFopdt(extreme);  // a model or a refusal, never a number that is not finite
  EXPECT_TRUE(atLimits.Ok ? std::isfinite(atLimits.Model.Gain + atLimits.Model.Offset) : !atLimits.Refusal.empty());
  EXPECT_FALSE(IdentifyFopdt({}).Ok);
}

// --- proposals -----------------------------------------------------------------

TEST(ProposeSimc, PiForTheDefaultSimulatedProcessInTheControllersUnits) {
  // K 3 units/%, tau 60 s, theta 3 s, span 400: Kc = 60 / (3 x 6) = 3.33 %/unit,
  // band = 1e4 / (3.33 x 400) = 7.5 %, Ti = min(60, 24) s = 2.5 repeats/min.
  const Proposal p = ProposeSimc({3.0, 60.0, 3.0, 20, 1}, {}, 400.0, {});
  ASSERT_TRUE(p.Ok) << p.Refusal;
  EXPECT_NEAR(p.Factors.Band, 7.5, 1e-9);
  EXPECT_NEAR(p.Factors.Ki, 2.5, 1e-9);
  EXPECT_EQ(p.Factors.Kd, 0.0);
  const Proposal pid = ProposeSimc({3.0, 60.0, 3.0, 20, 1}, {true, 1.0}, 400.0, {});
  EXPECT_NEAR(pid.Factors.Kd, 1.0 * 24 / 25, 1e-9);  // Td = Ti Td / (Ti + Td) with Ti 24, Td 1
  const Proposal robust = ProposeSimc({3.0, 60.0, 3.0, 20, 1}, {false, 3.0}, 400.0, {});
  EXPECT_GT(robust.Factors.Band, p.Factors.Band);  // a larger tau_c is gentler
}

TEST(ProposeSimc, RefusesWhatTheRegistersCannotHold) {
  const RegisterFactors registers;
  EXPECT_NE(ProposeSimc({3, 60, 3, 0, 1}, {}, 0.0, registers).Refusal.find("span"), std::string::npos);
  EXPECT_NE(ProposeSimc({-3, 60, 3, 0, 1}, {}, 400, registers).Refusal.find("gain"), std::string::npos);
  EXPECT_NE(ProposeSimc({1e4, 60, 3, 0, 1}, {}, 400, registers).Refusal.find("999.9"), std::string::npos);
  EXPECT_NE(ProposeSimc({1e-4, 60, 3, 0, 1}, {}, 400, registers).Refusal.find("Kp"), std::string::npos);
  EXPECT_NE(ProposeSimc({3, 1e6, 1e5, 0, 1}, {}, 400, registers).Refusal.find("Ki"), std::string::npos);
  EXPECT_FALSE(ProposeSimc({3, 60, 3, 0, 1}, {}, 400, {0.0f, 0.01f, 1.0f}).Ok);
  EXPECT_FALSE(ProposeSimc({3, 60, 3, 0, 1}, {false, NAN}, 400, registers).Ok);
}

TEST(StepAdvice, ASaturatedStepIsToldToBeSmaller) {
  StepResponseFigures figures;
  figures.Step = 200;
  figures.Elapsed = 100;
  figures.LimitTime = 60;
  const std::string advice = StepAdvice(figures, 40.0, 2.0, 2.0);
  EXPECT_NE(advice.find("open-loop"), std::string::npos);
  EXPECT_NE(advice.find("about 27 units"), std::string::npos);  // 0.9 x 60 % / 2 %/unit
  figures.LimitTime = 5;
  EXPECT_EQ(StepAdvice(figures, 40.0, 2.0, 2.0), "");
}

}  // namespace
}  // namespace korvane
