// Line edits and scroll bars drawn over a kept picture show the same pixels
// as the style draws them directly, also after what the picture depends on
// changed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <functional>

#include "app/widgets/PanelPicture.h"
#include "app/widgets/QuietScrollBar.h"

namespace korvane {
namespace {

struct Twin {
  explicit Twin(bool kept) : group("Plot") {
    auto* column = new QVBoxLayout(&group);
    edit = new QLineEdit("Poll 1", &group);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);  // the twins' windows are not both active
    bar = kept ? new QuietScrollBar(Qt::Horizontal, &group) : new QScrollBar(Qt::Horizontal, &group);
    bar->setRange(-400, 0);
    if (kept) KeepPanelPicture(edit);
    column->addWidget(edit);
    column->addWidget(bar);
    group.resize(257, 110);
    group.show();
  }
  QGroupBox group;
  QLineEdit* edit;
  QScrollBar* bar;
};

TEST(KeptPictureTest, ShowsThePixelsTheStyleDraws) {
  Twin plain(false);
  Twin kept(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&plain.group));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&kept.group));
  struct Row {
    const char* change;
    std::function<void(Twin&)> apply;
  };
  const Row rows[] = {
      {"as built", [](Twin&) {}},
      {"a new text", [](Twin& t) { t.edit->setText("Poll 12 EC2 Illegal Data Address"); }},
      {"a longer range", [](Twin& t) { t.bar->setMinimum(-4000); }},
      {"the handle moved", [](Twin& t) { t.bar->setValue(-1000); }},
      {"nothing to scroll", [](Twin& t) { t.bar->setRange(0, 0); }},
      {"a new size", [](Twin& t) { t.group.resize(300, 140); }},
      {"disabled", [](Twin& t) { t.group.setEnabled(false); }},
      {"enabled again", [](Twin& t) { t.group.setEnabled(true); }},
      {"a palette of the edit's own",
       [](Twin& t) {
         QPalette palette = t.edit->palette();
         palette.setColor(QPalette::Base, QColor(255, 255, 200));
         palette.setColor(QPalette::Window, QColor(200, 220, 255));
         t.edit->setPalette(palette);
       }},
  };
  for (const Row& row : rows) {
    row.apply(plain);
    row.apply(kept);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    const QImage want = plain.group.grab().toImage();
    const QImage got = kept.group.grab().toImage();
    ASSERT_EQ(want.size(), got.size()) << row.change;
    int differing = 0;
    for (int y = 0; y < want.height(); ++y) {
      for (int x = 0; x < want.width(); ++x) differing += want.pixel(x, y) != got.pixel(x, y) ? 1 : 0;
    }
    EXPECT_EQ(differing, 0) << row.change;
  }
}

}  // namespace
}  // namespace korvane
