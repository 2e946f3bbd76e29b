// The tuning session's stages and every way out of it, on a scripted loop
// (no simulator, no process time).

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "ScriptedLoop.h"
#include "tuning/SessionReport.h"

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
  }
};

TEST_F(SessionFixture, RunsThroughWithoutAskingAndLeavesBetterFactors) {
  plan.ApplyWithoutAsking = true;
  ASSERT_TRUE(Start().empty());
  loop.Run(*session);
  ASSERT_EQ(session->Stage(), SessionStage::Done) << session->Waiting();
  const SessionOutcome& o = session->Outcome();
  ASSERT_TRUE(o.Step1 && o.Step2 && o.Predicted && o.Proposed);
  EXPECT_TRUE(o.Applied);
  EXPECT_FALSE(o.Worse);
  EXPECT_TRUE(o.StopReason.empty());
  EXPECT_EQ(loop.SP, 100.0);
  EXPECT_EQ(loop.Band, o.Proposed->Held.Band);
  EXPECT_EQ(loop.Ki, o.Proposed->Held.Ki);
  EXPECT_LT(o.Step2->Iae, 0.7 * o.Step1->Iae);
  // The prediction holds the verification to within a third.
  EXPECT_NEAR(o.Step2->Iae, o.Predicted->Iae, 0.35 * o.Predicted->Iae);
  EXPECT_NEAR(o.Model->Model.Gain, 2.0, 0.2);
}

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
  friend void PrintTo(const AbortCase& c, std::ostream* os) { *os << c.Name; }
};

class SessionAborts : public SessionFixture, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(SessionAborts, PutBackWhatItChanged) {
  const AbortCase& c = GetParam();
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
    EXPECT_NE(session->Outcome().Result.find("original setpoint and factors are back"), std::string::npos);
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
  friend void PrintTo(const NotReadyCase& c, std::ostream* os) { *os << c.Name; }
};

class SessionRefused : public ::testing::TestWithParam<NotReadyCase> {};

TEST_P(SessionRefused, SaysWhatIsMissing) {
  const NotReadyCase& c = GetParam();
  ScriptedLoop loop(40.0, c.Name == std::string("LoopNotAtRest") ? 30.0 : 0.0);
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
    {"LoopNotAtRest", nullptr, "not at rest"},
    {"PortClosed", [](ScriptedLoop&, SessionPlan&, ReadinessInput& i) { i.PortOpen = false; }, "not open"},
    {"PollsFailing", [](ScriptedLoop&, SessionPlan&, ReadinessInput& i) { i.PollsClean = false; }, "errors"},
    {"NoSpan", [](ScriptedLoop&, SessionPlan&, ReadinessInput& i) { i.SpanEntered = false; }, "span"},
    {"StepTheOutputCannotFollow", [](ScriptedLoop&, SessionPlan& p, ReadinessInput&) { p.Step = 150.0; },
     "onto a limit"},
    {"TooLittleRecord", [](ScriptedLoop& l, SessionPlan&, ReadinessInput& i) { i.Samples = {}; (void)l; },
     "not been watched long enough"},
    {"LimitsWithoutTheTarget", [](ScriptedLoop&, SessionPlan& p, ReadinessInput&) { p.PvHigh = 110.0; },
     "PV limits"},
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
}

}  // namespace
}  // namespace korvane
