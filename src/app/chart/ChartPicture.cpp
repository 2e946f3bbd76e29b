#include "app/chart/ChartPicture.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QPixmap>
#include <QSaveFile>
#include <QWidget>

namespace korvane {

std::optional<QString> SaveChartPicture(QWidget* view, const QString& path) {
  QString target = path;
  if (QFileInfo(target).suffix().isEmpty()) target += ".png";
  const QPixmap picture = view->grab();
  // Written beside the target and renamed over it only when complete, so a
  // failed save leaves an existing file as it was.
  QSaveFile file(target);
  auto failed = [&target](const QString& why) {
    return QStringLiteral("Cannot save the chart picture to %1: %2").arg(target, why);
  };
  if (!file.open(QIODevice::WriteOnly)) return failed(file.errorString());
  QImageWriter writer(&file, "png");
  if (!writer.write(picture.toImage())) return failed(writer.errorString());
  if (!file.commit()) return failed(file.errorString());
  return std::nullopt;
}

}  // namespace korvane
