// Korvane's main window against the simulator, end to end: korvane-sim maps
// itself to COM3 in a private configuration folder, the configuration
// dialog's "Port Active" and OK open that name, and the window's own poll
// timer polls the simulated controller. The boxes show its values scaled by
// the default factors, a setpoint written from the window moves PV at the
// rate the process model predicts, the chart fills, and each line fault
// switched on at run time shows its status text without losing a value.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QGroupBox>
#include <QAction>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/SimProcess.h"
#include "app/config/ConfigForm.h"
#include "app/config/ConfigFormLayout.h"
#include "app/link/ControllersPanel.h"
#include "app/link/LinkPanels.h"
#include "link/LinkMonitor.h"
#include "app/main/MainForm.h"
#include "app/tuning/TuningForm.h"
#include "base/Convert.h"
#include "poll/PollCycle.h"
#include "support/ScopedEnv.h"

namespace korvane::sim::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs the GUI thread's events until pred holds or the time is up.
bool WaitUntil(const std::function<bool()>& pred, Millis timeout) {
  const auto end = Clock::now() + timeout;
  while (!pred()) {
    if (Clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

void PumpFor(Millis time) { WaitUntil([] { return false; }, time); }

bool IsDataOk(const std::string& s) { return s.starts_with("Poll ") && s.ends_with(" Data OK"); }

// The six value boxes in the order PV, Out, SetPt, K, Ki, Kd.
using BoxTexts = std::array<std::string, 6>;

// One text of the status line, with the boxes and the values as they were
// when it was set (an error status changes neither).
struct StatusRecord {
  Clock::time_point At;
  std::string Text;
  BoxTexts Boxes;
  korvane::ControllerValues Values;
};

class SimWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    // Before the window exists: its COM names come from this folder.
    configHomeEnv_.emplace("XDG_CONFIG_HOME", home.Path());
    modalTimer_.setInterval(20);
    QObject::connect(&modalTimer_, &QTimer::timeout, [this] { CloseModal(); });
    modalTimer_.start();
  }

  void TearDown() override {
    form.reset();
    sim.reset();
    configHomeEnv_.reset();
  }

  // The simulator on COM3 with `args`, then the main window as the program
  // builds it.
  void Start(std::vector<std::string> args) {
    args.insert(args.end(), {"--com", "COM3"});
    sim = std::make_unique<SimProcess>(home.Path(), args);
    ASSERT_TRUE(sim->WaitReady());
    ASSERT_EQ(sim->ComName(), "COM3");
    form = std::make_unique<korvane::TMainForm>();
    QObject::connect(W().TxtStatus, &QLineEdit::textChanged, [this](const QString& text) {
      statuses.push_back({Clock::now(), text.toStdString(), Boxes(), form->Poll().Values()});
    });
  }

  const korvane::MainFormWidgets& W() const { return form->Widgets(); }
  const korvane::ConfigFormWidgets& D() { return form->ConfigForm().Widgets(); }

  BoxTexts Boxes() const {
    const auto& w = W();
    BoxTexts texts;
    std::size_t i = 0;
    for (QLineEdit* box : {w.TxtPV, w.TxtOut, w.TxtSetPt, w.TxtK, w.TxtKi, w.TxtKd}) {
      texts[i++] = box->text().toStdString();
    }
    return texts;
  }

  // "&Config", tick "Port Active", choose COM3, OK; then a quick poll timer.
  void ConnectThroughTheDialog(const std::function<void()>& moreBeforeOk = {}) {
    form->Config1Click();
    ASSERT_TRUE(form->ConfigForm().isVisible());
    // The activation that follows the show refills the boxes from the
    // settings: let it arrive before any box is touched.
    WaitUntil([&] { return form->ConfigForm().isActiveWindow(); }, 150ms);
    PumpFor(20ms);
    const int com3 = D().ComboPort->findText("3");
    ASSERT_GE(com3, 0);
    D().ComboPort->setCurrentIndex(com3);
    if (!D().ChkPort->isChecked()) D().ChkPort->click();
    if (moreBeforeOk) moreBeforeOk();
    QTest::mouseClick(D().CmdExit, Qt::LeftButton);
    ASSERT_EQ(modalsClosed, std::vector<std::string>{});
    ASSERT_FALSE(form->ConfigForm().isVisible());
    ASSERT_TRUE(form->Ports().PortActive());
    ASSERT_EQ(form->AppSettings().Link.PortNumber, 3);
    ASSERT_TRUE(form->PollTimer().isActive());
    form->PollTimer().setInterval(200);
    // A tick before OK finds the port closed and says so; none after it may.
    errorsAtOk = form->Errors().Count();
  }

  int DataOkCount() const {
    return static_cast<int>(std::count_if(statuses.begin(), statuses.end(),
                                          [](const StatusRecord& r) { return IsDataOk(r.Text); }));
  }
  bool WaitForDataOk(int atLeast, Millis timeout = 5000ms) {
    return WaitUntil([&] { return DataOkCount() >= atLeast; }, timeout);
  }
  const StatusRecord* FindStatus(const std::string& text) const {
    auto it = std::find_if(statuses.begin(), statuses.end(), [&](const StatusRecord& r) { return r.Text == text; });
    return it == statuses.end() ? nullptr : &*it;
  }
  const StatusRecord* FindStatusEndingWith(const std::string& suffix) const {
    auto it = std::find_if(statuses.begin(), statuses.end(),
                           [&](const StatusRecord& r) { return r.Text.ends_with(suffix); });
    return it == statuses.end() ? nullptr : &*it;
  }
  std::string AllStatuses() const {
    std::string all;
    for (const StatusRecord& r : statuses) all += "[" + r.Text + "] ";
    return all;
  }

  TempDir home;
  std::unique_ptr<SimProcess> sim;
  // Before the window: its destructor may still set the status line.
  std::vector<StatusRecord> statuses;
  std::vector<std::string> modalsClosed;
  int errorsAtOk = 0;
  std::unique_ptr<korvane::TMainForm> form;

 private:
  // A message box must never hang a test: it is recorded and closed.
  void CloseModal() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    modalsClosed.push_back(box != nullptr ? box->text().toStdString() : modal->metaObject()->className());
    modal->close();
  }

  QTimer modalTimer_;
  std::optional<korvane::test::ScopedEnv> configHomeEnv_;
};

TEST_F(SimWindow, ConfigOkPollsTheSimulatorAndShowsItsValuesScaledByTheDefaultFactors) {
  // Ambient at the setpoint and no noise: the loop rests at PV 150, output 0.
  ASSERT_NO_FATAL_FAILURE(Start({"--noise", "0", "--ambient", "150", "--setpoint", "150", "--kd", "7",
                                 "--dead-time", "0"}));
  ASSERT_NO_FATAL_FAILURE(ConnectThroughTheDialog());
  ASSERT_TRUE(WaitForDataOk(2)) << AllStatuses();

  EXPECT_EQ(W().TxtPV->text(), " 150.000");
  EXPECT_EQ(W().TxtOut->text(), "   0.000");
  EXPECT_EQ(W().TxtSetPt->text(), " 150.000");
  EXPECT_EQ(W().TxtK->text(), "   8.000");   // register 80 x 0.1: an 8 % band
  EXPECT_EQ(W().TxtKi->text(), "   2.500");   // register 250 x 0.01 repeats/min
  EXPECT_EQ(W().TxtKd->text(), "   7.000");   // register 7 x 1 s
  EXPECT_FLOAT_EQ(form->Poll().Values().Kp, 8.0f);
  EXPECT_FLOAT_EQ(form->Poll().Values().Ki, 2.5f);
  const std::string first = std::find_if(statuses.begin(), statuses.end(),
                                         [](const StatusRecord& r) { return IsDataOk(r.Text); })->Text;
  EXPECT_EQ(first, "Poll 1 Data OK") << AllStatuses();
  EXPECT_EQ(form->Errors().Count(), errorsAtOk) << form->Errors().LastMessage().toStdString();

  // Every reply adds a sample to the live chart, carrying the values read.
  const std::size_t samples = form->History().Points().Size();
  ASSERT_GE(samples, 2u);
  const int polled = DataOkCount();
  ASSERT_TRUE(WaitForDataOk(polled + 3)) << AllStatuses();
  EXPECT_GE(form->History().Points().Size(), samples + 3);
  const korvane::ChartPoint& newest = form->History().Points().Newest(0);
  EXPECT_FLOAT_EQ(newest.PV, 150.0f);
  EXPECT_FLOAT_EQ(newest.Setpoint, 150.0f);
  EXPECT_FLOAT_EQ(newest.Output, 0.0f);
  EXPECT_GT(newest.Time, form->History().Points().Oldest(0).Time);  // the chart clock runs
}

TEST_F(SimWindow, SetpointWrittenFromTheWindowMovesPvAtTheRateTheModelPredicts) {
  // Ambient at the setpoint: the loop rests with the output at 0 %. A step
  // to 300 drives the output to 100 % (the 8 % band of the 0..400 span is
  // 32 units wide), so up to PV 268 the process follows its open loop
  // curve PV = 400 - 300 exp(-t / 60 s). The wait ends at PV 235, well
  // below that: a 200 ms poll sees PV move by at most about 12 units.
  constexpr double kSpeed = 15;
  ASSERT_NO_FATAL_FAILURE(Start({"--noise", "0", "--ambient", "100", "--setpoint", "100", "--dead-time", "0",
                                 "--gain", "3", "--speed", "15"}));
  ASSERT_NO_FATAL_FAILURE(ConnectThroughTheDialog());
  ASSERT_TRUE(WaitForDataOk(1)) << AllStatuses();
  ASSERT_EQ(W().TxtPV->text(), " 100.000");

  // Every PV the window shows, with the time it was shown.
  std::vector<std::pair<Clock::time_point, double>> shown;
  QObject::connect(W().TxtPV, &QLineEdit::textChanged, [&](const QString&) {
    shown.emplace_back(Clock::now(), form->Poll().Values().PV);
  });

  // Untick "Update Values on Poll", type the setpoint, press its Write.
  W().ChkUpdate->click();
  ASSERT_FALSE(W().ChkUpdate->isChecked());
  W().TxtSetPt->clear();
  QTest::keyClicks(W().TxtSetPt, "300");
  QTest::mouseClick(W().SPWrite, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return FindStatus("Write -  Data OK") != nullptr; }, 3000ms)) << AllStatuses();
  const StatusRecord* sent = FindStatus("Write -");
  ASSERT_NE(sent, nullptr) << AllStatuses();
  const Clock::time_point start = sent->At;  // the write went out on this tick

  ASSERT_TRUE(WaitUntil([&] { return form->Poll().Values().PV >= 235; }, 6000ms)) << W().TxtPV->text().toStdString();
  EXPECT_EQ(W().TxtSetPt->text(), "300");  // the polls left the typed text alone
  EXPECT_EQ(W().TxtOut->text(), " 100.000");
  EXPECT_FLOAT_EQ(form->Poll().Values().SP, 300.0f);
  EXPECT_EQ(W().TxtPV->text().toStdString(), korvane::Format83(form->Poll().Values().PV, '.'));

  // Implied process time of each PV on the open loop curve against the
  // wall time since the write; least squares gives the speed and the delay.
  std::vector<std::pair<double, double>> points;
  for (auto [at, pv] : shown) {
    if (at < start || pv <= 105 || pv >= 250) continue;
    points.emplace_back(std::chrono::duration<double>(at - start).count(), -60.0 * std::log((400.0 - pv) / 300.0));
  }
  ASSERT_GE(points.size(), 6u);
  double n = static_cast<double>(points.size()), sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (auto [x, y] : points) {
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  const double offset = (sy - slope * sx) / n;
  RecordProperty("samples", static_cast<int>(points.size()));
  RecordProperty("speed", std::to_string(slope));
  RecordProperty("delay_process_s", std::to_string(offset));
  EXPECT_NEAR(slope, kSpeed, 0.15 * kSpeed);
  EXPECT_NEAR(offset, 0.0, 0.3 * kSpeed);  // the write took effect within 0.3 s

  // Ticked again, the next poll shows the controller's setpoint.
  W().ChkUpdate->click();
  const int polled = DataOkCount();
  ASSERT_TRUE(WaitForDataOk(polled + 1)) << AllStatuses();
  EXPECT_EQ(W().TxtSetPt->text(), " 300.000");
}

TEST_F(SimWindow, EachFaultSwitchedOnAtRunTimeShowsItsStatusAndKeepsTheValues) {
  ASSERT_NO_FATAL_FAILURE(Start({"--noise", "0", "--ambient", "120", "--setpoint", "120", "--dead-time", "0"}));
  ASSERT_NO_FATAL_FAILURE(ConnectThroughTheDialog());
  ASSERT_TRUE(WaitForDataOk(2)) << AllStatuses();
  const BoxTexts boxes = Boxes();
  ASSERT_EQ(boxes[0], " 120.000");
  const korvane::ControllerValues values = form->Poll().Values();
  auto expectKept = [&](const StatusRecord& r) {
    EXPECT_EQ(r.Boxes, boxes) << r.Text;
    EXPECT_EQ(r.Values.PV, values.PV) << r.Text;
    EXPECT_EQ(r.Values.SP, values.SP) << r.Text;
    EXPECT_EQ(r.Values.Kp, values.Kp) << r.Text;
  };

  // While the window polls on its own timer: a reply with a wrong CRC, then
  // an exception reply, each once.
  for (auto [command, status] : {std::pair{"fault corrupt count=1", " Checksum incorrect"},
                                 std::pair{"fault exception 2 count=1", " EC2 Illegal Data Address"}}) {
    ASSERT_TRUE(sim->Command(command, "fault ")) << command;
    ASSERT_TRUE(WaitUntil([&] { return FindStatusEndingWith(status) != nullptr; }, 3000ms)) << AllStatuses();
    const StatusRecord* fault = FindStatusEndingWith(status);
    EXPECT_TRUE(fault->Text.starts_with("Poll ")) << fault->Text;
    expectKept(*fault);
    EXPECT_EQ(Boxes(), boxes) << status;
    // The next reply is good again.
    const int polled = DataOkCount();
    ASSERT_TRUE(WaitForDataOk(polled + 1)) << AllStatuses();
    EXPECT_EQ(Boxes(), boxes) << status;
  }

  // A late reply shows as a time out only when no newer request waits: the
  // simulator answers later requests in time, so a reply 900 ms late would
  // land inside the next request's 400 ms response time at a 200 ms poll.
  // The timer is stopped and the tick driven by hand, as a slow poll time.
  form->PollTimer().stop();
  PumpFor(300ms);  // a reply still on its way
  ASSERT_TRUE(sim->Command("fault late 900 count=1", "fault late"));
  form->PollTimerTimer();
  const std::string poll = "Poll " + std::to_string(form->Poll().PollCount());
  EXPECT_EQ(W().TxtStatus->text().toStdString(), poll);
  ASSERT_TRUE(WaitUntil([&] { return FindStatus(poll + " Time Out occurred") != nullptr; }, 2000ms))
      << AllStatuses();
  expectKept(*FindStatus(poll + " Time Out occurred"));
  PumpFor(100ms);  // the rest of the late reply, if it came in pieces
  EXPECT_EQ(W().TxtStatus->text().toStdString(), poll + " Time Out occurred");
  EXPECT_EQ(Boxes(), boxes);

  // The next poll is answered in time.
  form->PollTimerTimer();
  const std::string next = "Poll " + std::to_string(form->Poll().PollCount());
  ASSERT_TRUE(WaitUntil([&] { return W().TxtStatus->text().toStdString() == next + " Data OK"; }, 2000ms))
      << AllStatuses();
  EXPECT_EQ(Boxes(), boxes);
  EXPECT_EQ(form->Errors().Count(), errorsAtOk) << form->Errors().LastMessage().toStdString();
  EXPECT_EQ(modalsClosed, std::vector<std::string>{});
}

}  // namespace
}  // namespace korvane::sim::test

namespace korvane::sim::test {
namespace {

// Four controllers on COM3, the fourth silent: each row of the Controllers
// dock shows its own controller, selecting a row puts its values into the
// window, and a setpoint written while one row was selected reaches that
// controller only, though another row was selected before the write went out.
TEST_F(SimWindow, FourControllersEachShownAndWrittenOnItsOwn) {
  ASSERT_NO_FATAL_FAILURE(Start({"--noise", "0", "--setpoint", "60", "--controller", "2:sp=61", "--controller",
                                 "3:sp=63", "--controller", "4:fault=silent"}));
  ASSERT_NO_FATAL_FAILURE(ConnectThroughTheDialog([&] {
    for (int i = 0; i < 3; ++i) D().AddController->click();
  }));
  ASSERT_EQ(form->AppSettings().Others.size(), 3u);
  korvane::ControllerSession& line = form->Session();
  ASSERT_EQ(line.ControllerCount(), 4u);
  // The third controller's tuning record, kept while another row is shown.
  const auto& record = form->TuningOf(2).Recorder();
  const auto status = [&](std::size_t i) { return line.Controller(i).view.Status(); };
  ASSERT_TRUE(WaitUntil([&] { return IsDataOk(status(2)) && status(3).ends_with("Time Out occurred"); }, 8000ms))
      << status(0) << " | " << status(1) << " | " << status(2) << " | " << status(3);
  const std::vector<float> setpoints{60, 61, 63};
  for (std::size_t i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(line.Controller(i).poll.Values().SP, setpoints[i]);
  EXPECT_FALSE(line.Controller(3).poll.AnyGood());
  // The Link dock's counts, per controller as well as for the line.
  const auto counts = form->Link().Monitor().CountsByAddress();
  ASSERT_EQ(counts.size(), 4u);
  EXPECT_GT(counts.at(3).GoodReplies, 0u);
  EXPECT_EQ(counts.at(4).GoodReplies, 0u);
  EXPECT_GT(counts.at(4).RequestsSent, 0u);

  // The dock's row of the third controller, as the keyboard would select it.
  form->Link().ControllersAction()->trigger();
  QTableWidget* rows = form->Link().Controllers().Table();
  ASSERT_TRUE(WaitUntil([&] { return rows->rowCount() == 4; }, 2000ms));
  EXPECT_EQ(rows->item(2, 3)->data(Qt::AccessibleTextRole).toString(), "Controller 3, SP: 63.000");
  rows->setCurrentCell(2, 0);
  EXPECT_EQ(line.Selected(), 2u);
  EXPECT_EQ(W().TxtSetPt->text(), "  63.000");
  EXPECT_TRUE(W().GrpPID->title().endsWith("Controller 3, address 3"));

  W().ChkUpdate->setChecked(false);
  W().TxtSetPt->setText("70");
  W().SPWrite->click();
  rows->setCurrentCell(1, 0);  // another row before the write went out
  EXPECT_EQ(W().TxtSetPt->text(), "  61.000");
  ASSERT_TRUE(WaitUntil([&] { return line.Controller(2).poll.Values().SP == 70.0f; }, 6000ms));
  ASSERT_TRUE(sim->Command("@3 show", "@3 t="));
  ASSERT_TRUE(sim->Command("@2 show", "@2 t="));
  ASSERT_TRUE(sim->Command("show 1", "@1 t="));
  std::string shown;
  for (const std::string& l : sim->Lines()) {
    if (l.find(" sp=") != std::string::npos) shown += l + "\n";
  }
  EXPECT_NE(shown.find("@3 t="), std::string::npos);
  for (const auto& [who, sp] : std::vector<std::pair<std::string, std::string>>{{"@3 ", "sp=70 "}, {"@2 ", "sp=61 "}, {"@1 ", "sp=60 "}}) {
    const auto at = shown.rfind("korvane-sim: " + who);
    ASSERT_NE(at, std::string::npos) << shown;
    EXPECT_NE(shown.substr(at, shown.find('\n', at) - at).find(sp), std::string::npos) << shown;
  }
  EXPECT_FLOAT_EQ(line.Controller(1).poll.Values().SP, 61.0f);
  const std::size_t taken = record.Samples().size();
  EXPECT_TRUE(WaitUntil([&] { return record.Samples().size() >= taken + 2; }, 3000ms));
}

}  // namespace
}  // namespace korvane::sim::test
