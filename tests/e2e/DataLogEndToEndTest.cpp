// End to end through the main window against a libmodbus RTU slave on a
// pseudo-terminal, the poll timer running throughout: Log > Open, "Log Data
// to File" every 2 ticks, a new target chosen while recording (its dialogs
// kept open across several ticks), File > Export Trend Data, recording into
// the exported file, and View > Trend showing the log.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTimer>

#include <fstream>
#include <regex>
#include <sstream>

#include "app/AppTestSupport.h"
#include "app/trend/DataLogCommands.h"
#include "app/main/MainMenu.h"
#include "app/trend/TrendForm.h"
#include "app/trend/TrendFormLayout.h"

namespace korvane::test {
namespace {

// SP 250, PV 250, Out -10 (x 0.1); Ki 150 (x 0.01), Kd 30, Kp 400 (x 0.1).
const char* kValues = "250,250,0xFFF6,103,104,105,106,107,108,109,110,150,30,400";

std::vector<std::string> CrLfLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  const std::string text = all.str();
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  EXPECT_EQ(at, text.size()) << path << " ends in a partial line";
  return lines;
}

class DataLogEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    slave = std::make_unique<ChildProcess>(StartRtuSlave(peerPty.SlavePath(), {"--values", kValues}));
    OpenWindowPort(*form);
    ASSERT_EQ(windowPty.ReadAtLeast(9, Millis(2000)), "Open Port");
    relay = std::make_unique<WireRelay>(windowPty, peerPty);
    form->PollTimer().setInterval(100);
    form->PollTimer().start();
  }
  // A dialog answer given only after the poll timer has ticked a while.
  template <class T>
  static std::function<T(QWidget*)> After(Millis open, T answer) {
    return [open, answer](QWidget*) {
      PumpFor(open);
      return answer;
    };
  }
  std::size_t DataLines(const std::string& path, std::size_t heading) {
    const std::size_t n = CrLfLines(path).size();
    return n > heading ? n - heading : 0;
  }
  std::string Path(const char* name) const { return dir.Path() + "/" + name; }

  PtyPair windowPty;
  PtyPair peerPty;
  TempDir dir;
  std::unique_ptr<TMainForm> form = MakeWindowOn(windowPty.SlavePath(), dir);
  const MainFormWidgets& w = form->Widgets();
  std::unique_ptr<ChildProcess> slave;
  std::unique_ptr<WireRelay> relay;
};

TEST_F(DataLogEndToEnd, LogExportAndTrendViewerWithThePollTimerRunning) {
  DataLogCommands::Questions& ask = form->DataLog().Ask();
  const std::regex dataLine(R"(\d+, 250\.000, 250\.000,  -1\.000)");

  // Recording before Log > Open is refused.
  QString shown;
  ask.information = [&](QWidget*, const QString& text) { shown = text; };
  w.ChkLog->click();
  EXPECT_EQ(shown, "No Log File Has been selected Go to Main Menu-Log-Open");
  EXPECT_FALSE(w.ChkLog->isChecked());

  // First target, every 2nd tick.
  ASSERT_TRUE(WaitUntil([&] { return w.TxtStatus->text().endsWith("Data OK"); }, Millis(5000)));
  w.TxtPeriod->setText("2");
  ask.logPath = After(Millis(0), QString::fromStdString(Path("a.log")));
  ask.heading = After(Millis(0), std::optional<QString>("Run A"));
  form->Menu().Open2->trigger();
  w.ChkLog->click();
  ASSERT_TRUE(w.ChkLog->isChecked());
  ASSERT_TRUE(WaitUntil([&] { return DataLines(Path("a.log"), 3) >= 3; }, Millis(5000)));
  std::vector<std::string> a = CrLfLines(Path("a.log"));
  EXPECT_EQ(a[0], "Run A");
  EXPECT_EQ(a[1], "K=  40.000 Ki=   1.500 Kd=  30.000");
  EXPECT_EQ(a[2], "Secs, Setpoint, PV, Output");
  EXPECT_EQ(a[3].substr(0, 2), "2,");
  EXPECT_EQ(a[4].substr(0, 2), "4,");
  for (std::size_t i = 3; i < a.size(); ++i) EXPECT_TRUE(std::regex_match(a[i], dataLine)) << a[i];

  // A new target chosen while recording: both its dialogs stay open across
  // several ticks, which keep writing to the old file.
  const std::size_t before = DataLines(Path("a.log"), 3);
  ask.logPath = After(Millis(450), QString::fromStdString(Path("b.log")));
  ask.heading = After(Millis(450), std::optional<QString>("Run B"));
  form->Menu().Open2->trigger();
  EXPECT_GT(DataLines(Path("a.log"), 3), before);
  ASSERT_TRUE(WaitUntil([&] { return DataLines(Path("b.log"), 3) >= 2; }, Millis(5000)));
  const std::vector<std::string> b = CrLfLines(Path("b.log"));
  EXPECT_EQ(b[0], "Run B");
  EXPECT_EQ(b[2], "Secs, Setpoint, PV, Output");
  for (std::size_t i = 3; i < b.size(); ++i) EXPECT_TRUE(std::regex_match(b[i], dataLine)) << b[i];

  // Export: the dialogs open across ticks; the file holds the heading and
  // exactly the samples held when the command ends, oldest first.
  ask.exportPath = After(Millis(350), QString::fromStdString(Path("trend.csv")));
  ask.heading = After(Millis(350), std::optional<QString>("Export"));
  form->Menu().SaveTrend1->trigger();
  const std::size_t samples = form->History().Points().Size();
  std::vector<std::string> t = CrLfLines(Path("trend.csv"));
  ASSERT_EQ(t.size(), 4 + samples);
  EXPECT_EQ(t[0], "Export");
  EXPECT_EQ(t[1], "Kp, Ki, Kd");
  EXPECT_EQ(t[2], "  40.000,    1.500,   30.000");
  EXPECT_EQ(t[3], "Time, Setpoint, PV, Output");
  ASSERT_GT(samples, 2u);
  EXPECT_LE(std::stod(t[4]), std::stod(t[3 + samples]));
  // Recording goes on into the exported file, after the whole export.
  ASSERT_TRUE(WaitUntil([&] { return CrLfLines(Path("trend.csv")).size() > 4 + samples; }, Millis(5000)));
  t = CrLfLines(Path("trend.csv"));
  EXPECT_TRUE(std::regex_match(t[4 + samples], dataLine)) << t[4 + samples];

  // View > Trend reads the second log.
  form->Menu().Trend1->trigger();
  TFrmTrend& trend = form->FrmTrend();
  EXPECT_TRUE(trend.isVisible());
  trend.SetOpenDialog([&](QWidget*) { return QString::fromStdString(Path("b.log")); });
  trend.Widgets().CmdOpenFile->click();
  EXPECT_EQ(trend.Widgets().LblHeading->text(), "Run B");
  EXPECT_EQ(trend.Widgets().TxtK->text(), "40.000");
  EXPECT_GE(trend.Widgets().Series2->count(), 2);
  EXPECT_EQ(trend.Widgets().Series2->at(0).y(), 250.0);
  EXPECT_EQ(form->Errors().Count(), 0) << form->Errors().LastMessage().toStdString();
}

}  // namespace
}  // namespace korvane::test
