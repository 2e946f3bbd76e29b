#pragma once
// Saving a chart as a picture the size it has on screen.

#include <QString>

#include <optional>

class QWidget;

namespace korvane {

// Writes what `view` shows (with its cursors and read-out), at its device
// pixel size, to `path` as a PNG picture. A path without a suffix gets
// ".png". The message to show when the file cannot be written; nothing else
// changes then.
std::optional<QString> SaveChartPicture(QWidget* view, const QString& path);

}  // namespace korvane
