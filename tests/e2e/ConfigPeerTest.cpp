// End to end through the dialog: COM2 points at a pseudo-terminal, the test
// relays its bytes to a second pseudo-terminal where a libmodbus RTU slave
// listens, and records everything the program puts on the line.

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <poll.h>
#include <unistd.h>

#include <chrono>

#include "app/config/ConfigGuiFixture.h"
#include "master/MasterCode.h"
#include "poll/PollCycle.h"
#include "support/TestSupport.h"

namespace korvane::test {
namespace {

// Holding registers 0.. of the slave: SP 250, PV 245, Out 500 (50.0 %).
const std::vector<std::string> kValues{"--values", "250,245,500"};

class ConfigPeerTest : public ConfigGuiTest {
 protected:
  void SetUp() override {
    ConfigGuiTest::SetUp();
    MapPort(2, program_.SlavePath());
  }

  static void Forward(int from, int to, std::string* log) {
    char buffer[512];
    ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n <= 0) return;
    if (log != nullptr) log->append(buffer, static_cast<std::size_t>(n));
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(to, buffer + done, static_cast<std::size_t>(n - done));
      if (w <= 0) return;
      done += w;
    }
  }

  // Runs the GUI and relays the line in both directions until `done` or
  // the time is up.
  bool Relay(int milliseconds, const std::function<bool()>& done = [] { return false; }) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      pollfd fds[2] = {{program_.MasterFd(), POLLIN, 0}, {peer_.MasterFd(), POLLIN, 0}};
      if (::poll(fds, 2, 5) > 0) {
        if (fds[0].revents & POLLIN) Forward(program_.MasterFd(), peer_.MasterFd(), &sent_);
        if (fds[1].revents & POLLIN) Forward(peer_.MasterFd(), program_.MasterFd(), nullptr);
      }
      if (done()) return true;
    }
    return done();
  }

  void PressOk(TConfigForm& form, bool portActive, const QString& address) {
    form.show();
    form.findChild<QComboBox*>("ComboPort")->setEditText("2");
    form.findChild<QComboBox*>("CboAddr")->setEditText(address);
    form.findChild<QCheckBox*>("ChkPort")->setChecked(portActive);
    QTest::mouseClick(form.findChild<QPushButton*>("CmdExit"), Qt::LeftButton);
  }

  // Polls until the status line reports good data (a few tries).
  bool PollUntilDataOk() {
    for (int attempt = 0; attempt < 6; ++attempt) {
      session_->poll.PollTimerTimer();
      if (Relay(700, [this] { return view_.Status().find("Data OK") != std::string::npos; })) return true;
    }
    return false;
  }

  PtyPair program_;  // the program's end: COM2
  PtyPair peer_;     // the slave's end
  std::string sent_;  // everything the program wrote
};

TEST_F(ConfigPeerTest, PortActiveAndOkOpensThePortAndPollsReturnTheSlavesValues) {
  ChildProcess slave = StartRtuSlave(peer_.SlavePath(), kValues);
  TConfigForm& form = CreateForm();
  PressOk(form, true, "1");
  ASSERT_TRUE(errors_.isEmpty()) << errors_.join("; ").toStdString();
  EXPECT_TRUE(session_->control.PortActive());
  ASSERT_TRUE(Relay(3000, [this] { return sent_.size() >= 9; }));
  EXPECT_EQ(sent_.substr(0, 9), "Open Port");
  Relay(800);  // the slave drops "Open Port" as a broken frame
  ASSERT_TRUE(PollUntilDataOk()) << view_.Status();
  EXPECT_EQ(view_.Status().rfind("Poll ", 0), 0u);
  EXPECT_EQ(view_.Shown[ValueBox::PV], " 245.000");
  EXPECT_EQ(view_.Shown[ValueBox::Out], "  50.000");
  EXPECT_EQ(sent_[9], '\x01');  // the first request went to slave 1
}

TEST_F(ConfigPeerTest, AddressSeventeenSendsEveryLaterRequestToSlaveSeventeen) {
  std::vector<std::string> args = kValues;
  args.insert(args.end(), {"--slave", "17"});
  ChildProcess slave = StartRtuSlave(peer_.SlavePath(), args);
  TConfigForm& form = CreateForm();
  PressOk(form, true, "17");
  ASSERT_TRUE(errors_.isEmpty());
  EXPECT_EQ(session_->settings.Link.SlaveAddress, 17);
  ASSERT_TRUE(Relay(3000, [this] { return sent_.size() >= 9; }));
  Relay(800);
  sent_.clear();
  ASSERT_TRUE(PollUntilDataOk()) << view_.Status();
  EXPECT_EQ(view_.Shown[ValueBox::PV], " 245.000");
  // Every request on the line: address 17, function 3.
  ASSERT_GE(sent_.size(), 8u);
  ASSERT_EQ(sent_.size() % 8, 0u) << ToHex(sent_);
  for (std::size_t at = 0; at < sent_.size(); at += 8) EXPECT_EQ(ToHex(sent_.substr(at, 2)), "11 03") << at;
  form.show();
  EXPECT_EQ(form.findChild<QComboBox*>("CboAddr")->currentText(), "17");
}

TEST_F(ConfigPeerTest, OkWithPortActiveUntickedClosesThePort) {
  ChildProcess slave = StartRtuSlave(peer_.SlavePath(), kValues);
  TConfigForm& form = CreateForm();
  PressOk(form, true, "1");
  ASSERT_TRUE(session_->control.PortActive());
  ASSERT_TRUE(Relay(3000, [this] { return sent_.size() >= 9; }));
  PressOk(form, false, "1");
  EXPECT_FALSE(session_->control.PortActive());
  EXPECT_FALSE(form.isVisible());
  Relay(200);
  sent_.clear();
  session_->poll.PollTimerTimer();
  Relay(500);
  EXPECT_EQ(sent_, "");  // nothing goes out on a closed port
  EXPECT_EQ(session_->settings.Link.PortNumber, 2);
}

}  // namespace
}  // namespace korvane::test
