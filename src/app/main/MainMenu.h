#pragma once
// The main window's menu bar: File, Log, Config, View and About.

class QAction;
class QMainWindow;

namespace korvane {

struct MainMenuActions {
  QAction* Open1 = nullptr;       // File > Load Configuration
  QAction* Save1 = nullptr;       // File > Save Configuration
  QAction* SaveTrend1 = nullptr;  // File > Export Trend Data
  QAction* SaveChartPicture1 = nullptr;  // File > Save Chart Picture…
  QAction* Exit1 = nullptr;       // File > Exit
  QAction* Open2 = nullptr;       // Log > Open
  QAction* Config1 = nullptr;     // on the menu bar itself
  QAction* Trend1 = nullptr;      // View > Trend
  QAction* Tuning1 = nullptr;     // View > Tuning, Ctrl+T: the tuning assistant
  QAction* About1 = nullptr;      // on the menu bar itself
};

MainMenuActions BuildMainMenu(QMainWindow& form);

}  // namespace korvane
