#pragma once
// The "Link" dock: the link counters, the reply times and the port's state
// in words, read from the link monitor four times a second while the dock
// is shown, and a Reset button that zeroes the counters. On a line of
// several controllers a table below gives the counts of each.

#include <QDockWidget>

#include <cstdint>
#include <vector>

class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace korvane {

class LinkMonitor;

class LinkPanel : public QDockWidget {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 250;

  LinkPanel(LinkMonitor& monitor, QWidget* parent);

  // Shows the monitor's counts when they changed since last shown (the
  // timer calls it while the dock is shown).
  void Refresh();
  QLineEdit* Value(const char* objectName) const;
  QPushButton* ResetButton() const { return reset_; }
  QTableWidget* PerController() const { return perController_; }
  QTimer& RefreshTimer() const { return *timer_; }

 private:
  void ShowPerController();

  LinkMonitor& monitor_;
  QTimer* timer_;
  QPushButton* reset_;
  QTableWidget* perController_;
  std::vector<QLineEdit*> values_;
  std::uint64_t shown_ = ~std::uint64_t{0};  // the monitor's Changes() last shown
};

}  // namespace korvane
