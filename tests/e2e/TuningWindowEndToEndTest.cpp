// The tuning loop closed once through the real window against the
// simulator, real 1 s polls with the process running twice as fast. A badly
// tuned loop (band 1 %, 20 repeats/min) cycles about its setpoint and takes
// a setpoint step of 20 units, measured by the step figures over a window of
// 10 tau. That step came from a cycle, not from rest, and Identify says so:
// the process is off its balance when such a step comes, and a fit of it
// would be off by up to half (the loop's phase at the step decides how far).
// The loop is calmed by hand (band 20 %, 1 repeat/min); once at rest it
// takes a step of 20 units back, which the window identifies, and its
// proposal is written. The bad step made again from rest then overshoots by
// under 10 % with an IAE at least 3 times lower, over the same window. A
// large step then drives the output to its limit, and the window says so.
// Every wait is for a state of the loop (cycling, at rest, the window of the
// figures covered), not for a span of time: how the chart clock, the polls
// and the simulator's process time line up varies from run to run.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/config/ConfigForm.h"
#include "app/config/ConfigFormLayout.h"
#include "app/main/MainForm.h"
#include "app/tuning/TuningForm.h"
#include "app/tuning/TuningOverlay.h"
#include "identify/FopdtFit.h"
#include "identify/StepFigures.h"
#include "plot/ChartHistory.h"
#include "support/ScopedEnv.h"
#include "tools/SimProcess.h"

namespace korvane::sim::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr double kSpeed = 2.0;                 // one 1 s poll is 2 s of process time
constexpr double kWindow = 10 * 45.0 / kSpeed;  // 10 tau, in chart seconds
constexpr double kRest = 22.0;                  // chart seconds of rest before a step Identify reads

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (!pred()) {
    if (Clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(5ms);
  }
  return true;
}
void PumpFor(std::chrono::milliseconds time) { WaitUntil([] { return false; }, time); }

class TuningWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.emplace("XDG_CONFIG_HOME", home.Path());
    // A little noise: PV is a whole number, so the tuned step's overshoot is
    // counted in steps of 5 %, and a noise spike of half a unit at the peak
    // would turn its true ~5 % into 10 %.
    sim = std::make_unique<SimProcess>(
        home.Path(), std::vector<std::string>{"--com", "COM3", "--gain", "2", "--tau", "45", "--dead-time", "5",
                                              "--ambient", "20", "--setpoint", "100", "--pb", "1", "--ki", "20",
                                              "--kd", "0", "--noise", "0.1", "--seed", "1", "--speed", "2",
                                              "--span-low", "0", "--span-high", "400"});
    ASSERT_TRUE(sim->WaitReady());
    form = std::make_unique<TMainForm>();
    form->show();
    form->Config1Click();
    WaitUntil([&] { return form->ConfigForm().isActiveWindow(); }, 150ms);
    PumpFor(20ms);
    const ConfigFormWidgets& d = form->ConfigForm().Widgets();
    d.ComboPort->setCurrentIndex(d.ComboPort->findText("3"));
    if (!d.ChkPort->isChecked()) d.ChkPort->click();
    QTest::mouseClick(d.CmdExit, Qt::LeftButton);
    ASSERT_TRUE(form->Ports().PortActive());
    tuning = &form->Tuning();
    tuning->ShowForward();
    form->Widgets().ChkAuto->setChecked(true);
    form->move(0, 0);
    tuning->move(form->frameGeometry().right() + 10, 0);
  }
  void TearDown() override {
    form.reset();
    sim.reset();
  }

  template <class T>
  T* Find(const char* name) {
    return tuning->findChild<T*>(name);
  }
  // A value written from the main window as an operator does (Update
  // Values on Poll unticked while typing), answered by the controller;
  // returns the chart time of the write.
  double Write(QLineEdit* box, QPushButton* button, const char* value) {
    const MainFormWidgets& w = form->Widgets();
    const auto& journal = tuning->Recorder().Journal().Entries();
    const std::size_t entries = journal.size();
    w.ChkUpdate->setChecked(false);
    box->setText(value);
    button->click();
    EXPECT_TRUE(WaitUntil([&] { return journal.size() > entries && journal.back().Result != "sent"; }, 10s));
    w.ChkUpdate->setChecked(true);
    EXPECT_EQ(journal.back().Result, "Write -  Data OK") << journal.back().What;
    return journal.back().Time;
  }
  double WriteSetpoint(const char* value) { return Write(form->Widgets().TxtSetPt, form->Widgets().SPWrite, value); }
  // The figures of the step at `at` over the chart window that follows it.
  StepResponseFigures Measure(double at, double from, double to) {
    StepFigures figures(at, from, to, {0.1});
    form->History().ForEachOldestFirst([&](const ChartPoint& p) {
      if (p.Time <= at + kWindow) figures.Add({p.Time, p.Setpoint, p.PV, p.Output});
    });
    return figures.Figures();
  }
  static void Print(const char* what, const StepResponseFigures& f) {
    auto o = [](const std::optional<double>& v) { return v ? *v : -1.0; };
    std::printf("%s: rise %.1f s, overshoot %.1f %%, settling %.1f s, IAE %.0f, peak out %.1f %% (chart s)\n", what,
                o(f.RiseTime), o(f.Overshoot), o(f.SettlingTime), f.Iae, o(f.PeakOutput));
  }
  // The chart has recorded the figures' window after the step at `at`.
  bool WindowCovered(double at) { return form->History().ChartClock() > at + kWindow + 1.0; }
  // How often PV went from below `sp` to at or above it: the cold start's
  // rise, then once per cycle.
  int UpCrossings(double sp) {
    int crossings = 0;
    std::optional<bool> below;
    form->History().ForEachOldestFirst([&](const ChartPoint& p) {
      if (below && *below && p.PV >= sp) ++crossings;
      below = p.PV < sp;
    });
    return crossings;
  }
  // At rest at `sp`: over the latest kRest chart seconds (the rest Identify
  // reads before a step, and a poll more) PV stayed within two counts of the
  // setpoint with the output off its limits, and the chart has samples from
  // all of that span.
  bool AtRest(double sp) {
    const double from = form->History().ChartClock() - kRest;
    int samples = 0;
    bool older = false, calm = true;
    form->History().ForEachOldestFirst([&](const ChartPoint& p) {
      if (p.Time < from) {
        older = true;
        return;
      }
      ++samples;
      calm = calm && p.Setpoint == sp && std::abs(p.PV - sp) <= 2.0 && p.Output > 0.5 && p.Output < 99.5;
    });
    return older && calm && samples >= kRest / 2;
  }

  TempDir home;
  std::optional<korvane::test::ScopedEnv> env_;
  std::unique_ptr<SimProcess> sim;
  std::unique_ptr<TMainForm> form;
  TuningForm* tuning = nullptr;
};

TEST_F(TuningWindow, OneAssistantRoundTurnsALimitCycleIntoACalmStep) {
  const MainFormWidgets& w = form->Widgets();
  Find<QLineEdit>("TxtTimeScale")->setText("2");
  emit Find<QLineEdit>("TxtTimeScale")->editingFinished();
  Find<QLineEdit>("TxtTcRatio")->setText("2");  // the more robust choice: PV counts in whole units

  // The cold start, then the cycle: PV crosses the setpoint upwards again.
  ASSERT_TRUE(WaitUntil([&] { return UpCrossings(100) >= 3; }, 300s)) << "no cycle about 100";
  const double bad = WriteSetpoint("120");
  ASSERT_TRUE(WaitUntil([&] { return WindowCovered(bad); }, 900s));
  const StepResponseFigures before = Measure(bad, 100, 120);
  Print("bad tuning, 100 -> 120", before);

  // A step from a cycle: refused, the loop was not at rest.
  Find<QPushButton>("CmdIdentify")->click();
  ASSERT_TRUE(tuning->Model().has_value());
  EXPECT_FALSE(tuning->Model()->Ok);
  EXPECT_NE(tuning->Model()->Refusal.find("not at rest"), std::string::npos) << tuning->Model()->Refusal;
  std::printf("identify from the cycle: %s\n", tuning->Model()->Refusal.c_str());

  // Calmed by hand with a wider band and a slower integral; at rest, a step
  // the window identifies.
  Write(w.TxtK, w.KWrite, "20");
  Write(w.TxtKi, w.KiWrite, "1");
  ASSERT_TRUE(WaitUntil([&] { return AtRest(120); }, 600s)) << "the calmed loop did not come to rest at 120";
  WriteSetpoint("100");
  ASSERT_TRUE(WaitUntil([&] { return AtRest(100); }, 600s)) << "the calmed loop did not come to rest at 100";
  Find<QPushButton>("CmdIdentify")->click();
  ASSERT_TRUE(tuning->Model() && tuning->Model()->Ok) << (tuning->Model() ? tuning->Model()->Refusal : "");
  const FopdtModel m = InProcessTime(tuning->Model()->Model, kSpeed);
  std::printf("identified K %.3f, tau %.1f s, theta %.1f s (process time), R2 %.3f\n", m.Gain, m.TimeConstant,
              m.DeadTime, m.Fit);
  // From rest the fit finds the simulated process (K 2, tau 45 s, theta 5 s).
  EXPECT_NEAR(m.Gain, 2.0, 0.2);
  EXPECT_NEAR(m.TimeConstant, 45.0, 9.0);
  ASSERT_TRUE(tuning->Proposed() && tuning->Proposed()->Ok) << tuning->Proposed()->Refusal;
  const ControllerFactors proposed = tuning->Proposed()->Factors;
  std::printf("proposed band %.2f %%, Ki %.3f repeats/min, Kd %.1f s\n", proposed.Band, proposed.Ki, proposed.Kd);
  EXPECT_GT(tuning->Overlay().Predicted()->count(), 100);

  const auto& journal = tuning->Recorder().Journal().Entries();
  const std::size_t written = journal.size();
  Find<QPushButton>("CmdApply")->click();
  ASSERT_TRUE(WaitUntil([&] { return journal.size() == written + 3 && journal.back().Result != "sent"; }, 10s));
  for (std::size_t i = written; i < written + 3; ++i) EXPECT_EQ(journal[i].Result, "Write -  Data OK") << journal[i].What;
  EXPECT_LT(journal[written + 1].Time - journal[written].Time, 1.6);  // one write per 1 s tick
  ASSERT_TRUE(WaitUntil([&] { return std::abs(form->Poll().Values().Kp - proposed.Band) < 0.1; }, 5s));

  // The bad step again, from rest under the proposal.
  ASSERT_TRUE(WaitUntil([&] { return AtRest(100); }, 600s));
  const double good = WriteSetpoint("120");
  ASSERT_TRUE(WaitUntil([&] { return WindowCovered(good); }, 900s));
  const StepResponseFigures after = Measure(good, 100, 120);
  Print("proposed tuning, 100 -> 120", after);
  // For a look at the window (run it on a display): the step with its prediction.
  if (const char* hold = std::getenv("KORVANE_HOLD_SECONDS")) PumpFor(std::chrono::seconds(std::atoi(hold)));
  ASSERT_TRUE(after.Overshoot.has_value());
  EXPECT_LT(*after.Overshoot, 10.0);
  EXPECT_LT(after.Iae * 3, before.Iae);

  // A step the output cannot follow: the window says so and names a smaller one.
  EXPECT_EQ(tuning->AdviceText(), "");
  WriteSetpoint("300");
  EXPECT_TRUE(WaitUntil([&] { return tuning->AdviceText().indexOf("open-loop") != -1; }, 120s))
      << tuning->AdviceText().toStdString();
  EXPECT_NE(tuning->AdviceText().indexOf("a step of at most about"), -1);
}

}  // namespace
}  // namespace korvane::sim::test
