// The "Link" and "Frames" docks in the main window: shown by View > Link and
// View > Frames, fed by a poll over a pseudo-terminal; Reset, Pause, Clear
// and Save; names for every control.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QLabel>
#include <QMessageBox>
#include <QLineEdit>
#include <QPushButton>

#include <fstream>
#include <sstream>

#include "app/AppTestSupport.h"
#include "app/link/FrameListView.h"
#include "app/link/FramesPanel.h"
#include "app/link/LinkPanel.h"
#include "app/link/LinkPanels.h"
#include "link/LinkMonitor.h"

namespace korvane::test {
namespace {

class LinkDocks : public ::testing::Test {
 protected:
  // One poll tick answered with `reply` by the far end of the line.
  void Poll(const std::string& reply) {
    const auto replies = Link().Monitor().Counts().Reply.Count;
    form->PollTimerTimer();
    pty.ReadAtLeast(8, Millis(1000));
    pty.Write(reply);
    WaitUntil([&] { return Link().Monitor().Counts().Reply.Count > replies; });
  }
  LinkPanels& Link() { return form->Link(); }
  QString Shown(const char* name) { return Link().Link().Value(name)->text(); }

  PtyPair pty;
  TempDir dir;
  std::unique_ptr<TMainForm> form = MakeWindowOn(pty.SlavePath(), dir);
};

TEST_F(LinkDocks, EveryControlHasANameAndAnAccessibleName) {
  for (QWidget* dock : {static_cast<QWidget*>(&Link().Link()), static_cast<QWidget*>(&Link().Frames())}) {
    EXPECT_FALSE(dock->accessibleName().isEmpty());
    for (QWidget* w : dock->findChildren<QWidget*>()) {
      if (!qobject_cast<QLabel*>(w) && !qobject_cast<QPushButton*>(w) && !qobject_cast<QLineEdit*>(w) &&
          !qobject_cast<FrameListView*>(w))
        continue;
      EXPECT_FALSE(w->objectName().isEmpty()) << w->metaObject()->className();
      EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
  }
}

TEST_F(LinkDocks, LinkPanelCountsThePollAndResets) {
  EXPECT_FALSE(Link().Link().isVisible());
  form->show();
  Link().LinkAction()->trigger();
  EXPECT_TRUE(Link().Link().isVisible());
  EXPECT_EQ(Shown("LblLinkPort"), "closed");
  OpenWindowPort(*form);
  pty.ReadAtLeast(9, Millis(1000));  // "Open Port"
  Poll(RtuReadReply(std::vector<std::uint16_t>(20, 7)));
  Poll(RtuException(2));
  Link().Link().Refresh();
  EXPECT_EQ(Shown("LblLinkPort"), "open (COM1)");
  EXPECT_EQ(Shown("LblLinkRequests"), "2");
  EXPECT_EQ(Shown("LblLinkGood"), "1");
  EXPECT_EQ(Shown("LblLinkExceptions"), "1 (EC2: 1)");
  EXPECT_EQ(Shown("LblLinkBytesSent"), "25");
  EXPECT_EQ(Shown("LblLinkBytesReceived"), "50");
  Link().Link().ResetButton()->click();
  EXPECT_EQ(Shown("LblLinkRequests"), "0");
  EXPECT_EQ(Shown("LblLinkReplyTime"), "-");
}

// The docks refresh when the link changed, not at intervals: a checked
// reply refreshes a shown dock at once and leaves no timer running behind
// it; a hidden dock starts nothing.
TEST_F(LinkDocks, ACheckedReplyRefreshesEachShownDockAtOnceAndLeavesNoTimer) {
  form->show();
  Link().FramesAction()->trigger();
  OpenWindowPort(*form);
  pty.ReadAtLeast(9, Millis(1000));
  auto* frames = Link().Frames().findChild<QTimer*>("FramesRefreshTimer");
  auto* link = Link().Link().findChild<QTimer*>("LinkRefreshTimer");
  ASSERT_NE(frames, nullptr);
  ASSERT_NE(link, nullptr);
  WaitUntil([&] { return !frames->isActive(); });  // "Open Port" shown
  EXPECT_EQ(Link().Frames().List()->LineCount(), 1);
  QTest::qWait(FramesPanel::kRefreshMs);  // a poll a second: the last refresh is older than that
  Poll(RtuReadReply(std::vector<std::uint16_t>(20, 7)));
  EXPECT_EQ(Link().Frames().List()->LineCount(), 3);  // request and reply, by the refresh itself
  EXPECT_FALSE(frames->isActive());
  EXPECT_FALSE(link->isActive());  // the Link dock is hidden
}

TEST_F(LinkDocks, FramesPanelShowsPausesClearsAndSaves) {
  form->show();
  Link().FramesAction()->trigger();
  FramesPanel& frames = Link().Frames();
  OpenWindowPort(*form);
  pty.ReadAtLeast(9, Millis(1000));
  Poll(RtuReadReply(std::vector<std::uint16_t>(20, 7)));
  frames.Refresh();
  FrameListView& list = *frames.List();
  ASSERT_EQ(list.LineCount(), 3);
  EXPECT_TRUE(list.Line(1).contains("  TX  01 03 00 00 00 14 45 C5  slave 1 read holding registers"))
      << list.Line(1).toStdString();
  EXPECT_TRUE(list.Line(2).contains("  RX  01 03 28 00 07")) << list.Line(2).toStdString();

  frames.PauseButton()->click();
  Poll(RtuException(2));
  frames.Refresh();
  EXPECT_EQ(list.LineCount(), 3);
  frames.PauseButton()->click();

  const std::string path = dir.File("frames.txt");
  frames.AskPath = [&](QWidget*) { return QString::fromStdString(path); };
  frames.SaveButton()->click();
  std::ifstream in(path, std::ios::binary);
  std::stringstream saved;
  saved << in.rdbuf();
  EXPECT_EQ(saved.str(), Link().Monitor().FramesText());
  EXPECT_EQ(saved.str().substr(saved.str().size() - 2), "\r\n");

  frames.SaveTo(QString::fromStdString(dir.File("no/such/folder/frames.txt")));
  EXPECT_EQ(form->Errors().Count(), 1);
  EXPECT_EQ(form->Errors().LastMessage(), "File not found");

  frames.ClearButton()->click();
  EXPECT_EQ(list.LineCount(), 0);
  EXPECT_EQ(Link().Monitor().Frames().Size(), 0u);
}

// New lines and scrolling move the rows already drawn and paint only the
// rows that come into view: what the window shows must still equal a fresh
// drawing of the whole list, while filling, once full, and scrolled back.
TEST(FrameList, MovedRowsShowWhatAFreshDrawingShows) {
  QWidget window;
  FrameListView list(40, &window);
  list.resize(420, 160);
  window.resize(420, 160);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto sameAsFresh = [&] {
    QTest::qWait(20);  // the repaint
    const QImage shown = window.screen()->grabWindow(window.winId(), 0, 0, 420, 160).toImage();
    const QImage fresh = list.grab().toImage();
    return shown.convertToFormat(QImage::Format_RGB32) == fresh.convertToFormat(QImage::Format_RGB32);
  };
  int n = 0;
  for (int batch = 0; batch < 25; ++batch) {
    QStringList lines;
    for (int i = 0; i < 1 + batch % 3; ++i) lines << QString("%1  TX  01 03 00 00 00 14 45 C5").arg(n++);
    list.AppendLines(lines);
    if (batch % 4 == 0) {
      EXPECT_TRUE(sameAsFresh()) << batch;
    }
  }
  EXPECT_EQ(list.LineCount(), 40);
  EXPECT_TRUE(sameAsFresh());
  list.verticalScrollBar()->setValue(list.verticalScrollBar()->value() - 3);
  list.AppendLines({"next"});
  EXPECT_TRUE(sameAsFresh());
}

}  // namespace
}  // namespace korvane::test
