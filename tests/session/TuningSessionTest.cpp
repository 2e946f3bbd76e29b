// The tuning session's stages and every way out of it, on a scripted loop
// (no simulator, no process time).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "ScriptedLoop.h"
#include "rules/FormConversion.h"
#include "session/SessionReport.h"

namespace korvane {
namespace {

using test::ScriptedLoop;

struct SessionFixture : ::testing::Test {
  ScriptedLoop loop;
  std::unique_ptr<TuningSession> session;
  SessionPlan plan;

  void SetUp() override {
    loop.Settle(60.0);
    session = MakeSession(loop);
    plan.Step = 20.0;
    plan.PvLow = 0.0;
    plan.PvHigh = 400.0;
    plan.MaxTime = 1500.0;
  }
  static std::unique_ptr<TuningSession> MakeSession(ScriptedLoop& l) {
    return std::make_unique<TuningSession>(
        l.Context(), [&l] { return l.Time; }, [&l](ValueBox b, double v) { l.Write(b, v); });
  }
  std::vector<std::string> Start() { return session->Start(loop.Input(), plan); }
  void ExpectOriginals() const {
    EXPECT_EQ(loop.SP, 100.0);
    EXPECT_EQ(loop.Band, 50.0);
    EXPECT_EQ(loop.Ki, 0.5);
    EXPECT_EQ(loop.Kd, 0.0);
    EXPECT_EQ(loop.Hys, 1.0);
  }
  // The loop as a row changes it, at rest again, and the session told.
  void Prepare(const std::function<void(ScriptedLoop&)>& change) {
    if (!change) return;
    change(loop);
    loop.Reset();
    loop.Settle(60.0);
    session->SetContext(loop.Context());
  }
  void PlanRelay(double h = 2.0) {
    plan.Kind = SessionKind::Relay;
    plan.Hysteresis = h;
  }
};

// Whole sessions written without asking, within the longest time offered:
// the setpoint back, the new factors in, step 2 recorded to where PV ends
// and predicted over the same time, and the proposal said in full.
struct RunCase {
  const char* Name;
  std::function<void(ScriptedLoop&)> Loop;  // the loop before its rest
  const char* Said;                         // in what the session said, besides the approval
  bool Settles = true;                      // step 2 settles before its limit
  const char* Model = "first order";        // the model picked
  bool Pid = false;                         // the window's rule: PID (with derivative)
  friend void PrintTo(const RunCase& c, std::ostream* os) { *os << c.Name; }
};

class SessionRuns : public SessionFixture, public ::testing::WithParamInterface<RunCase> {};

TEST_P(SessionRuns, EndWithTheSetpointBackAndStepTwoMeasuredToItsEnd) {
  const RunCase& c = GetParam();
  Prepare(c.Loop);
  plan.ApplyWithoutAsking = true;
  plan.MaxTime = DefaultPlan(loop.Context(), loop.Now(), loop.Samples).MaxTime;
  plan.Choice.Pid = c.Pid;
  ASSERT_TRUE(Start().empty());
  std::string said;
  for (double end = loop.Time + 6000.0; loop.Time < end && session->Running();) {
    loop.Tick(*session);
    said += session->Waiting() + "\n";
  }
  ASSERT_EQ(session->Stage(), SessionStage::Done) << session->Waiting();
  const SessionOutcome& o = session->Outcome();
  ASSERT_TRUE(o.Step1 && o.Step2 && o.Predicted && o.Proposed);
  said += o.VerifyNote + "\n" + o.Result;
  EXPECT_NE(said.find(c.Said), std::string::npos) << said;
  EXPECT_EQ(said.find("Step 1:"), std::string::npos);  // the stage line names the stage
  EXPECT_TRUE(o.Applied);
  EXPECT_FALSE(o.Worse) << o.Result;
  EXPECT_EQ(loop.SP, 100.0);
  EXPECT_EQ(loop.Band, o.Proposed->Held.Band);
  EXPECT_EQ(loop.Ki, o.Proposed->Held.Ki);
  // Step 2 to its end: the offset is where PV ended, and the prediction covers the same time.
  const double end = o.Step2Time + o.Step2->Elapsed;
  const auto last = std::find_if(loop.Samples.begin(), loop.Samples.end(), [&](auto& x) { return x.Time >= end; });
  ASSERT_NE(last, loop.Samples.end());
  ASSERT_EQ(o.Step2->SteadyStateError.has_value(), c.Settles) << said;
  if (c.Settles) {
    EXPECT_NEAR(*o.Step2->SteadyStateError, o.Before.SP + o.Plan.Step + o.VerifyStep - last->PV,
                std::max(loop.PvCount, 0.2));
  }
  EXPECT_NEAR(o.Predicted->Elapsed, o.Step2->Elapsed * loop.TimeScale, 1e-9 * o.Predicted->Elapsed);
  EXPECT_NEAR(o.Step2->Iae * loop.TimeScale, o.Predicted->Iae, 0.35 * o.Predicted->Iae);
  std::string approval;
  for (const std::string& line : ApprovalLines(o, session->Context())) approval += line + "\n";
  const std::string picked = std::string("Model picked: ") + c.Model;
  for (const char* part : {"Model: ", "\u00b1", "R\u00b2", "the fit leaves only the noise", picked.c_str(), "Proposed: Kp (band)", "Step 2 predicted", "IAE"}) {
    EXPECT_NE(approval.find(part), std::string::npos) << part << " in " << approval;
  }
  // The rule the plan carries: with a derivative, a second lag goes to Td.
  EXPECT_EQ(approval.find("SIMC PID for a second-order process") != std::string::npos, c.Pid && c.Loop && loop.Tau2 > 0)
      << approval;
  EXPECT_EQ(loop.Kd > 0.0, c.Pid) << loop.Kd;
}

const RunCase kRuns[] = {
    {"SluggishLoop", nullptr, "IAE"},
    // Slow and whole-unit PV: a PV still creeping in inside the band is not the end of step 2.
    {"SlowLoopWholeUnitPv", [](ScriptedLoop& l) { l.Tau = 150.0; l.Theta = 8.0; l.PvCount = 1.0; }, "IAE"},
    // The new band is so narrow that the way back would drive the output to 0 %: a shorter step 2.
    {"VerificationTheNewFactorsCannotTakeWhole", [](ScriptedLoop& l) { l.K = 0.5; l.Tau = 30.0; l.Band = 10.0; l.PvCount = 0.1; },
     "step 2 verifies with a step of -", false},
    {"ProcessTwiceAsFastAsTheTicks", [](ScriptedLoop& l) { l.TimeScale = 2.0; }, "s (process) into the step"},
    // PI on two lags and on a level: the integral's slow tail keeps PV moving
    // by more than half a count past the predicted rest, up to step 2's limit.
    {"TwoLags", [](ScriptedLoop& l) { l.Tau = 30.0; l.Tau2 = 10.0; }, "IAE", false, "second order"},
    {"TwoLagsWithDerivative", [](ScriptedLoop& l) { l.Tau = 30.0; l.Tau2 = 10.0; }, "IAE", true, "second order", true},
    {"Level", [](ScriptedLoop& l) { l.Integrating = true; l.K = 0.02; l.PvCount = 0.1; }, "IAE", false, "integrating"},
};

INSTANTIATE_TEST_SUITE_P(TuningSession, SessionRuns, ::testing::ValuesIn(kRuns),
                         [](const auto& c) { return std::string(c.param.Name); });

// Whole relay tests written without asking: the hysteresis and K 0, the
// originals back once the swing is steady, then the proposal; the setpoint
// never written, and the figures and cross-check said.
class RelayRuns : public SessionFixture, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RelayRuns, SwingSteadilyPutTheOriginalsBackAndWriteTheProposal) {
  const RunCase& c = GetParam();
  Prepare(c.Loop);
  plan = DefaultRelayPlan(loop.Context(), loop.Now(), loop.Samples);
  plan.ApplyWithoutAsking = true;
  plan.Choice.Pid = c.Pid;
  ASSERT_TRUE(Start().empty());
  loop.Run(*session, 4000.0);
  ASSERT_EQ(session->Stage(), SessionStage::Done) << session->Waiting();
  const SessionOutcome& o = session->Outcome();
  ASSERT_TRUE(o.Relay && o.Model && o.Proposed && o.Agreement) << o.Result;
  EXPECT_GE(o.Relay->SteadyPeriods, 3u);
  // The model's ultimate point against the scripted process's own (one lag
  // or a level; its tick is TimeScale process seconds).
  if (loop.Tau2 == 0.0) {
    FopdtModel truth;
    truth.Gain = loop.Integrating ? loop.K * 1e4 : loop.K;
    truth.TimeConstant = (loop.Integrating ? 1e4 : loop.Tau) * loop.TimeScale;
    truth.DeadTime = loop.Theta * loop.TimeScale;
    truth.Integrating = loop.Integrating;
    const UltimatePoint exact = UltimateOf(truth);
    ASSERT_TRUE(o.ModelUltimate && o.ModelUltimate->Ok);
    std::printf("%s: Ku %.4g (relay %.4g) against %.4g, Pu %.4g (relay %.4g) against %.4g\n", c.Name,
                o.ModelUltimate->Ku, o.Relay->Ku, exact.Ku, o.ModelUltimate->Pu, o.Relay->Pu * loop.TimeScale, exact.Pu);
    EXPECT_NEAR(o.ModelUltimate->Ku / exact.Ku, 1.0, 0.1);
    EXPECT_NEAR(o.ModelUltimate->Pu / exact.Pu, 1.0, 0.1);
  }
  EXPECT_NE(o.Model->Model.Why.find(c.Model), std::string::npos) << o.Model->Model.Why;
  std::string said = o.Result + "\n";
  for (const std::string& line : ReportLines(o, session->Context())) said += line + "\n";
  EXPECT_NE(said.find(c.Said), std::string::npos) << said;
  // The report's table: a heading and every half cycle, the steady ones marked.
  const auto cycles = RelayCycleRows(o, loop.TimeScale);
  ASSERT_EQ(cycles.size(), o.Relay->HalfPeriods.size() + 1);
  EXPECT_GE(std::count_if(cycles.begin(), cycles.end(), [](const auto& r) { return r.back() == "yes"; }), 6);
  // The writes in order: into the on/off mode, the originals back, the proposal.
  std::vector<std::string> wire;
  for (const auto& w : loop.Wire) wire.push_back(w.What + (w.What == "Kp" && w.New == 0.0 ? " 0" : ""));
  const std::vector<std::string> order = {"hysteresis", "Kp 0", "Kp", "Ki", "Kd", "hysteresis", "Kp", "Ki", "Kd"};
  if (o.Agreement->Agree) {
    EXPECT_EQ(wire, order);
    EXPECT_TRUE(o.Applied);
    EXPECT_EQ(loop.Band, o.Proposed->HeldInForm.K);
    EXPECT_EQ(loop.Ki, o.Proposed->HeldInForm.Ki);
  } else {
    EXPECT_EQ(wire, std::vector<std::string>(order.begin(), order.begin() + 6));
    EXPECT_NE(o.Result.find("Not offered for Apply"), std::string::npos);
  }
  EXPECT_EQ(loop.SP, 100.0);
  EXPECT_EQ(loop.Hys, 1.0);
  EXPECT_EQ(o.Plan.Hysteresis, plan.Hysteresis);
}

const RunCase kRelayRuns[] = {
    {"FirstOrder", nullptr, "Cross-check, not applied: Tyreus-Luyben PI"},
    {"TwoLagsWithDerivative", [](ScriptedLoop& l) { l.Tau = 30.0; l.Tau2 = 10.0; }, "Tyreus-Luyben PID", true,
     "second order", true},
    {"Level", [](ScriptedLoop& l) { l.Integrating = true; l.K = 0.02; l.PvCount = 0.1; }, "Relay test: the output",
     true, "integrating"},
    {"WholeUnitPvOnASlowerChart", [](ScriptedLoop& l) { l.PvCount = 1.0; l.TimeScale = 2.0; }, "s (process)"},
};

INSTANTIATE_TEST_SUITE_P(TuningSession, RelayRuns, ::testing::ValuesIn(kRelayRuns),
                         [](const auto& c) { return std::string(c.param.Name); });

TEST_F(SessionFixture, AsksBeforeWritingFactorsAndDeclineKeepsTheOldOnes) {
  ASSERT_TRUE(Start().empty());
  loop.Run(*session);
  ASSERT_EQ(session->Stage(), SessionStage::Proposed) << session->Waiting();
  EXPECT_EQ(loop.SP, 120.0);
  EXPECT_EQ(loop.Band, 50.0);
  session->Decline();
  loop.Run(*session);
  EXPECT_EQ(session->Stage(), SessionStage::Done);
  EXPECT_FALSE(session->Outcome().Applied);
  ExpectOriginals();
}

TEST_F(SessionFixture, RestoreOldAfterApprovalPutsTheOldFactorsBack) {
  ASSERT_TRUE(Start().empty());
  loop.Run(*session);
  session->Approve();
  loop.Run(*session);
  ASSERT_EQ(session->Stage(), SessionStage::Done);
  EXPECT_NE(loop.Band, 50.0);
  session->RestoreOld();
  loop.Run(*session);
  EXPECT_EQ(session->Stage(), SessionStage::Done);
  EXPECT_FALSE(session->Outcome().Applied);
  ExpectOriginals();
}

TEST_F(SessionFixture, VerificationWorseThanStepOneIsSaidAndLeavesRestoreToTheUser) {
  plan.ApplyWithoutAsking = true;
  ASSERT_TRUE(Start().empty());
  loop.Run(*session);
  ASSERT_EQ(session->Stage(), SessionStage::Done);
  EXPECT_FALSE(session->Outcome().Worse);
  // Once more, from the old factors, with a load during the verification.
  loop.Band = 50.0;
  loop.Ki = 0.5;
  loop.Settle(300.0);
  ASSERT_TRUE(Start().empty());
  for (int i = 0; i < 1500 && session->Stage() != SessionStage::Step2; ++i) loop.Tick(*session);
  ASSERT_EQ(session->Stage(), SessionStage::Step2) << session->Waiting();
  loop.Disturb(150.0);  // a load arrives with the second step
  loop.Run(*session);
  ASSERT_EQ(session->Stage(), SessionStage::Done) << session->Waiting();
  EXPECT_TRUE(session->Outcome().Worse);
  EXPECT_NE(session->Outcome().Result.find("Worse than step 1"), std::string::npos);
  EXPECT_NE(loop.Band, 50.0);  // left to the user
  session->RestoreOld();
  loop.Run(*session);
  ExpectOriginals();
}

TEST_F(SessionFixture, OnlyOneSessionRunsAtOnce) {
  ASSERT_TRUE(Start().empty());
  auto second = MakeSession(loop);
  const auto refused = second->Start(loop.Input(), plan);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find("already running"), std::string::npos);
  session->Abort("test");
  loop.Run(*session);
}

// Each fault, at the stage it is set up for, ends with the originals back
// and the reason said.
struct AbortCase {
  const char* Name;
  std::function<void(ScriptedLoop&, TuningSession&, SessionPlan&)> Before;  // before Start
  bool Approve;           // go on to the second step
  double After;           // s into the stage before the fault
  std::function<void(ScriptedLoop&, TuningSession&)> Fault;
  std::function<void(ScriptedLoop&)> Heal;  // after a while, nullptr: never
  const char* Reason;
  bool OriginalsBack;
  bool Relay = false;  // a relay test instead of the step
  friend void PrintTo(const AbortCase& c, std::ostream* os) { *os << c.Name; }
};

class SessionAborts : public SessionFixture, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(SessionAborts, PutBackWhatItChanged) {
  const AbortCase& c = GetParam();
  if (c.Relay) PlanRelay();
  if (c.Before) c.Before(loop, *session, plan);
  ASSERT_TRUE(Start().empty());
  if (c.Approve) {
    loop.Run(*session);
    ASSERT_EQ(session->Stage(), SessionStage::Proposed);
    session->Approve();
    for (int i = 0; i < 5; ++i) loop.Tick(*session);
    ASSERT_EQ(session->Stage(), SessionStage::Step2);
  }
  for (double end = loop.Time + c.After; loop.Time < end && session->Running();) loop.Tick(*session);
  if (c.Fault) c.Fault(loop, *session);
  for (int i = 0; i < 30 && session->Running(); ++i) loop.Tick(*session);
  if (c.Heal) c.Heal(loop);
  loop.Run(*session, 200.0);
  ASSERT_EQ(session->Stage(), SessionStage::Stopped) << session->Waiting();
  EXPECT_NE(session->Outcome().Result.find(c.Reason), std::string::npos) << session->Outcome().Result;
  if (c.OriginalsBack) {
    ExpectOriginals();
    EXPECT_NE(session->Outcome().Result.find(c.Relay ? "original K, Ki, Kd and hysteresis are back"
                                                     : "original setpoint and factors are back"),
              std::string::npos);
    if (c.Relay) {
      for (const auto& w : loop.Wire) EXPECT_NE(w.What, "setpoint");
    }
  } else {
    EXPECT_NE(session->Outcome().Result.find("In the controller now:"), std::string::npos);
  }
}

const AbortCase kAborts[] = {
    {"ByTheUser", nullptr, false, 5.0, [](ScriptedLoop&, TuningSession& s) { s.Abort("Aborted by the user."); },
     nullptr, "Aborted by the user.", true},
    {"PvOutsideItsLimits", [](ScriptedLoop&, TuningSession&, SessionPlan& p) { p.PvHigh = 150.0; }, false, 10.0,
     [](ScriptedLoop& l, TuningSession&) { l.Disturb(60.0); }, nullptr, "left the limits", true},
    {"DeviceVanishesInTheSecondStep", nullptr, true, 5.0,
     [](ScriptedLoop& l, TuningSession&) { l.DevicePresent = false; },
     [](ScriptedLoop& l) { l.DevicePresent = true; }, "has not answered", true},
    {"ControllerRefusesTheStep",
     [](ScriptedLoop& l, TuningSession&, SessionPlan&) { l.WriteAnswer = ScriptedLoop::Answer::Refuse; }, false, 0.0,
     nullptr, [](ScriptedLoop& l) { l.WriteAnswer = ScriptedLoop::Answer::Ok; }, "refused", true},
    {"WriteTypedByHand", nullptr, false, 10.0, [](ScriptedLoop& l, TuningSession& s) { l.HandWrite(s, 7.0); },
     nullptr, "typed by hand", true},
    {"PortClosesMidStep", nullptr, false, 10.0, [](ScriptedLoop& l, TuningSession&) { l.PortOpen = false; }, nullptr,
     "setpoint 120", false},
    {"WriteBackGivenUpWhileTheDeviceIsGone", nullptr, true, 5.0,
     [](ScriptedLoop& l, TuningSession& s) {
       l.DevicePresent = false;
       for (int i = 0; i < 20; ++i) l.Tick(s);
       s.Abort("Given up by the user.");
     },
     nullptr, "Kp", false},
    {"OverTheLongestTime", [](ScriptedLoop&, TuningSession&, SessionPlan& p) { p.MaxTime = 30.0; }, false, 0.0,
     nullptr, nullptr, "longest time", true},
    // Times said in process seconds when the chart runs on another clock.
    {"OverTheLongestTimeOnASlowerChart",
     [](ScriptedLoop& l, TuningSession& s, SessionPlan& p) {
       l.TimeScale = 2.0;
       s.SetContext(l.Context());
       p.MaxTime = 15.0;
     },
     false, 0.0, nullptr, nullptr, "longest time (30 s (process))", true},
    {"DeviceSilentOnASlowerChart",
     [](ScriptedLoop& l, TuningSession& s, SessionPlan&) {
       l.TimeScale = 2.0;
       s.SetContext(l.Context());
     },
     false, 10.0, [](ScriptedLoop& l, TuningSession&) { l.DevicePresent = false; },
     [](ScriptedLoop& l) { l.DevicePresent = true; }, "has not answered for 12 s (process)", true},
    // The relay test: the same promises, K, Ki, Kd and the hysteresis put back.
    {"RelayByTheUser", nullptr, false, 40.0, [](ScriptedLoop&, TuningSession& s) { s.Abort("Aborted by the user."); },
     nullptr, "Aborted by the user.", true, true},
    {"RelayPvOutsideItsLimits", [](ScriptedLoop&, TuningSession&, SessionPlan& p) { p.PvHigh = 150.0; }, false, 30.0,
     [](ScriptedLoop& l, TuningSession&) { l.Disturb(60.0); }, nullptr, "left the limits", true, true},
    {"RelayDeviceVanishes", nullptr, false, 30.0, [](ScriptedLoop& l, TuningSession&) { l.DevicePresent = false; },
     [](ScriptedLoop& l) { l.DevicePresent = true; }, "has not answered", true, true},
    {"RelayHysteresisRefused",
     [](ScriptedLoop& l, TuningSession&, SessionPlan&) { l.WriteAnswer = ScriptedLoop::Answer::Refuse; }, false, 0.0,
     nullptr, [](ScriptedLoop& l) { l.WriteAnswer = ScriptedLoop::Answer::Ok; }, "refused", true, true},
    {"RelayKTypedByHand", nullptr, false, 30.0, [](ScriptedLoop& l, TuningSession& s) { l.HandWrite(s, 7.0); },
     nullptr, "typed by hand", true, true},
    {"RelayPortCloses", nullptr, false, 30.0, [](ScriptedLoop& l, TuningSession&) { l.PortOpen = false; }, nullptr,
     "Kp 0", false, true},
    {"RelayOverTheLongestTime", [](ScriptedLoop&, TuningSession&, SessionPlan& p) { p.MaxTime = 30.0; }, false, 0.0,
     nullptr, nullptr, "longest time", true, true},
    // A load the output cannot take back even at 0 %: PV never crosses back.
    {"RelayThatCannotSwingBack", nullptr, false, 8.0, [](ScriptedLoop& l, TuningSession&) { l.Disturb(120.0); },
     nullptr, "does not oscillate as it must", true, true},
};

INSTANTIATE_TEST_SUITE_P(TuningSession, SessionAborts, ::testing::ValuesIn(kAborts),
                         [](const auto& c) { return std::string(c.param.Name); });

// What keeps a session from starting; nothing is written then.
// A controller holding a gain and an integral time: the session writes and
// restores in those units, and its report names the form.
TEST_F(SessionFixture, WritesAndRestoresInTheControllersForm) {
  loop.Form = {ProportionalUnit::Gain, IntegralUnit::TimeSeconds, DerivativeUnit::Seconds, false, {}};
  loop.Band = 2.0;   // gain 2: band 50 %
  loop.Ki = 120.0;   // Ti 120 s: 0.5 repeats/min
  session = MakeSession(loop);
  plan.ApplyWithoutAsking = true;
  ASSERT_TRUE(Start().empty());
  loop.Run(*session);
  ASSERT_EQ(session->Stage(), SessionStage::Done) << session->Waiting();
  const SessionOutcome& o = session->Outcome();
  ASSERT_TRUE(o.Applied && o.Proposed && o.Step1 && o.Step2);
  EXPECT_EQ(loop.Band, o.Proposed->HeldInForm.K);
  EXPECT_EQ(loop.Ki, o.Proposed->HeldInForm.Ki);
  EXPECT_NEAR(loop.Band, 100.0 / o.Proposed->Held.Band, 1e-9);
  EXPECT_LT(o.Step2->Iae, 0.7 * o.Step1->Iae);
  std::string report;
  for (const std::string& line : ReportLines(o, session->Context())) report += line + "\n";
  EXPECT_NE(report.find("Factors before: Kp (gain) 2, Ki (integral time) 120 s, Kd 0 s."), std::string::npos) << report;
  session->RestoreOld();
  loop.Run(*session);
  EXPECT_EQ(loop.Band, 2.0);
  EXPECT_EQ(loop.Ki, 120.0);
  EXPECT_EQ(loop.SP, 100.0);
}

struct NotReadyCase {
  const char* Name;
  std::function<void(ScriptedLoop&, SessionPlan&, ReadinessInput&)> Change;
  const char* Missing;
  double PvOffset = 0.0;  // PV away from the setpoint at the start of the record
  friend void PrintTo(const NotReadyCase& c, std::ostream* os) { *os << c.Name; }
};

class SessionRefused : public ::testing::TestWithParam<NotReadyCase> {};

TEST_P(SessionRefused, SaysWhatIsMissing) {
  const NotReadyCase& c = GetParam();
  ScriptedLoop loop(40.0, c.PvOffset);
  loop.Settle(60.0);
  SessionPlan plan;
  plan.Step = 20.0;
  plan.PvLow = 0.0;
  plan.PvHigh = 400.0;
  ReadinessInput input = loop.Input();
  if (c.Change) c.Change(loop, plan, input);
  bool wrote = false;
  TuningSession session(loop.Context(), [&] { return loop.Time; }, [&](ValueBox, double) { wrote = true; });
  const auto missing = session.Start(input, plan);
  ASSERT_FALSE(missing.empty());
  std::string all;
  for (const auto& m : missing) all += m + "\n";
  EXPECT_NE(all.find(c.Missing), std::string::npos) << all;
  EXPECT_FALSE(wrote);
  EXPECT_EQ(session.Stage(), SessionStage::Idle);
}

const NotReadyCase kNotReady[] = {
    {"LoopNotAtRest", nullptr, "not at rest", 30.0},
    {"LoopRisingFromBelow", nullptr, "not at rest", -30.0},
    {"PortClosed", [](ScriptedLoop&, SessionPlan&, ReadinessInput& i) { i.PortOpen = false; }, "not open"},
    {"PollsFailing", [](ScriptedLoop&, SessionPlan&, ReadinessInput& i) { i.PollsClean = false; }, "errors"},
    {"NoSpan", [](ScriptedLoop&, SessionPlan&, ReadinessInput& i) { i.SpanEntered = false; }, "span"},
    {"StepTheOutputCannotFollow", [](ScriptedLoop&, SessionPlan& p, ReadinessInput&) { p.Step = 150.0; },
     "onto a limit"},
    // From 40 %, a band of 50 % leaves 70 units down (to 5 %), 110 up.
    {"StepDownTheOutputCannotFollow", [](ScriptedLoop&, SessionPlan& p, ReadinessInput&) { p.Step = -90.0; },
     "onto a limit"},
    {"TooLittleRecord", [](ScriptedLoop& l, SessionPlan&, ReadinessInput& i) { i.Samples = {}; (void)l; },
     "not been watched long enough"},
    {"LimitsWithoutTheTarget", [](ScriptedLoop&, SessionPlan& p, ReadinessInput&) { p.PvHigh = 110.0; },
     "PV limits"},
    {"RelayWithoutAHysteresisRegister",
     [](ScriptedLoop& l, SessionPlan& p, ReadinessInput&) { l.HysCount = 0.0; p.Kind = SessionKind::Relay; p.Hysteresis = 1.0; },
     "names no hysteresis register"},
    {"RelayWithoutAHysteresis", [](ScriptedLoop&, SessionPlan& p, ReadinessInput&) { p.Kind = SessionKind::Relay; },
     "hysteresis above 0"},
    {"RelayLimitsWithoutTheSwitchingLevels",
     [](ScriptedLoop&, SessionPlan& p, ReadinessInput&) { p.Kind = SessionKind::Relay; p.Hysteresis = 5.0; p.PvHigh = 103.0; },
     "the setpoint \u00b1 the hysteresis (95 to 105)"},
    {"UnitTheTuningCannotUse", [](ScriptedLoop& l, SessionPlan&, ReadinessInput&) { l.Form.Unusable = "Ki unit \"rep/h\""; },
     "Ki unit \"rep/h\" is not one Korvane can convert"},
};

INSTANTIATE_TEST_SUITE_P(TuningSession, SessionRefused, ::testing::ValuesIn(kNotReady),
                         [](const auto& c) { return std::string(c.param.Name); });

TEST(TuningSessionPlan, DefaultStepKeepsTheOutputInsideItsRangeAndTheLimitsAreTheSpan) {
  SessionContext context;
  const SessionPlan plan = DefaultPlan(context, {100.0, 100.0, 80.0, {20.0, 1.0, 0.0}});
  // Band 20 % of 400: 1.25 % per unit; from 80 % down to 5 % is 60 units, 0.8 of it 48; a tenth of the span 40.
  EXPECT_EQ(plan.Step, -40.0);
  EXPECT_EQ(plan.PvLow, 0.0);
  EXPECT_EQ(plan.PvHigh, 400.0);
  const SessionPlan narrow = DefaultPlan(context, {100.0, 100.0, 20.0, {5.0, 1.0, 0.0}});
  EXPECT_EQ(narrow.Step, 12.0);  // 5 % per unit, 75 % of room: 15 units, 0.8 of it
  // Near the span's top: half the setpoint's room, 10 of the 20 units left.
  const SessionPlan top = DefaultPlan(context, {380.0, 380.0, 20.0, {20.0, 1.0, 0.0}});
  EXPECT_EQ(top.Step, 10.0);
}

// The predicted offset in the approval: a real one as it is, a rest under a
// thousandth of the step (the simulation's rounding) as 0.
TEST(TuningSessionApproval, SaysThePredictedOffsetAndNotItsRounding) {
  const std::vector<std::pair<double, const char*>> rows = {{0.5, ", offset 0.5,"}, {1e-6, ", offset 0,"}};
  for (const auto& [error, said] : rows) {
    SCOPED_TRACE(said);
    SessionOutcome o;
    o.Model = Identification{};
    o.Model->Ok = true;
    o.Model->Model = {2.0, 30.0, 4.0, 20.0, 0.99, 1.0};
    o.Proposed = Proposal{};
    o.VerifyStep = 10.0;
    o.Predicted = StepResponseFigures{};
    o.Predicted->SteadyStateError = error;
    std::string approval;
    for (const std::string& line : ApprovalLines(o, SessionContext{})) approval += line + "\n";
    EXPECT_NE(approval.find(said), std::string::npos) << approval;
  }
}

// The longest time offered, from a record of 400 s before the session: PV
// away from the setpoint from an upset until it came into the band.
struct LongestCase {
  const char* Name;
  double UpsetAt, SettledAt;  // s; NaN: at rest throughout
  double Ki;                  // repeats/min
  double Scale;               // process s per chart s
  double MaxTime;             // chart s
  const char* From;
  friend void PrintTo(const LongestCase& c, std::ostream* os) { *os << c.Name; }
};

class LongestTimeOffered : public ::testing::TestWithParam<LongestCase> {};

TEST_P(LongestTimeOffered, ComesFromTheRecordAndSaysSo) {
  const LongestCase& c = GetParam();
  std::vector<TuningSample> record;
  for (double t = 0.0; t <= 400.0; t += 1.0) {
    const bool upset = t >= c.UpsetAt;
    record.push_back({t, upset ? 120.0 : 100.0, !upset ? 100.0 : t < c.SettledAt ? 110.0 : 120.0, 50.0});
  }
  SessionContext context;
  context.TimeScale = c.Scale;
  const SessionPlan plan = DefaultPlan(context, {record.back().SP, record.back().PV, 50.0, {20.0, c.Ki, 0.0}}, record);
  EXPECT_DOUBLE_EQ(plan.MaxTime, c.MaxTime);
  EXPECT_NE(plan.MaxTimeSource.find(c.From), std::string::npos) << plan.MaxTimeSource;
}

const LongestCase kLongest[] = {
    {"FourTimesTheLastSettling", 100.0, 300.0, 2.0, 1.0, 800.0, "last settling in the record (200 s)"},
    {"FromColdTheRecordsStartCounts", 0.0, 250.0, 2.0, 1.0, 1000.0, "last settling in the record (250 s)"},
    {"AtRestThroughoutFromTheIntegralTime", NAN, NAN, 0.5, 1.0, 2400.0, "twenty integral times"},
    {"QuickLoopGetsTheShortest", 100.0, 120.0, 2.0, 1.0, 600.0, "shortest offered"},
    {"OnASlowerChartInProcessSeconds", 100.0, 300.0, 2.0, 2.0, 800.0, "(400 s (process))"},
};

INSTANTIATE_TEST_SUITE_P(TuningSession, LongestTimeOffered, ::testing::ValuesIn(kLongest),
                         [](const auto& c) { return std::string(c.param.Name); });

// The same loop (band 20 %, Ki 0.25 repeats/min, Td 10 s) held in another
// form: the plan offers the same step and the same longest time.
struct FormRow {
  const char* Name;
  PidForm Form;
};

class PlanInEveryForm : public ::testing::TestWithParam<FormRow> {};

TEST_P(PlanInEveryForm, OffersWhatTheIdealFiguresGive) {
  std::vector<TuningSample> record;
  for (double t = 0.0; t <= 400.0; t += 1.0) record.push_back({t, 100.0, 100.0, 80.0});
  const ControllerFactors ideal{20.0, 0.25, 10.0};
  SessionContext context;
  const SessionPlan expected = DefaultPlan(context, {100.0, 100.0, 80.0, {ideal.Band, ideal.Ki, ideal.Kd}}, record);
  FormFactors held;
  std::string refusal;
  ASSERT_TRUE(ToForm(ideal, GetParam().Form, context.Span(), held, refusal)) << refusal;
  context.Registers.Form = GetParam().Form;
  const SessionPlan plan = DefaultPlan(context, {100.0, 100.0, 80.0, held}, record);
  EXPECT_NEAR(plan.Step, expected.Step, 1e-9);
  EXPECT_NEAR(plan.MaxTime, expected.MaxTime, 1e-9);  // twenty integral times of 240 s
  EXPECT_EQ(plan.MaxTimeSource, expected.MaxTimeSource);
}

constexpr auto kPb = ProportionalUnit::BandPercent, kPv = ProportionalUnit::BandUnits, kGain = ProportionalUnit::Gain;
constexpr auto kS = DerivativeUnit::Seconds, kMin = DerivativeUnit::Minutes;

INSTANTIATE_TEST_SUITE_P(
    TuningSession, PlanInEveryForm,
    ::testing::Values(FormRow{"BandRatePerMinute", {kPb, IntegralUnit::RepeatsPerMinute, kS, false, {}}},
                      FormRow{"UnitsRatePerSecondMinutes", {kPv, IntegralUnit::RepeatsPerSecond, kMin, false, {}}},
                      FormRow{"GainTimeSeconds", {kGain, IntegralUnit::TimeSeconds, kS, false, {}}},
                      FormRow{"GainTimeMinutes", {kGain, IntegralUnit::TimeMinutes, kMin, false, {}}},
                      FormRow{"SeriesBandTimeSeconds", {kPb, IntegralUnit::TimeSeconds, kS, true, {}}}),
    [](const auto& c) { return std::string(c.param.Name); });

}  // namespace
}  // namespace korvane
