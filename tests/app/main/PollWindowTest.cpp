// The poll cycle driven through the main window, its port on a
// pseudo-terminal played by the test: what each tick puts on the line, the
// status line for every kind of reply, the boxes, pause, writes, bad input.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/AppTestSupport.h"
#include "app/chart/LiveChart.h"
#include "app/main/TickCount.h"
#include "poll/PollCycle.h"

namespace korvane::test {
namespace {

class PollWindow : public ::testing::Test {
 protected:
  void Open(int baud = 9600, bool rtu = true) {
    form->AppSettings().Link.RtuMode = rtu;
    OpenWindowPort(*form, baud);
    ASSERT_EQ(pty.ReadAtLeast(9, Millis(2000)), "Open Port");
  }
  // One poll tick and the frame it put on the line ("" when none came).
  std::string Tick(Millis wait = Millis(1000)) {
    form->PollTimerTimer();
    if (!form->AppSettings().Link.RtuMode) {
      std::string frame;
      for (const auto& piece : pty.ReadPieces(wait, [](const std::string& s) {
             return s.find('\n') != std::string::npos;
           }))
        frame += piece;
      return frame;
    }
    return pty.ReadAtLeast(8, wait);
  }
  // Sends a reply to the window and waits until the status line reads `status`.
  bool Reply(const std::string& bytes, const std::string& status) {
    pty.Write(bytes);
    return WaitUntil([&] { return Status() == status; });
  }
  std::string Status() const { return w.TxtStatus->text().toStdString(); }
  std::string Box(QLineEdit* edit) const { return edit->text().toStdString(); }

  PtyPair pty;
  TempDir dir;
  std::unique_ptr<TMainForm> form = MakeWindowOn(pty.SlavePath(), dir);
  const MainFormWidgets& w = form->Widgets();
};

// The function code of a request frame; 0 for none.
int FunctionOf(const std::string& frame) {
  return frame.size() > 1 ? static_cast<unsigned char>(frame[1]) : 0;
}

std::vector<std::uint16_t> Block() {
  std::vector<std::uint16_t> v(20);
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint16_t>(100 + i);
  v[0] = 250;      // SP, address 0, factor 1
  v[1] = 0x00FA;   // PV, address 1, factor 1
  v[2] = 0xFFF6;   // Out, address 2, factor 0.1 -> -1.0
  v[11] = 150;     // Ki, address 11, factor 0.01
  v[12] = 30;      // Kd, address 12, factor 1
  v[13] = 0x9C40;  // Kp, address 13, factor 0.1, unsigned
  return v;
}

// ---- Reads and the status line -----------------------------------------------

TEST_F(PollWindow, EveryTickReadsTheWholeBlockAndCountsInTheStatusLine) {
  Open();
  EXPECT_EQ(ToHex(Tick()), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(Status(), "Poll 1");
  EXPECT_EQ(Box(w.TxtPV), "   0.000");  // the image before any reply
  EXPECT_EQ(ToHex(Tick()), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(Status(), "Poll 2");
  EXPECT_EQ(form->Poll().PollCount(), 2);
}

TEST_F(PollWindow, GoodReplyShowsDataOkAndTheScaledValues) {
  Open();
  Tick();
  ASSERT_TRUE(Reply(RtuReadReply(Block()), "Poll 1 Data OK")) << Status();
  EXPECT_EQ(Box(w.TxtPV), " 250.000");
  EXPECT_EQ(Box(w.TxtOut), "  -1.000");
  EXPECT_EQ(Box(w.TxtSetPt), " 250.000");
  EXPECT_EQ(Box(w.TxtK), "4000.000");
  EXPECT_EQ(Box(w.TxtKi), "   1.500");
  EXPECT_EQ(Box(w.TxtKd), "  30.000");
  EXPECT_FALSE(form->History().Points().Empty());  // the chart took a sample
}

TEST_F(PollWindow, UpdateValuesOnPollUntickedKeepsTheEntryBoxes) {
  Open();
  w.ChkUpdate->setChecked(false);
  w.TxtK->setText("typed");
  Tick();
  ASSERT_TRUE(Reply(RtuReadReply(Block()), "Poll 1 Data OK"));
  EXPECT_EQ(Box(w.TxtPV), " 250.000");
  EXPECT_EQ(Box(w.TxtOut), "  -1.000");
  EXPECT_EQ(Box(w.TxtK), "typed");
  EXPECT_EQ(Box(w.TxtSetPt), "");
}

TEST_F(PollWindow, EveryFailedReplyHasItsTextAndKeepsTheValues) {
  Open();
  Tick();
  ASSERT_TRUE(Reply(RtuReadReply(Block()), "Poll 1 Data OK"));

  std::string badCrc = RtuReadReply(std::vector<std::uint16_t>(20, 7));
  badCrc.back() = static_cast<char>(badCrc.back() ^ 0x55);
  struct Case {
    std::string reply;
    std::string text;  // after "Poll N"
  };
  const std::vector<Case> cases{
      {badCrc, " Checksum incorrect"},
      {RtuException(1), " EC1 Illegal Function"},
      {RtuException(2), " EC2 Illegal Data Address"},
      {RtuException(3), " EC3 Illegal Data Value"},
      {RtuException(4), " EC4 Slave Device Failure"},
      {RtuException(5), " EC5 Acknowlegde"},
      {RtuException(6), " EC6 Slave Device Busy"},
      {RtuException(7), " EC7 Negative Acknowledge"},
      {RtuException(8), " EC8 Memory Parity Error"},
      {RtuException(11), " EC11"},
      {RtuException(255), " EC255"},
  };
  int poll = 1;
  for (const Case& c : cases) {
    Tick();
    ++poll;
    const std::string expected = "Poll " + std::to_string(poll) + c.text;
    EXPECT_TRUE(Reply(c.reply, expected)) << expected << " / " << Status();
    EXPECT_EQ(Box(w.TxtPV), " 250.000");
    EXPECT_EQ(Box(w.TxtK), "4000.000");
  }
}

TEST_F(PollWindow, LateReplyReadsTimeOut) {
  Open();
  Tick();
  form->State().ReplyDeadline = static_cast<std::int32_t>(TickCount()) - 1000;
  EXPECT_TRUE(Reply(RtuReadReply(Block()), "Poll 1 Time Out occurred")) << Status();
}

TEST_F(PollWindow, OverlongAsciiReplyReadsPacketTooLong) {
  Open(9600, false);
  EXPECT_EQ(Tick(), ":010300000014E8\r\n");
  EXPECT_TRUE(Reply(":" + std::string(520, 'A'), "Poll 1 Packet Too Long")) << Status();
}

TEST_F(PollWindow, GarbageAndSilenceLeaveTheLastGoodValues) {
  Open();
  Tick();
  ASSERT_TRUE(Reply(RtuReadReply(Block()), "Poll 1 Data OK"));
  Tick();
  pty.Write(std::string("\xFF\x00 garbage \x02\x7F", 13));
  PumpFor(Millis(200));
  EXPECT_EQ(Status(), "Poll 2");
  EXPECT_EQ(Box(w.TxtPV), " 250.000");
  Tick();  // no answer at all: the next tick simply polls again
  PumpFor(Millis(100));
  EXPECT_EQ(Status(), "Poll 3");
  EXPECT_EQ(Box(w.TxtOut), "  -1.000");
  EXPECT_EQ(form->Errors().Count(), 0);
}

// ---- Chunk walk -------------------------------------------------------------

TEST_F(PollWindow, Rtu300BaudWalksTheBlockInChunksOfFour) {
  Open(300);
  std::vector<int> starts;
  for (int i = 0; i < 7; ++i) {
    const ReadRequest r = ParseRtuRead(Tick());
    EXPECT_EQ(r.count, 4);
    EXPECT_EQ(form->State().ChunkStart, r.start);
    starts.push_back(r.start);
  }
  EXPECT_EQ(starts, (std::vector<int>{5, 9, 13, 17, 1, 5, 9}));
  EXPECT_EQ(Status(), "Poll 7");
}

TEST_F(PollWindow, Ascii2400BaudAlternatesTwoChunksOfSixteen) {
  Open(2400, false);
  std::vector<int> starts;
  for (int i = 0; i < 4; ++i) {
    const ReadRequest r = ParseAsciiRead(Tick());
    EXPECT_EQ(r.count, 16);
    starts.push_back(r.start);
  }
  EXPECT_EQ(starts, (std::vector<int>{17, 1, 17, 1}));
}

// ---- Writes -----------------------------------------------------------------

TEST_F(PollWindow, SetpointWriteGoesOutInsteadOfTheRead) {
  Open();
  Tick();
  form->AppSettings().Map.FactorSP = 0.1f;
  w.TxtSetPt->setText("25");
  w.SPWrite->click();
  EXPECT_EQ(form->Poll().PendingWrite(), 26);
  EXPECT_EQ(ToHex(Tick()), "01 06 00 19 00 FA D8 4E");
  EXPECT_EQ(Status(), "Write -");
  EXPECT_EQ(form->Poll().PollCount(), 1);
  EXPECT_EQ(form->Poll().PendingWrite(), 0);
  EXPECT_TRUE(Reply(FromHex("01 06 00 19 00 FA D8 4E"), "Write -  Data OK")) << Status();
  EXPECT_EQ(ToHex(Tick()), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(Status(), "Poll 2");
}

TEST_F(PollWindow, OnlyTheLastWriteButtonPressedBeforeTheTickIsSent) {
  Open();
  w.TxtKd->setText("5");
  w.TxtKi->setText("2");
  w.KdWrite->click();
  w.KiWrite->click();
  // Ki: register 12 (wire 11), 2 / 0.01 = 200.
  EXPECT_EQ(ToHex(Tick().substr(0, 6)), "01 06 00 0B 00 C8");
  EXPECT_EQ(pty.ReadFor(Millis(100)), "");
}

TEST_F(PollWindow, PauseStopsReadsButNotAPendingWrite) {
  Open();
  w.CmdHold->click();
  ASSERT_TRUE(form->History().ChartPaused());
  EXPECT_EQ(Tick(Millis(200)), "");
  EXPECT_EQ(form->Poll().PollCount(), 0);

  w.TxtK->setText("12.5");
  w.KWrite->click();
  EXPECT_EQ(ToHex(Tick().substr(0, 6)), "01 06 00 0D 00 7D");  // 12.5 / 0.1 = 125
  // The echo still shows in the status line, but adds no chart sample.
  EXPECT_TRUE(Reply(WithCrc(FromHex("01 06 00 0D 00 7D")), "Write -  Data OK")) << Status();
  EXPECT_TRUE(form->History().Points().Empty());  // no samples while paused

  w.CmdHold->click();  // Restart
  EXPECT_FALSE(form->History().ChartPaused());
  EXPECT_EQ(ParseRtuRead(Tick()).start, 1);
  EXPECT_EQ(form->Poll().PollCount(), 1);
}

// ---- Bad input --------------------------------------------------------------

const std::vector<std::string>& BadTexts() {
  static const std::vector<std::string> texts{
      "", " ", "   ", "abc", "12abc", "25 ", " 25.5x", "1e", "1e999", "-1e999", "1e-999",
      "99999999999999999999999999", "4e4", "-40000", "0x10", "$FF", "25,5", "..", "+-1", "NaN",
      "inf", "\t7", "\xC3\xA9\xC3\xA9", std::string(5000, '9')};
  return texts;
}

TEST_F(PollWindow, WriteBoxesAcceptAnyTextAndNothingStaysPending) {
  Open();
  struct Entry {
    QLineEdit* box;
    QPushButton* button;
  };
  for (const Entry& e : {Entry{w.TxtSetPt, w.SPWrite}, Entry{w.TxtK, w.KWrite},
                         Entry{w.TxtKi, w.KiWrite}, Entry{w.TxtKd, w.KdWrite}}) {
    for (const std::string& text : BadTexts()) {
      SCOPED_TRACE(e.box->objectName().toStdString() + " '" + text.substr(0, 20) + "'");
      e.box->setText(QString::fromStdString(text));
      e.button->click();
      const std::string sent = Tick(Millis(20));  // a write is on the line at once
      if (!sent.empty()) {
        EXPECT_EQ(FunctionOf(sent), 6);  // a write or nothing
      }
      EXPECT_EQ(form->Poll().PendingWrite(), 0);
      EXPECT_EQ(FunctionOf(Tick()), 3);  // and the next tick reads again
    }
  }
  EXPECT_EQ(form->Errors().Count(), 0);
}

TEST_F(PollWindow, FactorZeroRefusesTheWriteWithoutLeavingItPending) {
  Open();
  form->AppSettings().Map.FactorKp = 0.0f;
  w.TxtK->setText("5");
  w.KWrite->click();
  EXPECT_EQ(Tick(Millis(150)), "");
  EXPECT_EQ(form->Poll().PendingWrite(), 0);
  EXPECT_FALSE(Status().empty());  // the operator is told in the status line
  EXPECT_EQ(form->Errors().Count(), 0);
  EXPECT_EQ(FunctionOf(Tick()), 3);
}

TEST_F(PollWindow, EveryEditBoxTakesAnyTextThroughTicksRepliesAndRedraws) {
  Open();
  for (const std::string& text : BadTexts()) {
    SCOPED_TRACE("'" + text.substr(0, 20) + "'");
    for (QLineEdit* box : form->findChildren<QLineEdit*>()) box->setText(QString::fromStdString(text));
    Tick();
    pty.Write(RtuReadReply(Block()));
    EXPECT_TRUE(WaitUntil([&] { return Status().find("Data OK") != std::string::npos; }));
    form->Chart().GraphTimeTimerTimer();
  }
  EXPECT_EQ(form->Errors().Count(), 0);
  EXPECT_TRUE(form->isEnabled());
}

// ---- Errors of handlers ---------------------------------------------------

TEST_F(PollWindow, ASendErrorIsShownInTheMessageBoxAndPollingGoesOn) {
  Open();
  form->Serial1().Close();  // the port went away under the switched-on control
  form->PollTimerTimer();
  EXPECT_EQ(form->Errors().LastMessage(), "COM1 is not open.");
  ASSERT_NE(form->Errors().Box(), nullptr);
  EXPECT_TRUE(form->Errors().Box()->isVisible());
  EXPECT_FALSE(form->Errors().Box()->isModal());
  form->PollTimerTimer();
  EXPECT_EQ(form->Errors().Count(), 2);
  EXPECT_EQ(form->findChildren<QMessageBox*>().size(), 1);  // one box, reused
}

}  // namespace
}  // namespace korvane::test
