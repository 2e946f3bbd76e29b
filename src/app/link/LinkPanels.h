#pragma once
// The link monitor of the main window's session with its docks, "Link",
// "Frames" and "Controllers", all hidden at start and switched by
// View > Link, View > Frames and View > Controllers.

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QMainWindow;

namespace korvane {

class ControllerSession;
class ControllersPanel;
class FramesPanel;
class HandlerErrors;
class LinkMonitor;
class LinkPanel;

class LinkPanels {
 public:
  LinkPanels(QMainWindow& form, ControllerSession& session, HandlerErrors& errors,
             std::function<std::uint32_t()> tick);
  ~LinkPanels();

  LinkMonitor& Monitor() { return *monitor_; }
  LinkPanel& Link() { return *link_; }
  FramesPanel& Frames() { return *frames_; }
  QAction* LinkAction() const { return linkAction_; }
  QAction* FramesAction() const { return framesAction_; }
  ControllersPanel& Controllers() { return *controllers_; }
  QAction* ControllersAction() const { return controllersAction_; }

 private:
  std::unique_ptr<LinkMonitor> monitor_;
  LinkPanel* link_;
  FramesPanel* frames_;
  ControllersPanel* controllers_;
  QAction* linkAction_;
  QAction* framesAction_;
  QAction* controllersAction_;
};

}  // namespace korvane
