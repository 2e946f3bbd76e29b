#pragma once
// The "Link" dock: the link counters, the reply times and the port's state
// in words, read from the link monitor four times a second while the dock
// is shown, and a Reset button that zeroes the counters.

#include <QDockWidget>

#include <vector>

class QLabel;
class QPushButton;
class QTimer;

namespace korvane {

class LinkMonitor;

class LinkPanel : public QDockWidget {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 250;

  LinkPanel(LinkMonitor& monitor, QWidget* parent);

  // Shows the monitor's counts now (the timer calls it while shown).
  void Refresh();
  QLabel* Value(const char* objectName) const;
  QPushButton* ResetButton() const { return reset_; }
  QTimer& RefreshTimer() const { return *timer_; }

 private:
  LinkMonitor& monitor_;
  QTimer* timer_;
  QPushButton* reset_;
  std::vector<QLabel*> values_;
};

}  // namespace korvane
