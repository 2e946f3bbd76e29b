#pragma once
// The "Frames" dock: the frame monitor's latest frames (time, direction,
// hex bytes, meaning), new ones appended four times a second while the dock
// is shown; Pause stops recording, Clear empties the monitor, Save… writes
// the frames kept to a text file.

#include <QDockWidget>
#include <QString>

#include <cstdint>
#include <functional>

class QPushButton;
class QTimer;

namespace korvane {

class FrameListView;
class HandlerErrors;
class LinkMonitor;

class FramesPanel : public QDockWidget {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 250;

  FramesPanel(LinkMonitor& monitor, HandlerErrors& errors, QWidget* parent);

  // Appends the frames recorded since the last refresh.
  void Refresh();
  // Writes the frames kept to `path`; a failure is shown in the error box.
  void SaveTo(const QString& path);

  // The file Save… asks for (a save dialog unless a test replaces it).
  std::function<QString(QWidget*)> AskPath;

  FrameListView* List() const { return list_; }
  QPushButton* PauseButton() const { return pause_; }
  QPushButton* ClearButton() const { return clear_; }
  QPushButton* SaveButton() const { return save_; }

 private:
  LinkMonitor& monitor_;
  HandlerErrors& errors_;
  QTimer* timer_;
  FrameListView* list_;
  QPushButton* pause_;
  QPushButton* clear_;
  QPushButton* save_;
  std::uint64_t shown_ = 0;  // the ring's Pushed() count last shown
};

}  // namespace korvane
