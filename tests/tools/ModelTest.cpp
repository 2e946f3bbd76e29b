// The controller and process model, run in simulated time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "ControllerDevice.h"
#include "PidController.h"
#include "ProcessModel.h"

namespace korvane::sim {
namespace {

// The process these tests work out: 3 units per percent of output.
ProcessParams Quiet(double deadTime = 0) {
  ProcessParams p;
  p.Noise = 0;
  p.Gain = 3.0;
  p.DeadTime = deadTime;
  return p;
}

void RunFor(ProcessModel& m, double output, double seconds) {
  for (int i = 0; i < std::lround(seconds / ProcessModel::kStep); ++i) m.Step(output);
}

TEST(ProcessModel, OpenLoopStepReachesSixtyThreePercentAfterOneTimeConstant) {
  ProcessModel m(Quiet());
  RunFor(m, 50.0, 60.0);
  double expected = 20.0 + (1 - std::exp(-1.0)) * 3.0 * 50.0;
  EXPECT_NEAR(m.Value(), expected, 0.05);
  RunFor(m, 50.0, 600.0);
  EXPECT_NEAR(m.Value(), m.SteadyState(50.0), 0.01);
}

// Each kind of process from rest at 20 with the output at 50 % from 0 on,
// after a dead time of 2 s, and how it names itself at start.
TEST(ProcessModel, EachKindAnswersAStepAsItsTruthSaysAndNamesIt) {
  ProcessParams second = Quiet(2.0), level = Quiet(2.0);
  second.TimeConstant = 30.0;
  second.SecondLag = 10.0;
  level.Integrating = true;
  level.Gain = 0.02;  // units/s per % off the balance
  level.Balance = 40.0;
  const struct {
    ProcessParams Params;
    double Seconds, Value;
    const char* Named;
  } cases[] = {
      {Quiet(2.0), 62.0, 20.0 + 150.0 * (1 - std::exp(-1.0)), "process first order: gain 3 units/%, time constant 60 s, dead time 2 s"},
      // two lags a and b: 1 - (a e^(-t/a) - b e^(-t/b)) / (a - b), t = 30 s
      {second, 32.0, 20.0 + 150.0 * (1 - (30 * std::exp(-1.0) - 10 * std::exp(-3.0)) / 20), "lags 30 s and 10 s"},
      // 2 s of the output at 0 % still in the dead time, then 50 s at 50 %
      {level, 52.0, 20.0 + 0.02 * (-40.0 * 2.0 + 10.0 * 50.0), "process integrating: 0.02 units/s per % off a balance of 40 %, dead time 2 s"},
  };
  for (const auto& c : cases) {
    ProcessModel m(c.Params);
    RunFor(m, 50.0, c.Seconds);
    EXPECT_NEAR(m.Value(), c.Value, 0.3) << c.Named;
    EXPECT_NE(m.Describe().find(c.Named), std::string::npos) << m.Describe();
  }
}

TEST(ProcessModel, DeadTimeHoldsTheValueThenTheLagStarts) {
  ProcessModel m(Quiet(3.0));
  RunFor(m, 100.0, 2.9);
  EXPECT_DOUBLE_EQ(m.Value(), 20.0);
  RunFor(m, 100.0, 3.1);  // 6 s in all: 3 s of the lag have run
  EXPECT_NEAR(m.Value(), 20.0 + 300.0 * (1 - std::exp(-3.0 / 60.0)), 0.5);
}

TEST(ProcessModel, NoiseIsSeededAndSmall) {
  ProcessParams p;
  p.Noise = 0.3;
  p.Seed = 42;
  ProcessModel a(p), b(p);
  double sum2 = 0;
  for (int i = 0; i < 2000; ++i) {
    double x = a.Measured();
    EXPECT_DOUBLE_EQ(x, b.Measured());
    sum2 += (x - 20.0) * (x - 20.0);
  }
  EXPECT_NEAR(std::sqrt(sum2 / 2000), 0.3, 0.03);
}

// The first view after the three clicks: started with its defaults, the
// simulator's first minute is a step response inside the main window's
// default axes (PV and setpoint 0..100, output 0..100 %).
TEST(ControllerDevice, DefaultsShowAStepResponseInsideTheDefaultAxesInTheFirstMinute) {
  DeviceParams d;
  ControllerDevice dev(d);
  double peakOut = 0, peakPv = 0;
  for (int i = 0; i < 600; ++i) {
    dev.Advance(0.1);
    peakOut = std::max(peakOut, dev.OutputPercent());
    peakPv = std::max(peakPv, dev.ProcessValue());
  }
  EXPECT_GT(peakOut, 80.0);                          // the output jumps on the step
  EXPECT_GT(dev.OutputPercent(), 10.0);              // and comes back to a level well inside the axis
  EXPECT_LT(dev.OutputPercent(), 60.0);
  EXPECT_NEAR(dev.ProcessValue(), dev.Setpoint(), 5.0);  // PV has risen to the setpoint
  EXPECT_LT(peakPv, 90.0);
  EXPECT_GT(dev.Setpoint(), 20.0);
  EXPECT_LT(dev.Setpoint(), 90.0);
}

// The loop these tests work out: setpoint 100, 3 units per percent.
DeviceParams QuietDevice() {
  DeviceParams d;
  d.Process.Noise = 0;
  d.Process.Gain = 3.0;
  d.Setpoint = 100;
  return d;
}

TEST(ControllerDevice, SetpointStepWithSaturatedOutputFollowsTheFirstOrderCurve) {
  DeviceParams d = QuietDevice();
  d.Process.Ambient = 100;
  d.Process.DeadTime = 0;
  d.Setpoint = 100;
  ControllerDevice dev(d);
  dev.Advance(10);
  ASSERT_NEAR(dev.ProcessValue(), 100, 0.01);
  ASSERT_EQ(dev.Write(reg::SPWrite, 300), ControllerDevice::WriteResult::Ok);
  dev.Advance(20);
  EXPECT_DOUBLE_EQ(dev.OutputPercent(), 100.0);
  // x(t) = 400 - 300 e^(-t/60), one step of measurement lag aside.
  EXPECT_NEAR(dev.ProcessValue(), 400 - 300 * std::exp(-20.0 / 60.0), 1.0);
}

TEST(ControllerDevice, DefaultTuningSettlesAtTheSetpointWithLittleOvershoot) {
  ControllerDevice dev(QuietDevice());
  double peak = 0;
  for (int i = 0; i < 6000; ++i) {
    dev.Advance(0.1);
    peak = std::max(peak, dev.ProcessValue());
  }
  EXPECT_NEAR(dev.ProcessValue(), 100.0, 0.2);
  EXPECT_LT(peak, 100.0 + 0.1 * 80.0);  // anti-windup: under 10 % of the 80-unit rise
  EXPECT_NEAR(dev.OutputPercent(), (100.0 - 20.0) / 3.0, 0.5);
}

TEST(ControllerDevice, WithoutIntegralTheProcessCreepsToAnOffset) {
  DeviceParams d = QuietDevice();
  d.Factors.Integral = 0;
  ControllerDevice dev(d);
  dev.Advance(900);
  // P only: out = (SP - PV) x 100/PB % of span; PV = 20 + 3 out.
  double gain = 100.0 / 8.0 * 100.0 / 400.0;  // % output per unit of error
  double pv = (20 + 3 * gain * 100) / (1 + 3 * gain);
  EXPECT_NEAR(dev.ProcessValue(), pv, 0.5);
  EXPECT_GT(100 - dev.ProcessValue(), 5);
}

TEST(ControllerDevice, TooNarrowABandOscillates) {
  DeviceParams d = QuietDevice();
  d.Factors.ProportionalBand = 0.5;
  d.Factors.Integral = 20;
  ControllerDevice dev(d);
  dev.Advance(600);
  double low = 1e9, high = -1e9;
  int crossings = 0;
  bool above = dev.ProcessValue() > 100;
  for (int i = 0; i < 3000; ++i) {
    dev.Advance(0.1);
    low = std::min(low, dev.ProcessValue());
    high = std::max(high, dev.ProcessValue());
    bool now = dev.ProcessValue() > 100;
    if (now != above) ++crossings;
    above = now;
  }
  EXPECT_GT(high - low, 5.0);
  EXPECT_GE(crossings, 6);
}

// Every scan (0.1 s, not a poll) the relay follows the hysteresis h = 4
// exactly: 100 % while PV < SP - h, 0 % while PV > SP + h, unchanged in
// between; PV turns within a scan's travel past SP +- h.
TEST(ControllerDevice, OnOffControlWithHysteresisSwitchesTheFullOutput) {
  DeviceParams d = QuietDevice();
  d.Factors.ProportionalBand = 0;
  d.Factors.Hysteresis = 4;
  d.Process.DeadTime = 0;
  ControllerDevice dev(d);
  dev.Advance(300);
  double low = 1e9, high = -1e9, last = dev.OutputPercent();
  for (int i = 0; i < 1200; ++i) {
    const double pv = dev.Process().Value();  // what the next scan reads (no noise)
    dev.Advance(0.1);
    const double out = dev.OutputPercent();
    EXPECT_EQ(out, pv < 96.0 ? 100.0 : pv > 104.0 ? 0.0 : last) << pv;
    last = out;
    low = std::min(low, dev.ProcessValue());
    high = std::max(high, dev.ProcessValue());
  }
  EXPECT_GT(low, 95.6);   // a scan's travel: up to 0.4 units
  EXPECT_LT(high, 104.4);
  EXPECT_GT(high - low, 7.5);
}

// The relay's rows, at SP 100 and h 2, one scan each in order: from PID
// control it keeps the side its output was on, then follows the hysteresis.
TEST(PidController, OnOffFollowsTheHysteresisEveryScan) {
  PidController pid(0, 400);
  pid.Step(100, 50, 0.1);  // PID control far below SP: the output at 100 %
  pid.SetFactors({0.0, 0.0, 0.0, 2.0, false});
  const struct {
    double Pv, Out;
  } scans[] = {{101, 100}, {102, 100}, {102.01, 0}, {101, 0}, {98, 0}, {97.99, 100}, {99, 100}, {98, 100}, {150, 0}};
  for (const auto& s : scans) EXPECT_EQ(pid.Step(100, s.Pv, 0.1), s.Out) << s.Pv;
  PidController cool(0, 400);
  cool.Step(100, 150, 0.1);  // PID control far above SP: the output at 0 %
  cool.SetFactors({0.0, 0.0, 0.0, 2.0, false});
  EXPECT_EQ(cool.Step(100, 99, 0.1), 0.0);
}

TEST(ControllerDevice, RegistersCarryKorvanesDefaultScaling) {
  DeviceParams d = QuietDevice();
  d.Factors = {12.5, 3.21, 7, 2};
  d.Setpoint = 150;
  ControllerDevice dev(d);
  dev.Advance(5);
  EXPECT_EQ(dev.Read(reg::SP), 150);
  EXPECT_EQ(dev.Read(reg::SPWrite), 150);
  EXPECT_EQ(dev.Read(reg::Kp), 125);   // x 0.1 = 12.5 %
  EXPECT_EQ(dev.Read(reg::Ki), 321);   // x 0.01 = 3.21 repeats/min
  EXPECT_EQ(dev.Read(reg::Kd), 7);
  EXPECT_EQ(dev.Read(reg::Hys), 2);
  EXPECT_EQ(dev.Read(reg::Out), std::lround(dev.OutputPercent() * 10));
  EXPECT_EQ(dev.Read(reg::PV), std::lround(dev.ProcessValue()));
  EXPECT_EQ(dev.Read(31), 0);
  EXPECT_FALSE(dev.Read(32).has_value());
  EXPECT_FALSE(dev.Read(-1).has_value());
}

TEST(ControllerDevice, WritesChangeFactorsAndSetpointAndRefuseTheRest) {
  ControllerDevice dev(QuietDevice());
  using R = ControllerDevice::WriteResult;
  EXPECT_EQ(dev.Write(reg::Kp, 250), R::Ok);
  EXPECT_EQ(dev.Write(reg::Ki, 100), R::Ok);
  EXPECT_EQ(dev.Write(reg::Kd, 30), R::Ok);
  EXPECT_DOUBLE_EQ(dev.Controller().Factors().ProportionalBand, 25.0);
  EXPECT_DOUBLE_EQ(dev.Controller().Factors().Integral, 1.0);
  EXPECT_DOUBLE_EQ(dev.Controller().Factors().Derivative, 30.0);
  EXPECT_EQ(dev.Write(reg::SPWrite, 250), R::Ok);
  EXPECT_EQ(dev.Read(reg::SP), 250);
  EXPECT_EQ(dev.Write(reg::SP, 0xFFFF), R::IllegalValue);  // -1, below the span
  EXPECT_EQ(dev.Write(reg::SP, 401), R::IllegalValue);
  EXPECT_EQ(dev.Write(reg::PV, 10), R::IllegalAddress);
  EXPECT_EQ(dev.Write(reg::Out, 10), R::IllegalAddress);
  EXPECT_EQ(dev.Write(40, 10), R::IllegalAddress);
  EXPECT_EQ(dev.Read(reg::SP), 250);
}

// Maps whose registers hold the factors another way: written there, read
// back unchanged, and acting as the ideal factors they stand for.
struct FormRow {
  const char* Map;
  std::uint16_t Kp, Ki, Kd;         // written
  double Band, Integral, Derivative;  // the ideal controller it acts as
};

TEST(ControllerDevice, FactorFormsActAsTheirIdealFactors) {
  using R = ControllerDevice::WriteResult;
  const FormRow rows[] = {
      {"gain", 1356, 24, 2, 100 / 13.56, 2.5, 2},               // gain 13.56, Ti 24 s
      {"gain", 0, 0, 0, 0, 0, 0},                               // 0: on/off, no integral
      {"series", 295, 40, 1, 29.5 * 24 / 25, 60.0 / 25, 24.0 / 25},  // Ti' 0.40 min, Td' 1 s
      {"series", 295, 40, 0, 29.5, 2.5, 0},                     // without Td' the forms agree
  };
  for (const FormRow& r : rows) {
    DeviceParams d = QuietDevice();
    d.Map = FindSimMap(r.Map);
    ASSERT_NE(d.Map, nullptr) << r.Map;
    ControllerDevice dev(d);
    EXPECT_EQ(dev.Write(reg::Kp, r.Kp), R::Ok) << r.Map;
    EXPECT_EQ(dev.Write(reg::Ki, r.Ki), R::Ok) << r.Map;
    EXPECT_EQ(dev.Write(reg::Kd, r.Kd), R::Ok) << r.Map;
    EXPECT_EQ(dev.Read(reg::Kp), r.Kp) << r.Map;
    EXPECT_EQ(dev.Read(reg::Ki), r.Ki) << r.Map;
    const PidFactors ideal = IdealFactors(dev.Controller().Factors());
    EXPECT_NEAR(ideal.ProportionalBand, r.Band, 1e-9) << r.Map << " " << r.Kp;
    EXPECT_NEAR(ideal.Integral, r.Integral, 1e-9) << r.Map << " " << r.Ki;
    EXPECT_NEAR(ideal.Derivative, r.Derivative, 1e-9) << r.Map << " " << r.Kd;
  }
}

TEST(ControllerDevice, ManualModeHoldsTheOutputGiven) {
  ControllerDevice dev(QuietDevice());
  using R = ControllerDevice::WriteResult;
  EXPECT_EQ(dev.Write(reg::ManualOut, 425), R::Ok);
  EXPECT_EQ(dev.Write(reg::Mode, 0), R::Ok);
  EXPECT_EQ(dev.Write(reg::Mode, 2), R::IllegalValue);
  EXPECT_EQ(dev.Write(reg::ManualOut, 1001), R::IllegalValue);
  dev.Advance(10);
  EXPECT_DOUBLE_EQ(dev.OutputPercent(), 42.5);
  EXPECT_EQ(dev.Read(reg::Out), 425);
}

}  // namespace
}  // namespace korvane::sim
