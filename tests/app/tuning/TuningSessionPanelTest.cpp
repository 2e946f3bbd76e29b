#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/AppTestSupport.h"
#include "app/tuning/SessionPlanDialog.h"
#include "app/tuning/TuningForm.h"
#include "app/tuning/TuningSessionPanel.h"
#include "poll/PollCycle.h"
#include "master/MasterCode.h"
#include "support/ScopedEnv.h"

namespace korvane::test {
namespace {

class SessionPanel : public ::testing::Test {
 protected:
  PtyPair pty;
  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.Path()};
  std::unique_ptr<TMainForm> form = MakeWindowOn(pty.SlavePath(), dir);
  TuningForm& tuning = form->Tuning();
};

// Every control a screen reader meets has a name of its own.
void ExpectNamed(const QWidget& root) {
  for (const QWidget* w : root.findChildren<QWidget*>()) {
    if (!qobject_cast<const QPushButton*>(w) && !qobject_cast<const QLabel*>(w) &&
        !qobject_cast<const QLineEdit*>(w) && !qobject_cast<const QCheckBox*>(w)) {
      continue;
    }
    EXPECT_FALSE(w->objectName().isEmpty()) << w->metaObject()->className();
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    EXPECT_NE(w->accessibleName(), w->objectName().mid(3)) << "an empty line read by its object name";
  }
}

TEST_F(SessionPanel, TuneLoopWithoutAPolledLoopSaysWhatIsMissingAndWritesNothing) {
  tuning.ShowForward();
  auto* panel = tuning.findChild<TuningSessionPanel*>("GrpTuningSession");
  ASSERT_NE(panel, nullptr);
  ExpectNamed(*panel);
  auto* abort = panel->findChild<QPushButton*>("CmdSessionAbort");
  EXPECT_TRUE(abort->isVisible());
  EXPECT_FALSE(abort->isEnabled());
  QTest::mouseClick(panel->findChild<QPushButton*>("CmdTuneLoop"), Qt::LeftButton);
  const QLabel* result = panel->findChild<QLabel*>("LblSessionResult");
  EXPECT_TRUE(result->text().startsWith("Not started:")) << result->text().toStdString();
  EXPECT_TRUE(result->text().contains("not at rest") || result->text().contains("watched long enough") ||
              result->text().contains("port"))
      << result->text().toStdString();
  EXPECT_EQ(result->accessibleName(), result->text());
  EXPECT_EQ(panel->PlanDialog(), nullptr);
  EXPECT_EQ(form->Session().poll.PendingWrite(), 0);
  EXPECT_EQ(panel->Session()->Stage(), SessionStage::Idle);
}

// A session running (started straight on the core with a loop at rest)
// stops on Escape in the window and writes back its setpoint.
TEST_F(SessionPanel, EscapeInTheWindowAbortsARunningSession) {
  tuning.ShowForward();
  auto* panel = tuning.findChild<TuningSessionPanel*>("GrpTuningSession");
  TuningSession& session = *panel->Session();
  const double now = form->History().ChartClock();
  std::vector<TuningSample> rest;
  for (int i = -40; i <= 0; ++i) rest.push_back({now + i, 100, 100, 40});
  session.ReplyChecked(PollResult::DataOk, false);
  SessionPlan plan;
  plan.Step = 10.0;
  plan.PvLow = 0.0;
  plan.PvHigh = 400.0;
  ReadinessInput input{true, true, true, {100, 100, 40, {50, 1, 0}}, rest};
  ASSERT_TRUE(session.Start(input, plan).empty());
  EXPECT_EQ(form->Session().poll.PendingWrite(), 26);  // the setpoint, on the next tick
  QTest::keyClick(&tuning, Qt::Key_Escape);
  EXPECT_EQ(session.Stage(), SessionStage::Restoring);
  EXPECT_NE(session.Waiting().find("Escape"), std::string::npos) << session.Waiting();
  const QLabel* stage = panel->findChild<QLabel*>("LblSessionStage");
  EXPECT_TRUE(stage->text().startsWith("Writing back")) << stage->text().toStdString();
  EXPECT_EQ(stage->accessibleName(), stage->text());
  // The give-up button replaces Abort while it writes back; closing the window does not give up.
  tuning.close();
  EXPECT_EQ(session.Stage(), SessionStage::Restoring);
  EXPECT_EQ(panel->findChild<QPushButton*>("CmdSessionAbort")->text(), "Give Up &Write-Back");
  panel->AbortClick();
  EXPECT_EQ(session.Stage(), SessionStage::Stopped);
  EXPECT_EQ(stage->text(), "Stopped.");  // the result line says the rest
  EXPECT_NE(session.Outcome().Result.find("In the controller now: setpoint 100"), std::string::npos)
      << session.Outcome().Result;
}

TEST(SessionPlanDialogTest, ShowsWhatWillBeWrittenAndReadsThePlanInChartTime) {
  SessionPlan plan;
  plan.Step = 20.0;
  plan.PvLow = 0.0;
  plan.PvHigh = 400.0;
  plan.MaxTime = 100.0;  // chart s
  plan.MaxTimeSource = "four times the loop's last settling";
  SessionPlanDialog dialog(plan, 100.0, 3.0, nullptr);
  ExpectNamed(dialog);
  const QLabel* writes = dialog.findChild<QLabel*>("LblSessionWrites");
  EXPECT_TRUE(writes->text().contains("setpoint 100 \u2192 120")) << writes->text().toStdString();
  EXPECT_TRUE(writes->text().contains("only after you confirm them"));
  EXPECT_TRUE(writes->text().contains("after 300 s (process) (four times the loop's last settling)"))
      << writes->text().toStdString();
  EXPECT_EQ(dialog.findChild<QLineEdit*>("TxtSessionMaxTime")->text(), "300");  // process s
  auto* step = dialog.findChild<QLineEdit*>("TxtSessionStep");
  step->setText("-15");
  dialog.findChild<QCheckBox*>("ChkApplyWithoutAsking")->setChecked(true);
  EXPECT_TRUE(writes->text().contains("setpoint 100 \u2192 85") && writes->text().contains("without asking"));
  EXPECT_EQ(writes->accessibleName(), writes->text());
  const auto read = dialog.Plan();
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Step, -15.0);
  EXPECT_DOUBLE_EQ(read->MaxTime, 100.0);
  dialog.findChild<QLineEdit*>("TxtSessionMaxTime")->setText("450");
  EXPECT_TRUE(writes->text().contains("after 450 s (process) (as typed)")) << writes->text().toStdString();
  EXPECT_TRUE(read->ApplyWithoutAsking);
  step->setText("1,5");
  EXPECT_FALSE(dialog.Plan());
  EXPECT_TRUE(writes->text().contains("must be a number"));
}

// The relay test beside the step: offered when the map can take it, else
// greyed out with the reason; chosen, it says what it writes and reads its
// own hysteresis and longest time.
TEST(SessionPlanDialogTest, OffersTheRelayTestWhereTheControllerCanTakeIt) {
  SessionPlan step;
  step.Step = 20.0;
  step.PvHigh = 400.0;
  step.MaxTime = 100.0;
  SessionPlan relay = step;
  relay.Kind = SessionKind::Relay;
  relay.Hysteresis = 3.0;
  relay.MaxTime = 200.0;
  const LoopValues now{100.0, 100.0, 40.0, {50.0, 0.5, 0.0}, 1.0};
  SessionPlanDialog refused(step, relay, "names no hysteresis register", now, 1.0, nullptr);
  const auto* greyed = refused.findChild<QRadioButton*>("OptSessionRelay");
  EXPECT_FALSE(greyed->isEnabled());
  EXPECT_EQ(greyed->accessibleDescription(), "names no hysteresis register");

  SessionPlanDialog dialog(step, relay, "", now, 1.0, nullptr);
  ExpectNamed(dialog);
  auto* hys = dialog.findChild<QLineEdit*>("TxtSessionHysteresis");
  EXPECT_FALSE(hys->isEnabled());
  dialog.findChild<QRadioButton*>("OptSessionRelay")->click();
  EXPECT_TRUE(hys->isEnabled() && !dialog.findChild<QLineEdit*>("TxtSessionStep")->isEnabled());
  const QLabel* writes = dialog.findChild<QLabel*>("LblSessionWrites");
  EXPECT_TRUE(writes->text().contains("hysteresis 1 \u2192 3, then Kp 50 \u2192 0")) << writes->text().toStdString();
  EXPECT_TRUE(writes->text().contains("Kp 50, Ki 0.5, Kd 0 and hysteresis 1 back"));
  EXPECT_EQ(dialog.findChild<QLineEdit*>("TxtSessionMaxTime")->text(), "200");
  hys->setText("2.5");
  const auto read = dialog.Plan();
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Kind, SessionKind::Relay);
  EXPECT_EQ(read->Hysteresis, 2.5);
  EXPECT_EQ(read->MaxTime, 200.0);
}

}  // namespace
}  // namespace korvane::test
