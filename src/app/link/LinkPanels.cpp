#include "app/link/LinkPanels.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>

#include <algorithm>
#include <memory>

#include "app/link/ControllersPanel.h"
#include "app/link/FramesPanel.h"
#include "app/link/LinkPanel.h"
#include "link/LinkMonitor.h"

namespace korvane {

namespace {

// The docks float beside the main window, whose designed layout they would
// otherwise squeeze; the operator can still dock them. Placed when first shown.
void Float(QMainWindow& form, QDockWidget* dock, Qt::DockWidgetArea area, QSize size) {
  form.addDockWidget(area, dock);
  dock->setFloating(true);
  dock->resize(size);
  dock->hide();
  auto placed = std::make_shared<bool>(false);
  QObject::connect(dock, &QDockWidget::visibilityChanged, dock, [&form, dock, area, placed](bool shown) {
    if (!shown || *placed || !dock->isFloating()) return;
    *placed = true;
    const QRect frame = form.frameGeometry();
    QPoint at = area == Qt::RightDockWidgetArea ? QPoint(frame.right() + 8, frame.top())
                                                : QPoint(frame.left(), frame.bottom() + 8);
    // On a small screen it overlaps the main window rather than leave the screen.
    if (const QScreen* screen = form.screen()) {
      const QRect room = screen->availableGeometry();
      const QSize outer = dock->frameGeometry().size();
      at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - outer.width())));
      at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - outer.height())));
    }
    dock->move(at);
  });
}

QAction* ViewItem(QMainWindow& form, QDockWidget* dock, const char* name) {
  QAction* action = dock->toggleViewAction();
  action->setObjectName(name);
  if (auto* view = form.findChild<QMenu*>("View1")) view->addAction(action);
  return action;
}

}  // namespace

LinkPanels::LinkPanels(QMainWindow& form, ControllerSession& session, HandlerErrors& errors,
                       std::function<std::uint32_t()> tick)
    : monitor_(std::make_unique<LinkMonitor>(session)),
      link_(new LinkPanel(*monitor_, &form)),
      frames_(new FramesPanel(*monitor_, errors, &form)),
      controllers_(new ControllersPanel(session, *monitor_, std::move(tick), &form)) {
  Float(form, link_, Qt::RightDockWidgetArea, QSize(360, 340));
  Float(form, frames_, Qt::BottomDockWidgetArea, QSize(1000, 300));
  Float(form, controllers_, Qt::RightDockWidgetArea, QSize(680, 220));
  linkAction_ = ViewItem(form, link_, "Link1");
  framesAction_ = ViewItem(form, frames_, "Frames1");
  controllersAction_ = ViewItem(form, controllers_, "Controllers1");
}

// The docks go first: their timers read the monitor.
LinkPanels::~LinkPanels() {
  delete controllers_;
  delete frames_;
  delete link_;
}

}  // namespace korvane
