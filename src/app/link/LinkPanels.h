#pragma once
// The link monitor of the main window's session with its two docks, "Link"
// and "Frames", both hidden at start and switched by View > Link and
// View > Frames.

#include <memory>

class QAction;
class QMainWindow;

namespace korvane {

class ControllerSession;
class FramesPanel;
class HandlerErrors;
class LinkMonitor;
class LinkPanel;

class LinkPanels {
 public:
  LinkPanels(QMainWindow& form, ControllerSession& session, HandlerErrors& errors);
  ~LinkPanels();

  LinkMonitor& Monitor() { return *monitor_; }
  LinkPanel& Link() { return *link_; }
  FramesPanel& Frames() { return *frames_; }
  QAction* LinkAction() const { return linkAction_; }
  QAction* FramesAction() const { return framesAction_; }

 private:
  std::unique_ptr<LinkMonitor> monitor_;
  LinkPanel* link_;
  FramesPanel* frames_;
  QAction* linkAction_;
  QAction* framesAction_;
};

}  // namespace korvane
