#pragma once
// File > Load Configuration and File > Save Configuration: the file dialogs
// and the 25-line configuration file with the main window's setpoint, Kp,
// Ki and Kd entry boxes.

#include <QString>

#include <functional>

#include "base/Settings.h"

class QLineEdit;
class QWidget;

namespace korvane::configfile {

// Shows an error of a file command; the default is the critical message box.
using ErrorReporter = std::function<void(QWidget* parent, const QString& message)>;
void ShowErrorBox(QWidget* parent, const QString& message);

// Save dialog (no filter, no default extension, no question before an
// existing file is replaced), then SaveConfigurationTo. Cancel does nothing.
void Save1Click(QWidget* parent, Settings& s, QLineEdit* txtSetPt, QLineEdit* txtK, QLineEdit* txtKi,
                QLineEdit* txtKd, const ErrorReporter& report = ShowErrorBox);
// Open dialog (no filter), then LoadConfigurationFrom. Cancel does nothing.
void Open1Click(QWidget* parent, Settings& s, QLineEdit* txtSetPt, QLineEdit* txtK, QLineEdit* txtKi,
                QLineEdit* txtKd, const ErrorReporter& report = ShowErrorBox);

// Writes the file; a box that holds no number ("'%s' is not a valid floating
// point value") or a file error is reported and the file that was there
// stays as it was. True when the file was written.
bool SaveConfigurationTo(QWidget* parent, const QString& path, Settings& s, QLineEdit* txtSetPt, QLineEdit* txtK,
                         QLineEdit* txtKi, QLineEdit* txtKd, const ErrorReporter& report = ShowErrorBox);
// Reads the file into the settings and the raw texts of lines 22 to 25 into
// the four boxes, and takes the PID form from the preset of the type it
// names. A file error is reported and changes nothing. True when the file
// was read.
bool LoadConfigurationFrom(QWidget* parent, const QString& path, Settings& s, QLineEdit* txtSetPt,
                           QLineEdit* txtK, QLineEdit* txtKi, QLineEdit* txtKd,
                           const ErrorReporter& report = ShowErrorBox);

}  // namespace korvane::configfile
