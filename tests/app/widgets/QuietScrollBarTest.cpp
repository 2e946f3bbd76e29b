// The scroll bar that repaints on a new range or value only when its handle
// moved or reached an end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QTest>

#include "app/widgets/QuietScrollBar.h"

namespace korvane {
namespace {

class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

class QuietScrollBarTest : public ::testing::Test {
 protected:
  QuietScrollBarTest() {
    bar_.resize(300, 16);
    bar_.setPageStep(1);
    bar_.setRange(-400, 0);
    bar_.setValue(0);
    bar_.installEventFilter(&counter_);
    bar_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&bar_));
    Settle();
  }
  int PaintsAfter(const std::function<void()>& change) {
    Settle();
    counter_.paints = 0;
    change();
    Settle();
    return counter_.paints;
  }
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }

  QuietScrollBar bar_{Qt::Horizontal};
  PaintCounter counter_;
};

TEST_F(QuietScrollBarTest, ARangeThatLeavesTheHandleInPlaceIsNotRepainted) {
  const auto look = bar_.CurrentLook();
  EXPECT_EQ(PaintsAfter([&] { bar_.setMinimum(-401); }), 0);  // the handle stays at the right end
  EXPECT_EQ(bar_.CurrentLook(), look);
  EXPECT_EQ(bar_.minimum(), -401);
}

TEST_F(QuietScrollBarTest, AMovedHandleOrAnEndReachedIsRepainted) {
  EXPECT_GE(PaintsAfter([&] { bar_.setValue(-200); }), 1);
  EXPECT_GE(PaintsAfter([&] { bar_.setValue(bar_.minimum()); }), 1);
  EXPECT_GE(PaintsAfter([&] { bar_.setRange(0, 0); }), 1);  // nothing left to scroll
}

TEST_F(QuietScrollBarTest, OtherCausesStillRepaint) {
  EXPECT_GE(PaintsAfter([&] { bar_.setEnabled(false); }), 1);
  EXPECT_GE(PaintsAfter([&] { bar_.resize(200, 16); }), 1);
}

}  // namespace
}  // namespace korvane
