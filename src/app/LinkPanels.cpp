#include "app/LinkPanels.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>

#include "app/FramesPanel.h"
#include "app/LinkPanel.h"
#include "link/LinkMonitor.h"

namespace korvane {

namespace {

QAction* ViewItem(QMainWindow& form, QDockWidget* dock, const char* name) {
  QAction* action = dock->toggleViewAction();
  action->setObjectName(name);
  if (auto* view = form.findChild<QMenu*>("View1")) view->addAction(action);
  return action;
}

}  // namespace

LinkPanels::LinkPanels(QMainWindow& form, ControllerSession& session, HandlerErrors& errors)
    : monitor_(std::make_unique<LinkMonitor>(session)),
      link_(new LinkPanel(*monitor_, &form)),
      frames_(new FramesPanel(*monitor_, errors, &form)) {
  form.addDockWidget(Qt::RightDockWidgetArea, link_);
  form.addDockWidget(Qt::BottomDockWidgetArea, frames_);
  link_->hide();
  frames_->hide();
  linkAction_ = ViewItem(form, link_, "Link1");
  framesAction_ = ViewItem(form, frames_, "Frames1");
}

// The docks go first: their timers read the monitor.
LinkPanels::~LinkPanels() {
  delete frames_;
  delete link_;
}

}  // namespace korvane
