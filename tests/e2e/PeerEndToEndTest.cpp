// End to end: the main window's COM1 on a pseudo-terminal, joined by a relay
// to a real Modbus slave (libmodbus RTU, pymodbus ASCII), the poll timer
// running. The relay records every byte the window puts on the wire.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/AppTestSupport.h"
#include "poll/PollCycle.h"

namespace korvane::test {
namespace {

// Holding registers 0..13 of the slaves: SP 250, PV 250, Out -10 (x 0.1),
// Ki 150 (x 0.01), Kd 30, Kp 40000 (x 0.1, unsigned).
const char* kValues = "250,250,0xFFF6,103,104,105,106,107,108,109,110,150,30,0x9C40";

class EndToEnd : public ::testing::Test {
 protected:
  void OpenAndJoin(bool rtu) {
    form->AppSettings().Link.RtuMode = rtu;
    OpenWindowPort(*form);
    ASSERT_EQ(windowPty.ReadAtLeast(9, Millis(2000)), "Open Port");
    relay = std::make_unique<WireRelay>(windowPty, peerPty);
    QObject::connect(w.TxtStatus, &QLineEdit::textChanged,
                     [this](const QString& text) { statuses.push_back(text.toStdString()); });
  }
  void StartPolling() {
    form->PollTimer().setInterval(150);
    form->PollTimer().start();
  }
  bool Seen(const std::string& status) const {
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
  }
  bool WaitForStatus(const std::string& status, Millis timeout = Millis(5000)) {
    return WaitUntil([&] { return Seen(status); }, timeout);
  }
  void ExpectSlaveValuesShown() {
    EXPECT_EQ(w.TxtPV->text(), " 250.000");
    EXPECT_EQ(w.TxtOut->text(), "  -1.000");
    EXPECT_EQ(w.TxtSetPt->text(), " 250.000");
    EXPECT_EQ(w.TxtK->text(), "4000.000");
    EXPECT_EQ(w.TxtKi->text(), "   1.500");
    EXPECT_EQ(w.TxtKd->text(), "  30.000");
  }

  PtyPair windowPty;
  PtyPair peerPty;
  TempDir dir;
  // Before the window: its destructor may still deliver a reply that
  // changes the status line.
  std::vector<std::string> statuses;
  std::unique_ptr<TMainForm> form = MakeWindowOn(windowPty.SlavePath(), dir);
  const MainFormWidgets& w = form->Widgets();
  std::unique_ptr<WireRelay> relay;
};

TEST_F(EndToEnd, RtuSlaveIsPolledAndItsValuesShown) {
  auto slave = StartRtuSlave(peerPty.SlavePath(), {"--values", kValues});
  OpenAndJoin(true);
  StartPolling();
  ASSERT_TRUE(WaitForStatus("Poll 3 Data OK")) << (statuses.empty() ? "" : statuses.back());
  EXPECT_TRUE(Seen("Poll 1 Data OK"));
  EXPECT_TRUE(Seen("Poll 2 Data OK"));
  ExpectSlaveValuesShown();
  EXPECT_EQ(ToHex(relay->SentByWindow().substr(0, 8)), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(form->Errors().Count(), 0);
}

TEST_F(EndToEnd, SlaveWhoseMapEndsEarlyGivesEC2AndTheBoxesKeepTheirValues) {
  auto slave = StartRtuSlave(peerPty.SlavePath(), {"--values", kValues});
  OpenAndJoin(true);
  StartPolling();
  ASSERT_TRUE(WaitForStatus("Poll 1 Data OK"));
  form->PollTimer().stop();
  slave.Terminate();

  auto shortSlave = StartRtuSlave(peerPty.SlavePath(), {"--count", "19", "--values", "1,2,3"});
  const int next = form->Poll().PollCount() + 1;
  StartPolling();
  ASSERT_TRUE(WaitForStatus("Poll " + std::to_string(next) + " EC2 Illegal Data Address"))
      << (statuses.empty() ? "" : statuses.back());
  PumpFor(Millis(200));
  ExpectSlaveValuesShown();
}

TEST_F(EndToEnd, AsciiSlaveShowsTheSameValues) {
  auto slave = StartAsciiSlave(peerPty.SlavePath(), {"--values", kValues});
  OpenAndJoin(false);
  StartPolling();
  ASSERT_TRUE(WaitUntil([&] {
    return std::any_of(statuses.begin(), statuses.end(),
                       [](const std::string& s) { return s.ends_with(" Data OK"); });
  }, Millis(8000))) << (statuses.empty() ? "" : statuses.back());
  PumpFor(Millis(100));
  ExpectSlaveValuesShown();
  EXPECT_EQ(relay->SentByWindow().substr(0, 17), ":010300000014E8\r\n");
}

TEST_F(EndToEnd, SetpointWritePutsTheExactFrameOnTheWireAndTheSlaveStoresIt) {
  auto slave = StartRtuSlave(peerPty.SlavePath(), {"--values", kValues});
  OpenAndJoin(true);
  form->PollTimerTimer();
  ASSERT_TRUE(WaitForStatus("Poll 1 Data OK"));

  form->AppSettings().Map.FactorSP = 0.1f;
  w.TxtSetPt->setText("25");
  w.SPWrite->click();
  relay->ClearSent();
  form->PollTimerTimer();
  EXPECT_EQ(form->Poll().PollCount(), 1);  // the write tick counts no poll
  EXPECT_EQ(w.TxtStatus->text(), "Write -");
  ASSERT_TRUE(WaitForStatus("Write -  Data OK"));
  EXPECT_EQ(ToHex(relay->SentByWindow()), "01 06 00 19 00 FA D8 4E");
  EXPECT_TRUE(slave.WaitForLine("hr 25=250", Millis(2000)));

  relay->ClearSent();
  form->PollTimerTimer();  // the next tick reads again
  ASSERT_TRUE(WaitForStatus("Poll 2 Data OK"));
  EXPECT_EQ(ToHex(relay->SentByWindow()), "01 03 00 00 00 14 45 C5");
}

// One map with a value of every format family away from the default block,
// against the libmodbus slave: what the window shows and what goes on the wire.
TEST_F(EndToEnd, ThirtyTwoBitValuesAndInputRegistersAreReadAndWrittenAsTheMapSays) {
  auto slave = StartRtuSlave(peerPty.SlavePath(),
                             {"--values", kValues, "--words", "ir:4096=0x2000,0x47F1",  // PV 123456.0, f32-CDAB
                              "--words", "hr:3000=0x90EE,0xFEFF,0,0,0,0"});             // Kd -70000, s32-DCBA
  RegisterMap& m = form->AppSettings().Map;
  m.AddrPV = 4096;
  m.LayoutPV = {RegisterFormat::F32, WordOrder::CDAB, RegisterTable::Input};
  m.AddrKd = 3000;
  m.LayoutKd = {RegisterFormat::S32, WordOrder::DCBA};
  m.AddrSP = 3002;
  m.FactorSP = 1;
  m.LayoutSP = {RegisterFormat::F32};
  m.AddrKp = 3004;
  m.FactorKp = 1;
  m.LayoutKp = {RegisterFormat::S32, WordOrder::CDAB};
  OpenAndJoin(true);
  form->PollTimerTimer();
  ASSERT_TRUE(WaitUntil([&] { return relay->SentByWindow().size() >= 3 * 8; }, Millis(5000)));
  ASSERT_TRUE(WaitUntil([&] { return w.TxtPV->text() == "123456.000"; }, Millis(5000))) << w.TxtPV->text().toStdString();
  EXPECT_TRUE(Seen("Poll 1 Data OK"));
  EXPECT_EQ(ToHex(relay->SentByWindow()), "01 03 00 02 00 10 E5 C6 01 03 0B B8 00 06 47 C9 01 04 10 00 00 02 75 0B");
  EXPECT_EQ(w.TxtPV->text(), "123456.000");
  EXPECT_EQ(w.TxtKd->text(), "-70000.000");
  EXPECT_EQ(w.TxtOut->text(), "  -1.000");
  EXPECT_EQ(form->Poll().PollCount(), 1);

  // The bytes of a write's frame once `bytes` of them are on the wire.
  const auto write = [&](QLineEdit* box, QPushButton* button, const char* text, std::size_t bytes) {
    relay->ClearSent();
    box->setText(text);
    button->click();
    form->PollTimerTimer();
    EXPECT_TRUE(WaitUntil([&] { return relay->SentByWindow().size() >= bytes; }, Millis(2000)));
    return ToHex(relay->SentByWindow());
  };
  EXPECT_EQ(write(w.TxtSetPt, w.SPWrite, "123.5", 13), "01 10 0B BA 00 02 04 42 F7 00 00 AE 1E");
  EXPECT_TRUE(slave.WaitForLine("hr 3003=0", Millis(2000)));
  EXPECT_EQ(write(w.TxtK, w.KWrite, "-70000", 13), "01 10 0B BC 00 02 04 EE 90 FF FE 7E CB");
  EXPECT_TRUE(slave.WaitForLine("hr 3005=65534", Millis(2000)));
  m.LayoutSP = {RegisterFormat::S16, WordOrder::ABCD, RegisterTable::Holding, 300};
  EXPECT_EQ(write(w.TxtSetPt, w.SPWrite, "25", 8), "01 06 01 2C 00 19 88 35");
  EXPECT_TRUE(slave.WaitForLine("hr 300=25", Millis(2000)));
  EXPECT_EQ(form->Errors().Count(), 0);
}

}  // namespace
}  // namespace korvane::test
