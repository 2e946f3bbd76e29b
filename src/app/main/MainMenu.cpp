#include "app/main/MainMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace korvane {

namespace {

QAction* Name(QAction* action, const char* name) {
  action->setObjectName(name);
  return action;
}

QMenu* AddMenu(QMenuBar* bar, const char* name, const char* caption) {
  QMenu* menu = bar->addMenu(caption);
  menu->setObjectName(name);
  return menu;
}

}  // namespace

MainMenuActions BuildMainMenu(QMainWindow& form) {
  QMenuBar* bar = form.menuBar();
  bar->setObjectName("MainMenu1");
  MainMenuActions a;

  QMenu* file = AddMenu(bar, "File1", "&File");
  a.Open1 = Name(file->addAction("&Load Configuration"), "Open1");
  a.Save1 = Name(file->addAction("&Save Configuration"), "Save1");
  a.SaveTrend1 = Name(file->addAction("&Export Trend Data"), "SaveTrend1");
  a.SaveChartPicture1 = Name(file->addAction("Save Chart &Picture\u2026"), "SaveChartPicture1");
  a.Exit1 = Name(file->addAction("E&xit"), "Exit1");

  QMenu* log = AddMenu(bar, "Log1", "&Log");
  a.Open2 = Name(log->addAction("&Open"), "Open2");

  a.Config1 = Name(bar->addAction("&Config"), "Config1");

  QMenu* view = AddMenu(bar, "View1", "View");
  a.Trend1 = Name(view->addAction("Trend"), "Trend1");
  a.Tuning1 = Name(view->addAction("Tuning"), "Tuning1");
  a.Tuning1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));

  a.About1 = Name(bar->addAction("&About"), "About1");
  return a;
}

}  // namespace korvane
