// End to end through the main window: "&Config" shows the configuration
// dialog, whose OK opens a COM name pointed at a pseudo-terminal. A relay
// joins that line to a libmodbus RTU slave and records every byte the
// program sends; the window's own poll timer does the polling. File > Save
// and Load Configuration run through the real file dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/AppTestSupport.h"
#include "app/config/ConfigForm.h"
#include "app/config/ConfigFormLayout.h"
#include "poll/PollCycle.h"
#include "ports/ComNameMap.h"
#include "support/ScopedEnv.h"

namespace korvane::test {
namespace {

// Holding registers 0..13 of the slave: SP 75, PV 73, Out 455 (x 0.1),
// Ki 50 (x 0.01), Kd 10, Kp 13 (x 0.1); the rest 1000 + i.
const char* kValues = "75,73,455,103,104,105,106,107,108,109,110,50,10,13";

// Closes whatever modal window opens while a test runs, so a message box
// can never hang the test. File dialogs are answered by `fileAnswer`; any
// other modal window is recorded and closed.
class ModalGuard {
 public:
  ModalGuard() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Check(); });
    timer_.start();
  }
  std::function<void(QFileDialog&)> fileAnswer;
  std::vector<std::string> closed;

 private:
  void Check() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog != nullptr && fileAnswer) {
      auto answer = std::move(fileAnswer);
      fileAnswer = nullptr;
      answer(*dialog);
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    closed.push_back(box != nullptr ? box->text().toStdString() : modal->metaObject()->className());
    modal->close();
  }
  QTimer timer_;
};

class ConfigWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Qt's own file dialog, whatever platform theme is about.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  }

  void SetUp() override {
    configHomeEnv_.emplace("XDG_CONFIG_HOME", dir.Path());
  }

  void TearDown() override {
    relay.reset();
    form.reset();
    configHomeEnv_.reset();
  }

  // The main window as the program builds it, its COM names taken from the
  // private port folder: COMn is the window's pseudo-terminal, every other
  // COM1..COM10 a device that does not exist.
  void BuildWindow(int com) {
    ComNameMap map = ComNameMap::UserDefault();
    ASSERT_EQ(map.Directory().rfind(dir.Path(), 0), 0u) << map.Directory();
    for (int n = 1; n <= 10; ++n) {
      std::string device = n == com ? windowPty.SlavePath() : dir.Path() + "/no-device-" + std::to_string(n);
      std::string error;
      ASSERT_TRUE(map.Add("COM" + std::to_string(n), device, &error)) << error;
    }
    form = std::make_unique<TMainForm>();
    QObject::connect(form->Widgets().TxtStatus, &QLineEdit::textChanged,
                     [this](const QString& text) { statuses.push_back(text.toStdString()); });
  }

  TConfigForm& Dialog() { return form->ConfigForm(); }
  const ConfigFormWidgets& D() { return Dialog().Widgets(); }
  const MainFormWidgets& W() { return form->Widgets(); }

  // "&Config", then the dialog's boxes as an operator sets them, then OK.
  void OpenDialog() {
    form->Config1Click();
    ASSERT_TRUE(Dialog().isVisible());
    // Let the activation that follows the show arrive before any box is
    // touched: an activation refills the boxes from the settings.
    WaitUntil([&] { return Dialog().isActiveWindow(); }, Millis(150));
    PumpFor(Millis(20));
  }
  void PressOk(int com, bool portActive, const QString& address) {
    OpenDialog();
    D().ComboPort->setCurrentIndex(D().ComboPort->findText(QString::number(com)));
    D().CboAddr->setEditText(address);
    if (D().ChkPort->isChecked() != portActive) D().ChkPort->click();
    QTest::mouseClick(D().CmdExit, Qt::LeftButton);
  }

  // After OK has opened the port: the first bytes on the line, then the
  // relay to the slave and a quick poll timer.
  void JoinSlaveAfterOpenPort() {
    // Nothing has run the event loop since OK, so no poll can have gone
    // out yet: the line must hold exactly the port's greeting.
    ASSERT_EQ(windowPty.ReadAtLeast(9, Millis(2000)), "Open Port");
    relay = std::make_unique<WireRelay>(windowPty, peerPty);
    form->PollTimer().setInterval(150);
  }

  static bool IsDataOk(const std::string& s) { return s.starts_with("Poll ") && s.ends_with(" Data OK"); }
  int DataOkCount() const { return static_cast<int>(std::count_if(statuses.begin(), statuses.end(), IsDataOk)); }
  bool WaitForDataOk(int atLeast = 1) {
    return WaitUntil([&] { return DataOkCount() >= atLeast; }, Millis(5000));
  }
  std::string LastStatus() const { return statuses.empty() ? "" : statuses.back(); }
  std::string AllStatuses() const {
    std::string all;
    for (const std::string& status : statuses) all += "[" + status + "] ";
    return all;
  }

  void ExpectSlaveValuesShown() {
    EXPECT_EQ(W().TxtPV->text(), "  73.000");
    EXPECT_EQ(W().TxtOut->text(), "  45.500");
    EXPECT_EQ(W().TxtSetPt->text(), "  75.000");
    EXPECT_EQ(W().TxtK->text(), "   1.300");
    EXPECT_EQ(W().TxtKi->text(), "   0.500");
    EXPECT_EQ(W().TxtKd->text(), "  10.000");
  }

  // The RTU frames the window sent, cut at 8 bytes (every read and
  // single-register write request is 8 bytes long).
  std::vector<std::string> SentFrames() const {
    std::string sent = relay->SentByWindow();
    std::vector<std::string> frames;
    for (std::size_t at = 0; at + 8 <= sent.size(); at += 8) frames.push_back(ToHex(sent.substr(at, 8)));
    EXPECT_EQ(sent.size() % 8, 0u) << ToHex(sent);
    return frames;
  }

  TempDir dir;
  PtyPair windowPty;  // the program's end of the line
  PtyPair peerPty;    // the slave's end
  // Before the window: its destructor may still deliver a reply that
  // changes the status line.
  std::vector<std::string> statuses;
  ModalGuard guard;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<WireRelay> relay;

 private:
  std::optional<test::ScopedEnv> configHomeEnv_;
};

TEST_F(ConfigWindow, PortActiveAndOkOpensThePortAndTheWindowPollsTheSlave) {
  ASSERT_NO_FATAL_FAILURE(BuildWindow(2));
  auto slave = StartRtuSlave(peerPty.SlavePath(), {"--values", kValues});
  EXPECT_FALSE(form->Ports().PortActive());

  ASSERT_NO_FATAL_FAILURE(OpenDialog());
  D().ComboPort->setCurrentIndex(D().ComboPort->findText("2"));
  // The dialog tells which device the chosen COM name opens here.
  EXPECT_EQ(D().LblPortDevice->text().toStdString(), "COM2 → " + windowPty.SlavePath());
  D().ChkPort->click();
  QTest::mouseClick(D().CmdExit, Qt::LeftButton);

  EXPECT_EQ(guard.closed, std::vector<std::string>{});
  EXPECT_FALSE(Dialog().isVisible());
  EXPECT_TRUE(form->Ports().PortActive());
  EXPECT_EQ(form->AppSettings().Link.PortNumber, 2);
  EXPECT_EQ(form->PollTimer().interval(), 1000);  // poll time 1 s
  EXPECT_TRUE(form->PollTimer().isActive());
  ASSERT_NO_FATAL_FAILURE(JoinSlaveAfterOpenPort());

  ASSERT_TRUE(WaitForDataOk(2)) << LastStatus();
  ExpectSlaveValuesShown();
  std::vector<std::string> frames = SentFrames();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.front(), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(form->Errors().Count(), 0) << form->Errors().LastMessage().toStdString();
}

TEST_F(ConfigWindow, AddressSeventeenSendsEveryLaterRequestToSlaveSeventeen) {
  ASSERT_NO_FATAL_FAILURE(BuildWindow(2));
  auto slave = StartRtuSlave(peerPty.SlavePath(), {"--values", kValues, "--slave", "17"});
  PressOk(2, true, "17");
  ASSERT_EQ(guard.closed, std::vector<std::string>{});
  EXPECT_EQ(form->AppSettings().Link.SlaveAddress, 17);
  ASSERT_NO_FATAL_FAILURE(JoinSlaveAfterOpenPort());
  ASSERT_TRUE(WaitForDataOk()) << LastStatus();
  ExpectSlaveValuesShown();

  // A setpoint write goes to slave 17 as well, and the slave stores it. The
  // write tick is driven by hand, so a slow echo cannot meet the next read.
  form->PollTimer().stop();
  PumpFor(Millis(250));  // a reply still on its way would refill the box
  W().TxtSetPt->setText("80");
  W().SPWrite->click();
  form->PollTimerTimer();
  EXPECT_EQ(W().TxtStatus->text(), "Write -");
  ASSERT_TRUE(WaitUntil([&] {
    return std::find(statuses.begin(), statuses.end(), "Write -  Data OK") != statuses.end();
  })) << AllStatuses() << "\n" << ToHex(relay->SentByWindow());
  EXPECT_TRUE(slave.WaitForLine("hr 25=80", Millis(2000)));
  form->PollTimer().start();
  const int polled = DataOkCount();
  ASSERT_TRUE(WaitForDataOk(polled + 1)) << LastStatus();
  form->PollTimer().stop();
  PumpFor(Millis(100));

  std::vector<std::string> frames = SentFrames();
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(frames.front(), "11 03 00 00 00 14 47 55");
  EXPECT_NE(std::find(frames.begin(), frames.end(), "11 06 00 19 00 50 5A A1"), frames.end());
  for (const std::string& frame : frames) {
    EXPECT_EQ(frame.substr(0, 2), "11") << frame;
  }

  // Shown again, the dialog holds the address in force.
  ASSERT_NO_FATAL_FAILURE(OpenDialog());
  EXPECT_EQ(D().CboAddr->currentText(), "17");
  EXPECT_TRUE(D().ChkPort->isChecked());
}

TEST_F(ConfigWindow, OkWithPortActiveUntickedClosesThePortAndNothingMoreIsSent) {
  ASSERT_NO_FATAL_FAILURE(BuildWindow(2));
  auto slave = StartRtuSlave(peerPty.SlavePath(), {"--values", kValues});
  PressOk(2, true, "1");
  ASSERT_NO_FATAL_FAILURE(JoinSlaveAfterOpenPort());
  ASSERT_TRUE(WaitForDataOk()) << LastStatus();

  PressOk(2, false, "1");
  EXPECT_EQ(guard.closed, std::vector<std::string>{});
  EXPECT_FALSE(form->Ports().PortActive());
  EXPECT_FALSE(Dialog().isVisible());
  EXPECT_EQ(form->AppSettings().Link.PortNumber, 2);  // stored, not opened
  EXPECT_TRUE(form->PollTimer().isActive());

  // The timer keeps ticking quickly; the line stays silent.
  form->PollTimer().setInterval(150);
  PumpFor(Millis(60));  // what was in flight before OK reaches the relay
  relay->ClearSent();
  PumpFor(Millis(700));
  EXPECT_EQ(ToHex(relay->SentByWindow()), "");
  EXPECT_FALSE(form->Ports().PortActive());

  // Shown again, "Port Active" is unticked.
  ASSERT_NO_FATAL_FAILURE(OpenDialog());
  EXPECT_FALSE(D().ChkPort->isChecked());
}

TEST_F(ConfigWindow, ClosingTheMainWindowWithTheDialogOpenEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(BuildWindow(2));
  form->show();
  ASSERT_NO_FATAL_FAILURE(OpenDialog());
  // The program's own message loop: File > Exit must end it although the
  // dialog is still open; a second later the test ends it instead.
  bool endedByTest = false;
  QTimer::singleShot(0, form.get(), [&] { form->Menu().Exit1->trigger(); });
  QTimer::singleShot(1000, form.get(), [&] {
    endedByTest = true;
    QCoreApplication::exit(1);
  });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(endedByTest);
  EXPECT_FALSE(form->isVisible());
}

// Answers a file dialog as an operator does: the path typed into the file
// name box, then Save or Open.
std::function<void(QFileDialog&)> AnswerWith(const std::string& path) {
  return [path](QFileDialog& d) {
    auto* name = d.findChild<QLineEdit*>("fileNameEdit");
    auto* buttons = d.findChild<QDialogButtonBox*>("buttonBox");
    ASSERT_NE(name, nullptr);
    ASSERT_NE(buttons, nullptr);
    name->setText(QString::fromStdString(path));
    QPushButton* button = buttons->button(d.acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                                    : QDialogButtonBox::Open);
    ASSERT_NE(button, nullptr);
    button->click();
  };
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(ConfigWindow, SaveAfterAPollWritesTheTwentyFiveLinesAndLoadThenSaveGivesTheSameBytes) {
  // The dialog's map comes from the preset beside the program.
  ASSERT_TRUE(QFile::exists(TMainForm::ProgramFolder() + "/Novus N1100.Korvane"));
  ASSERT_NO_FATAL_FAILURE(BuildWindow(1));
  auto slave = StartRtuSlave(peerPty.SlavePath(), {"--values", kValues});
  PressOk(1, true, "1");
  ASSERT_NO_FATAL_FAILURE(JoinSlaveAfterOpenPort());
  ASSERT_TRUE(WaitForDataOk()) << LastStatus();
  form->PollTimer().stop();
  PumpFor(Millis(100));
  ExpectSlaveValuesShown();

  const std::string first = dir.Path() + "/first config";
  guard.fileAnswer = AnswerWith(first);
  form->Menu().Save1->trigger();
  ASSERT_FALSE(guard.fileAnswer) << "no save dialog was shown";
  ASSERT_EQ(guard.closed, std::vector<std::string>{});
  const std::string expected =
      "1\r\n9600\r\n8\r\nN\r\n1\r\n1\r\nNovus N1100\r\n0\r\n1\r\n1\r\n1\r\n2\r\n0.100000001490116\r\n"
      "17\r\n1\r\n13\r\n0.100000001490116\r\n11\r\n0.00999999977648258\r\n12\r\n1\r\n"
      // The preset's values lie as today's reading (the setpoint written at
      // 25): no layout lines follow.
      "75\r\n1.3\r\n0.5\r\n10\r\n";
  const std::string saved = ReadBytes(first);
  EXPECT_EQ(saved, expected);

  // Everything the file holds is changed, then loaded back.
  Settings& s = form->AppSettings();
  s.Link.Baud = 19200;
  s.Map.ControllerType = "Other";
  s.Map.AddrKd = 40;
  s.Map.FactorKi = 2.5f;
  for (QLineEdit* box : {W().TxtSetPt, W().TxtK, W().TxtKi, W().TxtKd}) box->clear();
  guard.fileAnswer = AnswerWith(first);
  form->Menu().Open1->trigger();
  ASSERT_FALSE(guard.fileAnswer) << "no open dialog was shown";
  ASSERT_EQ(guard.closed, std::vector<std::string>{});
  EXPECT_EQ(s.Link.Baud, 9600);
  EXPECT_EQ(s.Map.ControllerType, "Novus N1100");
  EXPECT_EQ(W().TxtSetPt->text(), "75");
  EXPECT_EQ(W().TxtK->text(), "1.3");
  EXPECT_EQ(W().TxtKi->text(), "0.5");
  EXPECT_EQ(W().TxtKd->text(), "10");
  // Loading applies nothing: the port stays open, the timer as it was.
  EXPECT_TRUE(form->Ports().PortActive());

  const std::string second = dir.Path() + "/second config";
  guard.fileAnswer = AnswerWith(second);
  form->Menu().Save1->trigger();
  ASSERT_FALSE(guard.fileAnswer) << "no save dialog was shown";
  EXPECT_EQ(guard.closed, std::vector<std::string>{});
  EXPECT_EQ(ReadBytes(second), saved);
}

}  // namespace
}  // namespace korvane::test
