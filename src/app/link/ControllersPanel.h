#pragma once
// The "Controllers" dock: one row per controller on the line with its
// name, address, PV, setpoint, output, the status of its last poll and the
// age of its last good values. Selecting a row (mouse or keyboard) makes
// that controller the main window's. Refreshed as the link monitor sees
// the line change, only while shown.

#include <QDockWidget>

#include <cstdint>
#include <functional>

class QTableWidget;

namespace korvane {

class ControllerSession;
class LinkMonitor;

class ControllersPanel : public QDockWidget {
  Q_OBJECT
 public:
  ControllersPanel(ControllerSession& session, LinkMonitor& monitor, std::function<std::uint32_t()> tick,
                   QWidget* parent);

  QTableWidget* Table() const { return table_; }
  // Brings every row up to date (the number of rows with the list).
  void Refresh();

 private:
  void SetCell(int row, int column, const QString& text, const QString& spoken);

  ControllerSession& session_;
  std::function<std::uint32_t()> tick_;
  QTableWidget* table_;
  bool filling_ = false;  // rows being rewritten: not a selection by the user
};

}  // namespace korvane
