#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "app/AppTestSupport.h"
#include "app/tuning/TuningForm.h"
#include "rules/SimcTuning.h"
#include "support/ScopedEnv.h"

namespace korvane::test {
namespace {

// The window with a setpoint step 100 -> 120 of a known process recorded
// straight into its recorder: polled every chart second, PV whole units
// with noise, the write at chart time 0 (the window's clocks stand still).
class TuningLines : public ::testing::Test {
 protected:
  void Record(const FopdtModel& process, double noiseSd) {
    TuningRecorder& recorder = tuning.Recorder();
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, noiseSd);
    for (int i = -30; i < 0; ++i) recorder.AddSample({i + 0.4, 100, std::round(100 + noise(random)), 40});
    recorder.WriteSent("setpoint", 100, 120);
    const auto loop = PredictClosedLoop(process, {20.0, 1.0, 0.0}, 400.0, 100.0, 120.0, 40.0, 8 * process.TimeConstant);
    const double dt = loop[1].Time;
    for (double t = 0.4; t < loop.back().Time; t += 1.0) {
      const TuningSample& s = loop[static_cast<std::size_t>(t / dt)];
      recorder.AddSample({t, s.SP, std::round(s.PV + noise(random)), s.Out});
    }
    tuning.ShowForward();
  }
  QLabel* Line(const char* name) { return tuning.findChild<QLabel*>(name); }
  void ExpectSpoken(const char* name) {
    EXPECT_EQ(Line(name)->accessibleName(), Line(name)->text()) << name;
  }

  PtyPair pty;
  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.Path()};
  std::unique_ptr<TMainForm> form = MakeWindowOn(pty.SlavePath(), dir);
  TuningForm& tuning = form->Tuning();
};

TEST_F(TuningLines, FiguresAndModelInProcessTimeWithTheBandAndSpreadThatAScreenReaderFollows) {
  auto* scale = tuning.findChild<QLineEdit*>("TxtTimeScale");
  scale->clear();
  QTest::keyClicks(scale, "2");  // kept as typed, no focus change needed
  std::ifstream file(dir.Path() + "/korvane/tuning");
  std::stringstream saved;
  saved << file.rdbuf();
  EXPECT_NE(saved.str().find("time_scale=2\n"), std::string::npos) << saved.str();

  Record({1.5, 30.0, 2.5, 0, 0}, 0.5);  // tau 60 s, theta 5 s of process time
  const QString step = Line("LblStepFigures")->text();
  EXPECT_TRUE(step.contains("s (process)")) << step.toStdString();
  // 3 SD of the noise at rest (about 2 units), wider than 2 % of the step.
  EXPECT_TRUE(step.contains("(band \u00b1") && !step.contains("(band \u00b10.4 units)")) << step.toStdString();
  ExpectSpoken("LblStepFigures");
  tuning.findChild<QLineEdit*>("TxtBand")->setText("20");
  emit tuning.findChild<QLineEdit*>("TxtBand")->editingFinished();
  EXPECT_TRUE(Line("LblStepFigures")->text().contains("band \u00b14 units"));  // the running step again

  tuning.CmdIdentifyClick();
  const QString model = Line("LblModel")->text();
  EXPECT_TRUE(model.contains("\u03c4 ") && model.contains(" \u00b1 ") && model.contains("s (process)"))
      << model.toStdString();
  ExpectSpoken("LblModel");
  ASSERT_TRUE(tuning.Proposed() && tuning.Proposed()->Ok) << tuning.Proposed()->Refusal;
  const Proposal& p = *tuning.Proposed();
  // As the register will hold it (0.1 % a count), the exact figure beside.
  EXPECT_TRUE(Line("LblProposal")->text().contains("Kp (band) " + QString::number(p.Held.Band, 'g', 4) + " ("))
      << Line("LblProposal")->text().toStdString();
  ExpectSpoken("LblProposal");
  EXPECT_TRUE(tuning.findChild<QPushButton*>("CmdApply")->isEnabled());
}

TEST_F(TuningLines, NoApplyForADeadTimeShorterThanAPollAndTheReasonSaid) {
  Record({1.5, 30.0, 0.4, 0, 0}, 0.3);
  tuning.CmdIdentifyClick();
  EXPECT_TRUE(Line("LblProposal")->text().contains("shorter than one poll")) << Line("LblProposal")->text().toStdString();
  ExpectSpoken("LblProposal");
  EXPECT_FALSE(tuning.findChild<QPushButton*>("CmdApply")->isEnabled());
}

}  // namespace
}  // namespace korvane::test
