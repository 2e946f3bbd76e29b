#pragma once
// The main window's menu bar: File, Log, Config, View and About.

class QAction;
class QMainWindow;

namespace korvane {

struct MainMenuActions {
  QAction* Open1 = nullptr;       // File > Load Configuration
  QAction* Save1 = nullptr;       // File > Save Configuration
  QAction* SaveTrend1 = nullptr;  // File > Export Trend Data
  QAction* Exit1 = nullptr;       // File > Exit
  QAction* Open2 = nullptr;       // Log > Open
  QAction* Config1 = nullptr;     // on the menu bar itself
  QAction* Trend1 = nullptr;      // View > Trend
  QAction* Tuning1 = nullptr;     // Ctrl+T on the window: the tuning assistant (the menus stay as designed)
  QAction* About1 = nullptr;      // on the menu bar itself
};

MainMenuActions BuildMainMenu(QMainWindow& form);

}  // namespace korvane
