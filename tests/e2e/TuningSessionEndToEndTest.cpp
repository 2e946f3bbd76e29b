// The one-button tuning session against the simulator through the poll
// core: the session driven by the real poll cycle's writes and replies, its
// clock the simulator's process time, and what the controller holds at the
// end read from the simulator itself ("show"), not from Korvane's values.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include <QFileInfo>

#include "KorvaneHarness.h"
#include "app/tuning/SessionReportPdf.h"
#include "session/TuningSession.h"
#include "tools/SimProcess.h"

namespace korvane::sim::test {
namespace {

using namespace std::chrono_literals;

constexpr double kSpeed = 10.0;
constexpr auto kTick = 200ms;  // a poll every 2 process seconds

// The simulator's registers as its "show" line tells them.
struct SimState {
  double Sp = 0, Pv = 0, Pb = 0, Ki = 0, Kd = 0;
};

class SessionOnSim : public ::testing::Test {
 protected:
  // A process of gain 1.5, tau 40 s, theta 6 s at rest at 100 (output about
  // 53 %) under band `pb` and Ki `ki`, polled until Korvane has seen the rest.
  void StartSim(const char* pb, const char* ki, double settle = 260.0) {
    sim_.emplace(home_.Path(), std::vector<std::string>{
        "--noise", "0.2", "--seed", "3", "--ambient", "20", "--setpoint", "100", "--span-low", "0",
        "--span-high", "400", "--speed", std::to_string(kSpeed), "--gain", "1.5", "--tau", "40", "--dead-time",
        "6", "--pb", pb, "--ki", ki, "--kd", "0", "--start-now"});
    ASSERT_TRUE(sim_->WaitReady());
    k_.emplace(korvane::ComNameMap(PortsDir(home_)));
    start_ = std::chrono::steady_clock::now();
    SessionContext c;
    c.Poll = 2.0;
    c.PvResolution = 1.0;
    session_.emplace(
        c, [this] { return ProcessTime(); },
        [this](ValueBox box, double value) {
          char text[32];
          std::snprintf(text, sizeof text, "%.6g", value);
          k_->cycle.WriteTextClick(box, text);
        });
    k_->cycle.AddWriteObserver(&*session_);
    k_->cycle.AddResultObserver(&*session_);
    k_->Connect();
    ASSERT_TRUE(k_->TickUntil(" Data OK", 10, kTick));
    while (ProcessTime() < settle) Poll();
  }
  void TearDown() override {
    if (k_ && session_) {
      k_->cycle.RemoveWriteObserver(&*session_);
      k_->cycle.RemoveResultObserver(&*session_);
    }
  }
  double ProcessTime() const {
    return kSpeed * std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }
  // One poll; a good one adds its sample, stamped when the request went out.
  void Poll() {
    const double sent = ProcessTime();
    k_->Tick(kTick);
    if (Korvane::EndsWith(k_->view.Status(), "Poll " + std::to_string(k_->cycle.PollCount()) + " Data OK")) {
      const ControllerValues& v = k_->cycle.Values();
      samples_.push_back({sent, v.SP, v.PV, v.Out});
      session_->Sample(samples_.back());
    }
    session_->Tick(true);
  }
  ReadinessInput Input() {
    const ControllerValues& v = k_->cycle.Values();
    return {true, session_->PollsClean(), true, {v.SP, v.PV, v.Out, {v.Kp, v.Ki, v.Kd}}, samples_};
  }
  // Polls until the session stops running (or waits for an answer).
  void Run(double limit, const std::function<void()>& each = nullptr) {
    for (const double end = ProcessTime() + limit; ProcessTime() < end && session_->Running() &&
                                                   session_->Stage() != SessionStage::Proposed;) {
      Poll();
      if (each) each();
    }
  }
  // Polls until the session reaches `stage` or stops running, at most
  // `limit` process seconds: how many polls fit in a span depends on the
  // machine's load, the stage does not.
  void RunUntil(SessionStage stage, double limit) {
    for (const double end = ProcessTime() + limit;
         ProcessTime() < end && session_->Running() && session_->Stage() != stage;) {
      Poll();
    }
  }
  SimState Show() {
    EXPECT_TRUE(sim_->Command("show", "t="));
    SimState s;
    const std::string& line = sim_->Lines().back();
    std::sscanf(line.c_str() + line.find("sp="), "sp=%lf pv=%lf", &s.Sp, &s.Pv);
    std::sscanf(line.c_str() + line.find("pb="), "pb=%lf%%", &s.Pb);
    std::sscanf(line.c_str() + line.find("ki="), "ki=%lf", &s.Ki);
    std::sscanf(line.c_str() + line.find("kd="), "kd=%lf", &s.Kd);
    return s;
  }
  void ExpectOriginals(const char* pb, const char* ki) {
    const SimState s = Show();
    EXPECT_EQ(s.Sp, 100.0);
    EXPECT_EQ(s.Pb, std::stod(pb));
    EXPECT_EQ(s.Ki, std::stod(ki));
    EXPECT_EQ(s.Kd, 0.0);
  }

  TempDir home_;
  std::optional<SimProcess> sim_;
  std::optional<Korvane> k_;
  std::optional<TuningSession> session_;
  std::vector<TuningSample> samples_;
  std::chrono::steady_clock::time_point start_;
};

SessionPlan Plan(double step, bool applyWithoutAsking = true) {
  SessionPlan plan;
  plan.Step = step;
  plan.PvLow = 0.0;
  plan.PvHigh = 400.0;
  plan.MaxTime = 1200.0;
  plan.ApplyWithoutAsking = applyWithoutAsking;
  return plan;
}

void Print(const char* name, const StepResponseFigures& f) {
  std::printf("%s: step %g rise %.3g s overshoot %.3g %% settling %.3g s IAE %.4g peak output %.3g %%\n", name, f.Step,
              f.RiseTime.value_or(NAN), f.Overshoot.value_or(NAN), f.SettlingTime.value_or(NAN), f.Iae,
              f.PeakOutput.value_or(NAN));
}

// A sluggish start (band 20 %, 1 repeat/min) tuned in one go.
TEST_F(SessionOnSim, WholeSessionLeavesTheSetpointBackAndBetterFactors) {
  StartSim("20", "1", 260.0);
  const double pressed = ProcessTime();
  const auto pressedAt = std::chrono::steady_clock::now();
  const auto missing = session_->Start(Input(), Plan(20.0));
  ASSERT_TRUE(missing.empty()) << missing.front();
  Run(1500.0);
  ASSERT_EQ(session_->Stage(), SessionStage::Done) << session_->Waiting();
  const SessionOutcome& o = session_->Outcome();
  ASSERT_TRUE(o.Step1 && o.Step2 && o.Proposed && o.Predicted);
  Print("before", *o.Step1);
  Print("after", *o.Step2);
  Print("predicted", *o.Predicted);
  const FopdtModel& m = o.Model->Model;
  std::printf("model K %.3g tau %.3g theta %.3g R2 %.3f; band %g -> %g %%, Ki %g -> %g; session %.0f process s\n",
              m.Gain, m.TimeConstant, m.DeadTime, m.Fit, o.Before.Factors.K, o.Proposed->Held.Band,
              o.Before.Factors.Ki, o.Proposed->Held.Ki, ProcessTime() - pressed);
  EXPECT_TRUE(o.Applied);
  EXPECT_LT(o.Step2->Iae, o.Step1->Iae);
  const SimState s = Show();
  EXPECT_EQ(s.Sp, 100.0);
  EXPECT_NEAR(s.Pb, o.Proposed->Held.Band, 0.05);
  EXPECT_NEAR(s.Ki, o.Proposed->Held.Ki, 0.005);

  // The commissioning report: PDF, figures as CSV, plots as PNG.
  ReportContent report{{"2026-12-08 10:45", "COM1, 9600 8N1 RTU, address 1", "Novus N1100"}, o,
                       session_->Context(), session_->Recorder().Samples(), session_->Recorder().Journal()};
  const char* keep = std::getenv("KORVANE_REPORT_DIR");
  const QString base = QString::fromStdString((keep ? std::string(keep) : home_.Path()) + "/tuning-report");
  QString error;
  const QString pdf = SaveReportFiles(base, report, &error);
  std::printf("from the button to the report: %.1f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - pressedAt).count());
  ASSERT_FALSE(pdf.isEmpty()) << error.toStdString();
  EXPECT_GT(QFileInfo(pdf).size(), 5000);
  EXPECT_GT(QFileInfo(base + "-plots.png").size(), 5000);
  EXPECT_EQ(FiguresCsv(o, 1.0).substr(0, 7), "figure,");
}

TEST_F(SessionOnSim, PvOutsideItsLimitsPutsTheOriginalsBackInTheController) {
  StartSim("20", "1");
  SessionPlan plan = Plan(20.0, false);
  plan.PvHigh = 130.0;
  ASSERT_TRUE(session_->Start(Input(), plan).empty());
  Run(600.0);
  ASSERT_EQ(session_->Stage(), SessionStage::Proposed) << session_->Waiting();
  session_->Approve();
  // Step 2 under way, the new factors written (one per poll, then the setpoint).
  RunUntil(SessionStage::Step2, 60.0);
  ASSERT_EQ(session_->Stage(), SessionStage::Step2);
  ASSERT_TRUE(sim_->Command("sp 250", "sp"));  // moved at the panel: PV heads for 250
  Run(300.0);
  ASSERT_EQ(session_->Stage(), SessionStage::Stopped) << session_->Waiting();
  EXPECT_NE(session_->Outcome().Result.find("left the limits"), std::string::npos) << session_->Outcome().Result;
  ExpectOriginals("20", "1");
}

TEST_F(SessionOnSim, DeviceThatStopsAnsweringGetsTheOriginalsBackWhenItReturns) {
  StartSim("20", "1");
  ASSERT_TRUE(session_->Start(Input(), Plan(20.0, false)).empty());
  Run(600.0);
  ASSERT_EQ(session_->Stage(), SessionStage::Proposed);
  session_->Approve();
  RunUntil(SessionStage::Step2, 60.0);
  ASSERT_EQ(session_->Stage(), SessionStage::Step2);
  ASSERT_TRUE(sim_->Command("fault silent", "fault"));
  RunUntil(SessionStage::Restoring, 120.0);  // five failed polls, at least 3 process s
  ASSERT_EQ(session_->Stage(), SessionStage::Restoring);
  ASSERT_TRUE(sim_->Command("fault none", "fault"));
  Run(100.0);
  ASSERT_EQ(session_->Stage(), SessionStage::Stopped) << session_->Waiting();
  EXPECT_NE(session_->Outcome().Result.find("has not answered"), std::string::npos) << session_->Outcome().Result;
  ExpectOriginals("20", "1");
}

TEST_F(SessionOnSim, RefusedWhileTheLoopIsNotAtRest) {
  StartSim("20", "1", 60.0);  // still rising from cold
  const auto missing = session_->Start(Input(), Plan(20.0));
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_NE(missing[0].find("not at rest"), std::string::npos) << missing[0];
  EXPECT_EQ(session_->Stage(), SessionStage::Idle);
  EXPECT_EQ(Show().Sp, 100.0);
}

}  // namespace
}  // namespace korvane::sim::test
