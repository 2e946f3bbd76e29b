// The "Trends" window on real widgets: names and places of its controls,
// the placeholder, reading log files page by page, the left and bottom axis
// rules, hiding and showing, and resizing.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QChart>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScrollBar>
#include <QValueAxis>

#include <cstdio>
#include <string>

#include "app/trend/TrendAxisSteps.h"
#include "app/trend/TrendForm.h"
#include "files/TrendViewer.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

// A data log file: heading, factors, caption, then `rows` data lines whose
// Time is firstTime + row (restarting at `restartRow` from 1, when given).
std::string LogFile(int rows, int firstTime = 1, int restartRow = -1) {
  std::string text = "Furnace run\r\nK=  12.500 Ki=   0.250 Kd=  30.000\r\nSecs, Setpoint, PV, Output\r\n";
  for (int row = 0; row < rows; ++row) {
    const int time = restartRow >= 0 && row >= restartRow ? row - restartRow + 1 : firstTime + row;
    char line[80];
    std::snprintf(line, sizeof line, "%d,%8.3f,%8.3f,%8.3f\r\n", time, 75.0, 0.5 * row, row % 100 + 0.25);
    text += line;
  }
  return text;
}

class TrendFormTest : public ::testing::Test {
 protected:
  TrendFormTest() {
    form_.SetOpenDialog([this](QWidget*) { return path_; });
    form_.SetMessageBox([this](QWidget*, const QString& m) { messages_.append(m); });
  }
  void Open(const std::string& name, const std::string& content) {
    dir_.Write(name, content);
    OpenPath(dir_.File(name));
  }
  void OpenPath(const std::string& path) {
    path_ = QString::fromStdString(path);
    w().CmdOpenFile->click();
  }
  const TrendFormWidgets& w() const { return form_.Widgets(); }
  QString Factors() const { return w().TxtK->text() + "|" + w().TxtKi->text() + "|" + w().TxtKd->text(); }
  std::pair<double, double> Left() const { return {w().LeftAxis->min(), w().LeftAxis->max()}; }
  std::pair<double, double> Bottom() const { return {w().BottomAxis->min(), w().BottomAxis->max()}; }
  // Every series shows rows first..first+count-1 of LogFile's table.
  void ExpectRows(int first, int count) const {
    ASSERT_EQ(w().Series1->count(), count);
    ASSERT_EQ(w().Series2->count(), count);
    ASSERT_EQ(w().Series3->count(), count);
    for (int k = 0; k < count; ++k) {
      const int row = first + k;
      EXPECT_EQ(w().Series1->at(k), QPointF(row + 1, 75.0));
      EXPECT_EQ(w().Series2->at(k), QPointF(row + 1, 0.5 * row));
      EXPECT_EQ(w().Series3->at(k), QPointF(row + 1, row % 100 + 0.25));
    }
    const double pad = count == 1 ? 0.5 : 0.0;  // a single Time is shown with room
    EXPECT_EQ(Bottom(), std::make_pair(first + 1.0 - pad, first + count + pad));
  }

  test::TempDir dir_;
  TFrmTrend form_;
  QString path_;
  QStringList messages_;
};

TEST_F(TrendFormTest, EveryControlHasItsNameAndASpokenName) {
  EXPECT_EQ(form_.objectName(), "FrmTrend");
  EXPECT_EQ(form_.windowTitle(), "Trends");
  EXPECT_TRUE(form_.isWindow());
  const char* table[][2] = {
      {"LblHeading", "Open File To Display Trend"}, {"Chart1", "PID"}, {"ScrollBar1", "Trend page"},
      {"GrpPlot", "Plot"}, {"ChkAuto", "Adjust Automatically"}, {"TxtMin", "Minimum"},
      {"TxtMax", "Maximum"}, {"GrpPID", "PID Factors"}, {"TxtK", "Kp"}, {"TxtKi", "Ki"},
      {"TxtKd", "Kd"}, {"CmdOpenFile", "Open File"}, {"CmdExit", "Exit"}};
  for (const auto& [name, spoken] : table) {
    auto* widget = form_.findChild<QWidget*>(name);
    ASSERT_NE(widget, nullptr) << name;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(face, nullptr) << name;
    EXPECT_EQ(face->text(QAccessible::Name), spoken) << name;
  }
}

TEST_F(TrendFormTest, ControlsFollowTheirAnchorsWhenTheWindowIsResized) {
  struct {
    const char* name;
    QRect designed;
    QRect grown;  // window 200 wider, 100 higher
  } table[] = {
      {"Chart1", {24, 24, 609, 417}, {24, 24, 809, 517}},
      {"ScrollBar1", {72, 418, 425, 17}, {72, 518, 625, 17}},
      {"GrpPlot", {640, 21, 188, 124}, {840, 21, 188, 124}},
      {"GrpPID", {640, 152, 188, 121}, {840, 152, 188, 121}},
      {"CmdOpenFile", {659, 418, 73, 25}, {859, 518, 73, 25}},
      {"CmdExit", {747, 418, 73, 25}, {947, 518, 73, 25}},
  };
  form_.show();  // a hidden window gets its resize events only when shown
  EXPECT_EQ(form_.size(), QSize(844, 493));
  for (const auto& row : table) EXPECT_EQ(form_.findChild<QWidget*>(row.name)->geometry(), row.designed) << row.name;
  form_.resize(1044, 593);
  for (const auto& row : table) EXPECT_EQ(form_.findChild<QWidget*>(row.name)->geometry(), row.grown) << row.name;
  form_.resize(844, 493);
  for (const auto& row : table) EXPECT_EQ(form_.findChild<QWidget*>(row.name)->geometry(), row.designed) << row.name;
}

TEST_F(TrendFormTest, EveryCaptionFitsItsControl) {
  form_.show();
  for (QLabel* label : form_.findChildren<QLabel*>()) {
    if (label == w().LblHeading) continue;
    EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
  }
  EXPECT_LE(w().ChkAuto->sizeHint().width(), w().ChkAuto->width());
  // A push button's hint has a style minimum; its caption needs less.
  for (QPushButton* button : {w().CmdOpenFile, w().CmdExit})
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 12, button->width());
}

TEST_F(TrendFormTest, CreationDrawsThePlaceholder) {
  EXPECT_EQ(w().Chart->title(), "PID");
  EXPECT_EQ(Bottom(), std::make_pair(100.0, 200.0));
  ASSERT_EQ(w().Series1->count(), 50);
  for (int i = 0; i < 50; ++i) {
    const QPointF random = w().Series1->at(i);
    EXPECT_EQ(random.x(), 100 + 2 * i);
    EXPECT_TRUE(random.y() >= 0 && random.y() <= 99 && random.y() == int(random.y())) << random.y();
    EXPECT_EQ(w().Series2->at(i), QPointF(100 + 2 * i, i));
    EXPECT_EQ(w().Series3->at(i), QPointF(100 + 2 * i, i));
  }
  EXPECT_EQ(form_.Viewer().TrendStart(), 0);
}

TEST_F(TrendFormTest, OpeningAFileShowsItsTextsAndFirstPageAndKeepsTheScrollPosition) {
  w().ScrollBar1->setValue(500);
  Open("run.log", LogFile(250));
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
  EXPECT_EQ(w().LblHeading->text(), "Furnace run");
  EXPECT_EQ(Factors(), "12.500|0.250|30.000");
  EXPECT_EQ(w().ScrollBar1->value(), 500);
  ExpectRows(0, 100);
}

TEST_F(TrendFormTest, ScrollingShowsThePageAtThePosition) {
  Open("run.log", LogFile(250));
  const int table[][3] = {{200, 200, 50}, {5000, 150, 100}, {0, 0, 100}, {249, 249, 1}};
  for (const auto& [position, first, count] : table) {
    SCOPED_TRACE(position);
    w().ScrollBar1->setValue(position);
    ExpectRows(first, count);
  }
}

TEST_F(TrendFormTest, AFailedReadShowsItsMessageAndChangesNothing) {
  Open("good.log", LogFile(250));
  w().ScrollBar1->setValue(200);
  const struct {
    std::string content;  // empty: the file does not exist
    QString message;
  } table[] = {{"", "File not found"},
               {"Other\r\nK=   1.000 Ki=   2.000 Kd=   3.000\r\nSecs\r\n1,2,3,4\r\n2,2,x3,4\r\n",
                "'x3' is not a valid floating point value"}};
  for (const auto& row : table) {
    messages_.clear();
    if (row.content.empty()) {
      OpenPath(dir_.File("missing.log"));
    } else {
      Open("bad.log", row.content);
    }
    EXPECT_EQ(messages_, QStringList{row.message});
    EXPECT_EQ(w().LblHeading->text(), "Furnace run");
    EXPECT_EQ(Factors(), "12.500|0.250|30.000");
    ExpectRows(200, 50);
  }
}

TEST_F(TrendFormTest, CancellingTheDialogDrawsTheCurrentPageAgain) {
  Open("run.log", LogFile(250));
  w().TxtMin->setText("-20");
  OpenPath("");
  EXPECT_EQ(Left(), std::make_pair(-20.0, 100.0));
  ExpectRows(0, 100);
  EXPECT_EQ(w().LblHeading->text(), "Furnace run");
}

TEST_F(TrendFormTest, AxisControlsTakeEffectAtTheNextDrawingOnly) {
  Open("run.log", LogFile(250));  // page 0..99: setpoint 75, PV 0..49.5
  const struct {
    const char* min;
    const char* max;
    bool automatic;
    double left[2];
  } table[] = {{"10", "100", false, {10, 100}},
               {"0", "60", false, {0, 60}},
               {"0", "100", true, {-3.75, 78.75}}};  // 0..75 widened by 5 %
  for (const auto& row : table) {
    w().TxtMin->setText("0");
    w().TxtMax->setText("100");
    w().ChkAuto->setChecked(false);
    form_.DrawTrend();
    w().TxtMin->setText(row.min);
    w().TxtMax->setText(row.max);
    w().ChkAuto->setChecked(row.automatic);
    EXPECT_EQ(Left(), std::make_pair(0.0, 100.0)) << row.min << " " << row.max;
    form_.DrawTrend();
    EXPECT_NEAR(w().LeftAxis->min(), row.left[0], 1e-9) << row.min << " " << row.max;
    EXPECT_NEAR(w().LeftAxis->max(), row.left[1], 1e-9) << row.min << " " << row.max;
    ExpectRows(0, 100);
  }
}

TEST_F(TrendFormTest, ARefusedFixedRangeIsReportedAndStopsTheDrawing) {
  Open("run.log", LogFile(250));
  const struct {
    const char* min;
    const char* max;
    const char* message;
    std::pair<double, double> left;
  } table[] = {{"150", "200", kAxisMinRefused, {0, 100}}, {"50", "20", kAxisMaxRefused, {50, 100}}};
  for (const auto& row : table) {
    messages_.clear();
    w().TxtMin->setText(row.min);
    w().TxtMax->setText(row.max);
    w().ScrollBar1->setValue(200);
    EXPECT_EQ(messages_, QStringList{row.message});
    EXPECT_EQ(Left(), row.left);
    ExpectRows(0, 100);
    w().TxtMin->setText("0");
    w().TxtMax->setText("100");
    w().ScrollBar1->setValue(0);
  }
}

TEST_F(TrendFormTest, APageWhoseTimesFallIsRefusedWithEmptySeries) {
  // Rows 0..149 carry Times 1..150, rows 150..249 start again from 1.
  Open("two-runs.log", LogFile(250, 1, 150));
  w().ScrollBar1->setValue(100);
  EXPECT_EQ(messages_, QStringList{kAxisMaxRefused});
  EXPECT_EQ(w().Series1->count() + w().Series2->count() + w().Series3->count(), 0);
  w().ScrollBar1->setValue(150);
  EXPECT_EQ(w().Series1->count(), 100);
  EXPECT_EQ(Bottom(), std::make_pair(1.0, 100.0));
}

TEST_F(TrendFormTest, AFileWithoutDataLinesDrawsEmptySeriesAndKeepsTheBottomAxis) {
  Open("run.log", LogFile(250));
  Open("empty.log", LogFile(0));
  EXPECT_EQ(w().Series1->count() + w().Series2->count() + w().Series3->count(), 0);
  EXPECT_EQ(Bottom(), std::make_pair(1.0, 100.0));
}

TEST_F(TrendFormTest, ExitHidesTheWindowAndShowingItAgainKeepsItsContents) {
  form_.ShowForward();
  Open("run.log", LogFile(250));
  w().ScrollBar1->setValue(200);
  w().CmdExit->click();
  EXPECT_FALSE(form_.isVisible());
  form_.ShowForward();
  EXPECT_TRUE(form_.isVisible());
  EXPECT_EQ(w().LblHeading->text(), "Furnace run");
  EXPECT_EQ(w().ScrollBar1->value(), 200);
  ExpectRows(200, 50);
}

TEST(TrendAxisStepsTest, EachCallFollowsTheChartsRule) {
  using B = AxisStep::Bound;
  const struct {
    std::vector<AxisStep> steps;
    double min, max;
    const char* refusal;
  } table[] = {
      {{{B::Min, 10}, {B::Max, 50}}, 10, 50, nullptr},
      {{{B::Min, 150}, {B::Max, 200}}, 0, 100, kAxisMinRefused},
      {{{B::Min, 50}, {B::Max, 20}}, 50, 100, kAxisMaxRefused},
      {{{B::Max, 1e7}, {B::Min, 300}, {B::Max, 400}}, 300, 400, nullptr},
      {{{B::Max, 1e7}, {B::Min, 300}, {B::Max, 200}}, 300, 1e7, kAxisMaxRefused},
      {{{B::Max, 1e7}, {B::Min, 2e7}, {B::Max, 3e7}}, 0, 1e7, kAxisMinRefused},
      {{{B::Min, 100}, {B::Max, 100}}, 100, 100, nullptr},
  };
  for (const auto& row : table) {
    const AxisStepsOutcome out = ApplyAxisSteps({0, 100}, row.steps);
    EXPECT_EQ(out.Range, (AxisSpan{row.min, row.max}));
    EXPECT_EQ(out.Refusal.value_or(""), row.refusal ? row.refusal : "");
  }
}

TEST(TrendAxisStepsTest, AnEmptySpanIsShownHalfAUnitEitherSide) {
  EXPECT_EQ(DisplaySpan({250, 250}), (AxisSpan{249.5, 250.5}));
  EXPECT_EQ(DisplaySpan({1, 2}), (AxisSpan{1, 2}));
}

}  // namespace
}  // namespace korvane
