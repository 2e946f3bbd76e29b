// The main window as it opens: captions, sizes, defaults, the demonstration
// curve, the chart set-up, menus, accessible names, the About box, the
// layout at designed and minimum size, and shutdown.

#include <gtest/gtest.h>

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QValueAxis>

#include <map>
#include <set>

#include "app/AppTestSupport.h"
#include "app/chart/LiveChart.h"
#include "app/config/ConfigForm.h"
#include "app/trend/DataLogCommands.h"
#include "app/trend/TrendForm.h"
#include "app/widgets/AboutForm.h"
#include "poll/PollCycle.h"
#include "ports/ComNameMap.h"
#include "ports/DeviceOpener.h"

namespace korvane::test {
namespace {

class StartUp : public ::testing::Test {
 protected:
  PtyPair pty;
  TempDir dir;
  std::unique_ptr<TMainForm> form = MakeWindowOn(pty.SlavePath(), dir);
  const MainFormWidgets& w = form->Widgets();
};

// ---- Window, timers and defaults ------------------------------------------

TEST_F(StartUp, CaptionDesignedAndMinimumSize) {
  EXPECT_EQ(form->windowTitle(), "Korvane v1.5.2");
  EXPECT_EQ(form->size(), QSize(1000, 623));
  EXPECT_EQ(form->minimumSize(), QSize(600, 623));
}

TEST(StartUpTimers, PollAndChartTimersRunFromTheStartWithThePortClosed) {
  PtyPair pty;
  TempDir dir;
  ComNameMap map(dir.Path());
  ASSERT_TRUE(map.Add("COM1", pty.SlavePath()));
  TMainForm form(MappedSerialDeviceOpener(map));
  EXPECT_TRUE(form.PollTimer().isActive());
  EXPECT_EQ(form.PollTimer().interval(), 1000);
  EXPECT_TRUE(form.GraphTimeTimer().isActive());
  EXPECT_EQ(form.GraphTimeTimer().interval(), 100);
  EXPECT_EQ(form.PollTimer().objectName(), "PollTimer");
  EXPECT_EQ(form.GraphTimeTimer().objectName(), "GraphTimeTimer");
  EXPECT_FALSE(form.Ports().PortActive());
  EXPECT_EQ(form.Serial1().ConnectedPort(), spNone);
  EXPECT_EQ(pty.ReadFor(Millis(50)), "");  // nothing written to any line
}

TEST_F(StartUp, SettingsDefaultsAndCounters) {
  const Settings& s = form->AppSettings();
  EXPECT_EQ(s.Link.PortNumber, 1);
  EXPECT_EQ(s.Link.Baud, 9600);
  EXPECT_EQ(s.Link.ParityLetter, "N");
  EXPECT_TRUE(s.Link.RtuMode);
  EXPECT_EQ(s.Link.SlaveAddress, 1);
  EXPECT_EQ(s.Poll.PollTime, 1);
  EXPECT_EQ(s.Poll.ResponseTime, 400);
  EXPECT_EQ(s.Poll.StartRegister, 1);
  EXPECT_EQ(s.Poll.RegisterCount, 20);
  EXPECT_EQ(s.Map.ControllerType, "Novus N1100");
  EXPECT_EQ(form->Poll().PollCount(), 0);
  EXPECT_EQ(form->Poll().PendingWrite(), 0);
  EXPECT_EQ(form->History().ChartClock(), 0.0f);
  EXPECT_EQ(form->History().UpdatePeriod(), 1);
  EXPECT_TRUE(form->History().Points().Empty());
  EXPECT_FALSE(form->History().ChartPaused());
}

TEST_F(StartUp, ControlsHoldTheirInitialTexts) {
  for (QLineEdit* entry : {w.TxtSetPt, w.TxtK, w.TxtKi, w.TxtKd, w.TxtPV, w.TxtOut, w.TxtStatus})
    EXPECT_TRUE(entry->text().isEmpty()) << entry->objectName().toStdString();
  EXPECT_EQ(w.TxtMin->text(), "0");
  EXPECT_EQ(w.TxtMax->text(), "100");
  EXPECT_EQ(w.TxtUpdates->text(), "400");
  EXPECT_EQ(w.TxtPeriod->text(), "1");
  EXPECT_FALSE(w.ChkAuto->isChecked());
  EXPECT_TRUE(w.ChkUpdate->isChecked());
  EXPECT_FALSE(w.ChkLog->isChecked());
  EXPECT_EQ(w.CmdHold->text(), "Pause");
  EXPECT_EQ(w.CmdClear->text(), "Clear");
  EXPECT_TRUE(w.TxtMin->isEnabled());
  EXPECT_TRUE(w.TxtMax->isEnabled());
}

// ---- Chart ------------------------------------------------------------------

std::vector<int> Ys(const QLineSeries* series) {
  std::vector<int> ys;
  const auto points = series->points();
  for (int i = 0; i < points.size(); ++i) {
    EXPECT_EQ(points[i].x(), i);
    ys.push_back(static_cast<int>(points[i].y()));
    EXPECT_EQ(points[i].y(), ys.back());  // whole numbers only
  }
  return ys;
}

std::vector<int> Curve(std::vector<int> head, int rest) {
  head.resize(401, rest);
  return head;
}

TEST_F(StartUp, DemonstrationCurveMatchesPointForPoint) {
  std::vector<int> setpoint(5, 0);
  const std::vector<int> output{0, 0, 0, 0, 0, 100, 100, 100, 89, 87, 84, 76, 72, 71, 67, 61, 61, 56, 56};
  const std::vector<int> pv{0, 0, 0, 0, 0, 0, 0, 8, 10, 12, 18, 21, 22, 25, 29, 29, 33, 33};
  EXPECT_EQ(Ys(w.Series1), Curve(setpoint, 75));
  EXPECT_EQ(Ys(w.Series2), Curve(output, 45));
  EXPECT_EQ(Ys(w.Series3), Curve(pv, 41));
}

TEST_F(StartUp, ChartTitleAxesAndSeries) {
  EXPECT_EQ(w.Chart1->objectName(), "Chart1");
  EXPECT_EQ(w.Chart1->title(), "PID");
  EXPECT_FALSE(w.Chart1->legend()->isVisible());
  EXPECT_EQ(w.BottomAxis->titleText(), "Seconds");
  EXPECT_EQ(w.BottomAxis->min(), 0);
  EXPECT_EQ(w.BottomAxis->max(), 25);
  EXPECT_EQ(w.LeftAxis->titleText(), "Setpoint / PV");
  EXPECT_EQ(w.LeftAxis->min(), 0);   // scaled to the curve shown
  EXPECT_EQ(w.LeftAxis->max(), 75);
  EXPECT_EQ(w.RightAxis->titleText(), "Output (%)");
  EXPECT_EQ(w.RightAxis->min(), 0);
  EXPECT_EQ(w.RightAxis->max(), 100);

  struct Expect {
    QLineSeries* series;
    const char* name;
    const char* title;
    QColor colour;
    QValueAxis* vertical;
  };
  for (const Expect& e : {Expect{w.Series1, "Series1", "Setpoint", QColor(255, 0, 0), w.LeftAxis},
                          Expect{w.Series3, "Series3", "PV", QColor(0, 128, 0), w.LeftAxis},
                          Expect{w.Series2, "Series2", "Output", QColor(0, 0, 255), w.RightAxis}}) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(e.series->objectName(), e.name);
    EXPECT_EQ(e.series->name(), e.title);
    EXPECT_EQ(e.series->color(), e.colour);
    EXPECT_FALSE(e.series->pointsVisible());
    EXPECT_TRUE(e.series->attachedAxes().contains(e.vertical));
    EXPECT_TRUE(e.series->attachedAxes().contains(w.BottomAxis));
  }
  EXPECT_EQ(w.GraphScroll->minimum(), -400);
  EXPECT_EQ(w.GraphScroll->maximum(), 0);
  EXPECT_EQ(w.GraphScroll->value(), 0);
  EXPECT_EQ(w.GraphScroll->singleStep(), 1);
  EXPECT_EQ(w.GraphScroll->pageStep(), 1);
}

// ---- Menus ------------------------------------------------------------------

TEST_F(StartUp, MenusCaptionsAndNames) {
  QList<QAction*> bar = form->menuBar()->actions();
  ASSERT_EQ(bar.size(), 5);
  EXPECT_EQ(bar[0]->text(), "&File");
  EXPECT_EQ(bar[1]->text(), "&Log");
  EXPECT_EQ(bar[2]->text(), "&Config");
  EXPECT_EQ(bar[2]->menu(), nullptr);  // an item of the menu bar itself
  EXPECT_EQ(bar[3]->text(), "View");
  EXPECT_EQ(bar[4]->text(), "&About");
  EXPECT_EQ(bar[4]->menu(), nullptr);
  EXPECT_EQ(bar[2], form->Menu().Config1);
  EXPECT_EQ(bar[4], form->Menu().About1);

  auto items = [](QAction* menu) {
    std::vector<std::pair<std::string, std::string>> out;
    for (QAction* a : menu->menu()->actions())
      out.emplace_back(a->objectName().toStdString(), a->text().toStdString());
    return out;
  };
  using Items = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(items(bar[0]), (Items{{"Open1", "&Load Configuration"},
                                  {"Save1", "&Save Configuration"},
                                  {"SaveTrend1", "&Export Trend Data"},
                                  {"SaveChartPicture1", "Save Chart &Picture\u2026"},
                                  {"Exit1", "E&xit"}}));
  EXPECT_EQ(items(bar[1]), (Items{{"Open2", "&Open"}}));
  EXPECT_EQ(items(bar[3]), (Items{{"Trend1", "Trend"}, {"Tuning1", "Tuning"}, {"Link1", "Link"}, {"Frames1", "Frames"},
                                  {"Controllers1", "Controllers"}}));
  EXPECT_EQ(form->Menu().Config1->objectName(), "Config1");
  EXPECT_EQ(form->Menu().About1->objectName(), "About1");
}

TEST_F(StartUp, DataLogItemsCancelledChangeNothingAndViewTrendShowsTheTrendWindow) {
  form->show();
  DataLogCommands::Questions& ask = form->DataLog().Ask();
  QStringList information;
  ask.logPath = [](QWidget*) { return QString(); };
  ask.exportPath = [](QWidget*) { return QString(); };
  ask.information = [&](QWidget*, const QString& text) { information << text; };
  form->Menu().SaveTrend1->trigger();
  form->Menu().Open2->trigger();
  w.ChkLog->click();
  EXPECT_EQ(information, QStringList{"No Log File Has been selected Go to Main Menu-Log-Open"});
  EXPECT_FALSE(w.ChkLog->isChecked());
  EXPECT_TRUE(form->DataLog().Log().LogFileName.empty());
  EXPECT_FALSE(form->FrmTrend().isVisible());
  form->Menu().Trend1->trigger();
  PumpFor(Millis(20));
  EXPECT_TRUE(form->FrmTrend().isVisible());
  EXPECT_EQ(form->FrmTrend().windowTitle(), "Trends");
  EXPECT_EQ(form->Errors().Count(), 0);
  EXPECT_TRUE(form->isVisible());
}

TEST_F(StartUp, ConfigShowsTheConfigurationDialogBesideTheWindow) {
  form->show();
  EXPECT_FALSE(form->ConfigForm().isVisible());
  form->Menu().Config1->trigger();
  PumpFor(Millis(20));
  EXPECT_TRUE(form->ConfigForm().isVisible());
  EXPECT_EQ(form->ConfigForm().windowTitle(), "Configuration");
  EXPECT_FALSE(form->ConfigForm().isModal());
  EXPECT_TRUE(form->isVisible());
  // The main window keeps polling while the dialog is open.
  const int before = form->Poll().PollCount();
  form->PollTimerTimer();
  EXPECT_EQ(form->Poll().PollCount(), before + 1);
}

// ---- Controls: names, captions, accessibility --------------------------------

TEST_F(StartUp, EveryControlHasItsNameAndAnAccessibleName) {
  const char* names[] = {"Chart1View", "GraphScroll", "GrpPlot", "ChkAuto", "TxtMin", "TxtMax",
                         "TxtUpdates", "TxtPeriod", "ChkLog", "CmdHold", "CmdClear", "TxtStatus",
                         "GrpPID", "TxtPV", "TxtOut", "TxtSetPt", "TxtK", "TxtKi", "TxtKd",
                         "SPWrite", "KWrite", "KiWrite", "KdWrite", "ChkUpdate", "LblKeyPV",
                         "LblKeyOut", "LblKeySetPt"};
  for (const char* name : names) {
    auto* widget = form->findChild<QWidget*>(name);
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_FALSE(widget->accessibleName().isEmpty()) << name;
  }
  for (QLabel* label : form->findChildren<QLabel*>()) {
    EXPECT_FALSE(label->objectName().isEmpty()) << label->text().toStdString();
    EXPECT_FALSE(label->accessibleName().isEmpty()) << label->text().toStdString();
  }
  EXPECT_EQ(w.TxtPV->accessibleName(), "PV");
  EXPECT_EQ(w.TxtSetPt->accessibleName(), "Setpoint");
  EXPECT_EQ(w.TxtK->accessibleName(), "Kp");
  EXPECT_EQ(w.TxtMin->accessibleName(), "Minimum");
  EXPECT_EQ(w.TxtStatus->accessibleName(), "Status");
  EXPECT_EQ(w.KiWrite->accessibleName(), "Write Ki");
}

TEST_F(StartUp, EditBoxesAreBuddiesOfTheirLabels) {
  // The main window's own edit boxes; the docks' read-outs are not edit boxes.
  auto inDock = [](QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget())
      if (qobject_cast<QDockWidget*>(widget) != nullptr) return true;
    return false;
  };
  std::map<std::string, std::string> buddies;
  for (QLabel* label : form->findChildren<QLabel*>())
    if (label->buddy() != nullptr && !inDock(label))
      buddies[label->buddy()->objectName().toStdString()] = label->text().toStdString();
  const std::map<std::string, std::string> expected{
      {"TxtMin", "Minimum:"},       {"TxtMax", "Maximum:"}, {"TxtUpdates", "Width:"},
      {"TxtPeriod", "Update Period:"}, {"TxtStatus", "Status"}, {"TxtPV", "PV:"},
      {"TxtOut", "Out:"},           {"TxtSetPt", "Setpoint:"}, {"TxtK", "Kp:"},
      {"TxtKi", "Ki:"},             {"TxtKd", "Kd:"}};
  EXPECT_EQ(buddies, expected);
}

TEST_F(StartUp, GroupCaptionsLabelsAndColourKeys) {
  EXPECT_EQ(w.GrpPlot->title(), "Plot");
  EXPECT_EQ(w.GrpPID->title(), "PID Factors");
  EXPECT_EQ(w.GrpPlot->width(), 257);
  EXPECT_EQ(w.GrpPID->width(), 257);
  std::set<std::string> captions;
  for (QLabel* label : form->findChildren<QLabel*>()) captions.insert(label->text().toStdString());
  for (const char* caption : {"Vertical Axis:", "Minimum:", "Maximum:", "Horizontal Axis:", "Width:",
                              "Updates", "Update Period:", "Seconds", "Status", "PV:", "Out:",
                              "Setpoint:", "Kp:", "% PB", "Ki:", "Reps/min", "Kd:"})
    EXPECT_TRUE(captions.count(caption)) << caption;
  EXPECT_EQ(w.ChkAuto->text(), "Adjust Automatically");
  EXPECT_EQ(w.ChkLog->text(), "Log Data to File");
  EXPECT_EQ(w.ChkUpdate->text(), "Update Values on Poll");
  for (QPushButton* b : {w.SPWrite, w.KWrite, w.KiWrite, w.KdWrite}) EXPECT_EQ(b->text(), "Write");

  struct Key {
    const char* name;
    QColor colour;
  };
  for (const Key& k : {Key{"LblKeyPV", QColor(0, 128, 0)}, Key{"LblKeyOut", QColor(0, 0, 255)},
                       Key{"LblKeySetPt", QColor(255, 0, 0)}}) {
    auto* key = form->findChild<QLabel*>(k.name);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->text(), "____");
    EXPECT_EQ(key->font().pixelSize(), 24);
    EXPECT_EQ(key->palette().color(QPalette::WindowText), k.colour) << k.name;
  }
}

// The units beside Kp, Ki and Kd follow the PID form of the preset that the
// configuration's OK applies, one preset after the other.
TEST_F(StartUp, PidUnitsFollowThePresetTheConfigurationApplies) {
  const struct {
    const char* preset;
    const char* k;
    const char* ki;
    const char* kd;
    const char* kiDescription;
  } rows[] = {
      {"korvane-sim gain", "gain", "s (Ti)", "Seconds", "integral time in seconds, 0 for no integral action"},
      {"korvane-sim series", "% PB", "min (Ti)", "Seconds", "integral time in minutes, 0 for no integral action"},
      {"Novus N1100", "% PB", "Reps/min", "Seconds", "integral rate in repeats per minute"},
  };
  auto* type = form->ConfigForm().findChild<QComboBox*>("CboType");
  auto* ok = form->ConfigForm().findChild<QPushButton*>("CmdExit");
  ASSERT_NE(type, nullptr);
  ASSERT_NE(ok, nullptr);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.preset);
    ASSERT_GE(type->findText(row.preset), 0);
    type->setCurrentIndex(type->findText(row.preset));
    form->ConfigForm().CboTypeChange();
    ok->click();
    const std::pair<QLabel*, const char*> units[] = {{w.LblKUnit, row.k}, {w.LblKiUnit, row.ki}, {w.LblKdUnit, row.kd}};
    for (const auto& [label, text] : units) {
      EXPECT_EQ(label->text(), text);
      EXPECT_EQ(label->accessibleName(), text);
      EXPECT_FALSE(label->accessibleDescription().isEmpty()) << text;
    }
    EXPECT_EQ(w.LblKiUnit->accessibleDescription(), row.kiDescription);
  }
}

// ---- About box --------------------------------------------------------------

TEST_F(StartUp, AboutBoxOpensBesideTheWindow) {
  form->show();
  TAboutFrm& about = form->AboutFrm();
  EXPECT_FALSE(about.isVisible());
  form->Menu().About1->trigger();
  EXPECT_TRUE(about.isVisible());
  EXPECT_EQ(about.windowTitle(), "About");
  EXPECT_EQ(about.size(), QSize(173, 140));
  EXPECT_FALSE(about.isModal());
  EXPECT_TRUE(about.isWindow());
  EXPECT_TRUE(about.findChildren<QPushButton*>().isEmpty());
  const auto lines = about.findChildren<QLabel*>();
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0]->text(), "Korvane Version 1.5.1");
  form->Menu().About1->trigger();  // already open: stays the one box
  EXPECT_EQ(form->findChildren<TAboutFrm*>().size(), 1);
  // The main window still takes input while the box is open.
  w.TxtSetPt->setText("12");
  w.SPWrite->click();
  EXPECT_EQ(form->Poll().PendingWrite(), 26);
}

// ---- Layout -----------------------------------------------------------------

int RightGap(const TMainForm& form, const QWidget* group) {
  const QRect r(group->mapTo(&form, QPoint(0, 0)), group->size());
  return form.width() - (r.x() + r.width());
}

TEST_F(StartUp, ChartGrowsAndGroupsKeepToTheRightEdge) {
  form->show();
  PumpFor(Millis(30));
  const int wideChart = w.Chart1View->width();
  EXPECT_GT(wideChart, 600);
  EXPECT_LE(RightGap(*form, w.GrpPlot), 12);
  EXPECT_LE(RightGap(*form, w.GrpPID), 12);
  EXPECT_LT(w.GrpPlot->mapTo(form.get(), QPoint(0, 0)).y(),
            w.GrpPID->mapTo(form.get(), QPoint(0, 0)).y());

  form->resize(400, 300);  // below the minimum: held at 600 x 623
  PumpFor(Millis(30));
  EXPECT_EQ(form->size(), QSize(600, 623));
  EXPECT_LT(w.Chart1View->width(), wideChart);
  EXPECT_GT(w.Chart1View->width(), 250);
  EXPECT_LE(RightGap(*form, w.GrpPlot), 12);
  EXPECT_LE(RightGap(*form, w.GrpPID), 12);
  EXPECT_EQ(w.GrpPlot->width(), 257);
  // Nothing of the groups is cut off at the bottom.
  const QRect pid(w.GrpPID->mapTo(form.get(), QPoint(0, 0)), w.GrpPID->size());
  EXPECT_LE(pid.bottom(), form->height());
  EXPECT_GE(w.GrpPID->height(), w.GrpPID->minimumSizeHint().height());
}

// ---- Shutdown ---------------------------------------------------------------

TEST_F(StartUp, ExitWithThePortNeverOpenedEndsWithoutError) {
  form->show();
  form->Menu().Exit1->trigger();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->Errors().Count(), 0);
  EXPECT_EQ(form->AppSettings().Link.PortNumber, 0);
  form.reset();  // FormDestroy's close is harmless
}

TEST_F(StartUp, CloseButtonClosesAnOpenPort) {
  form->show();
  OpenWindowPort(*form);
  EXPECT_EQ(pty.ReadAtLeast(9, Millis(2000)), "Open Port");
  EXPECT_TRUE(form->Ports().PortActive());
  form->close();
  EXPECT_FALSE(form->Ports().PortActive());
  EXPECT_EQ(form->Serial1().ConnectedPort(), spNone);
  EXPECT_EQ(form->AppSettings().Link.PortNumber, 0);
  EXPECT_EQ(form->Errors().Count(), 0);
}

TEST_F(StartUp, DestroyingTheWindowWithItsPortOpenClosesIt) {
  OpenWindowPort(*form);
  EXPECT_EQ(pty.ReadAtLeast(9, Millis(2000)), "Open Port");
  form.reset();
  SUCCEED();
}

}  // namespace
}  // namespace korvane::test
