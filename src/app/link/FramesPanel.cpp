#include "app/link/FramesPanel.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/link/DockRefresh.h"
#include "app/widgets/FormControls.h"
#include "app/link/FrameListView.h"
#include "app/widgets/HandlerErrors.h"
#include "link/FrameDecode.h"
#include "link/LinkMonitor.h"

namespace korvane {

FramesPanel::FramesPanel(LinkMonitor& monitor, HandlerErrors& errors, QWidget* parent)
    : QDockWidget("Frames", parent), monitor_(monitor), errors_(errors) {
  setObjectName("FramesDock");
  setAccessibleName("Frames");
  auto* body = new QWidget(this);
  body->setObjectName("FramesBody");
  list_ = new FrameListView(static_cast<int>(monitor.Frames().Capacity()), body);
  list_->setObjectName("LstFrames");
  list_->setAccessibleName("Frames on the line");
  pause_ = MakeButton(body, "CmdFramesPause", "Pause", "Pause frame recording");
  pause_->setCheckable(true);
  clear_ = MakeButton(body, "CmdFramesClear", "Clear", "Clear frames");
  save_ = MakeButton(body, "CmdFramesSave", "Save…", "Save frames to a text file");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(pause_);
  buttons->addWidget(clear_);
  buttons->addWidget(save_);
  buttons->addStretch(1);
  auto* column = new QVBoxLayout(body);
  column->addLayout(buttons);
  column->addWidget(list_, 1);
  setWidget(body);

  AskPath = [](QWidget* owner) {
    return QFileDialog::getSaveFileName(owner, "Save Frames", QString(), "Text|*.txt");
  };
  connect(pause_, &QPushButton::toggled, this, [this](bool on) { monitor_.SetPaused(on); });
  connect(clear_, &QPushButton::clicked, this, [this] {
    monitor_.ClearFrames();
    list_->Clear();
    shown_ = monitor_.Frames().Pushed();
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    const QString path = AskPath(this);
    if (!path.isEmpty()) SaveTo(path);
  });
  timer_ = RefreshWhileShown(this, monitor_, "FramesRefreshTimer", kRefreshMs, [this] { Refresh(); });
}

void FramesPanel::Refresh() {
  const FrameRing& ring = monitor_.Frames();
  const std::uint64_t fresh = ring.Pushed() - shown_;
  shown_ = ring.Pushed();
  if (fresh == 0) return;
  const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(fresh, ring.Size()));
  QStringList lines;
  for (std::size_t i = ring.Size() - count; i < ring.Size(); ++i) {
    lines << QString::fromLatin1(FrameLine(ring.At(i)));
  }
  list_->AppendLines(lines);
}

void FramesPanel::SaveTo(const QString& path) {
  errors_.Run([&] { monitor_.SaveFrames(path.toLocal8Bit().toStdString()); });
}

}  // namespace korvane
