// A box whose text changes several times within one screen refresh is
// painted once, with its last text; the widget's own text never waits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <string>
#include <vector>

#include "app/widgets/RefreshHold.h"

namespace korvane {
namespace {

// The box's text at each of its paints.
class PaintedTexts : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) texts.push_back(static_cast<QLineEdit*>(watched)->text().toStdString());
    return false;
  }
  std::vector<std::string> texts;
};

class RefreshHoldTest : public ::testing::Test {
 protected:
  RefreshHoldTest() {
    box_.resize(240, 24);
    box_.setReadOnly(true);
    box_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&box_));
    Settle();
    box_.installEventFilter(&painted_);
  }
  void Show(const std::string& text) {
    hold_.Change([&] { box_.setText(QString::fromStdString(text)); });
    EXPECT_EQ(box_.text().toStdString(), text);  // at once, for readers and assistive tools
  }
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }

  QLineEdit box_;
  RefreshHold& hold_ = *new RefreshHold(&box_);  // owned by the box
  PaintedTexts painted_;
};

// "|" ends a screen refresh; the texts between two ends fall within one.
TEST_F(RefreshHoldTest, EachRefreshPaintsItsLastTextInOrder) {
  struct Row {
    std::vector<std::string> steps;
    std::vector<std::string> painted;
  };
  const Row rows[] = {
      {{"Poll 1", "|", "Poll 1 Data OK", "|"}, {"Poll 1", "Poll 1 Data OK"}},  // a reply slower than a refresh
      {{"Poll 2", "Poll 2 Data OK", "|"}, {"Poll 2 Data OK"}},
      {{"Poll 3", "Poll 3 Checksum incorrect", "Poll 3 Data OK", "|", "Poll 4", "|"},
       {"Poll 3 Data OK", "Poll 4"}},
      {{"Write -", "Write -  Data OK", "Poll 5", "|", "|"}, {"Poll 5"}},  // a quiet refresh paints nothing
  };
  for (const Row& row : rows) {
    painted_.texts.clear();
    for (const std::string& step : row.steps) {
      if (step != "|") {
        Show(step);
        continue;
      }
      hold_.Release();
      Settle();
    }
    EXPECT_EQ(painted_.texts, row.painted) << row.steps.front();
  }
}

TEST_F(RefreshHoldTest, TheRefreshTimerPaintsTheLastText) {
  for (const char* text : {"Poll 6", "Poll 6 Time Out occurred", "Poll 7"}) Show(text);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !hold_.Holding() && !painted_.texts.empty(); }, 5000));
  Settle();
  ASSERT_FALSE(painted_.texts.empty());
  EXPECT_EQ(painted_.texts.back(), "Poll 7");
}

// A picture taken within the refresh (a grab, an exposed window) shows the
// newest text, never an empty box.
TEST_F(RefreshHoldTest, APictureWithinTheRefreshShowsTheNewestText) {
  Show("Poll 8 Data OK");
  const QImage within = box_.grab().toImage();
  hold_.Release();
  Settle();
  EXPECT_EQ(within, box_.grab().toImage());
}

}  // namespace
}  // namespace korvane
