#include "app/config/ConfigFileMenu.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <exception>

#include "app/widgets/SystemLocale.h"
#include "config/ConfigFile.h"
#include "config/PresetForm.h"
#include "config/Presets.h"

namespace korvane::configfile {
namespace {

std::string FileName(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

void ShowErrorBox(QWidget* parent, const QString& message) {
  QMessageBox::critical(parent, QStringLiteral("Korvane"), message);
}

bool SaveConfigurationTo(QWidget* parent, const QString& path, Settings& s, QLineEdit* txtSetPt, QLineEdit* txtK,
                         QLineEdit* txtKi, QLineEdit* txtKd, const ErrorReporter& report) {
  EntryTexts entries{txtSetPt->text().toStdString(), txtK->text().toStdString(), txtKi->text().toStdString(),
                     txtKd->text().toStdString()};
  try {
    SaveConfiguration(FileName(path), s, entries, SystemDecimalSeparator());
    return true;
  } catch (const std::exception& e) {
    report(parent, QString::fromStdString(e.what()));
    return false;
  }
}

bool LoadConfigurationFrom(QWidget* parent, const QString& path, Settings& s, QLineEdit* txtSetPt,
                           QLineEdit* txtK, QLineEdit* txtKi, QLineEdit* txtKd, const ErrorReporter& report) {
  try {
    EntryTexts entries = LoadConfiguration(FileName(path), s);
    // The file names each controller's type, not its PID form: that comes
    // from the type's preset, so the tuning never writes in the form of another.
    const std::vector<std::string> folders =
        PresetFolders(QCoreApplication::applicationDirPath().toStdString(), UserPresetFolder());
    s.Map.Form = PresetFormOf(folders, s.Map.ControllerType);
    for (LineController& c : s.Others) c.Map.Form = PresetFormOf(folders, c.Map.ControllerType);
    QLineEdit* boxes[] = {txtSetPt, txtK, txtKi, txtKd};
    for (std::size_t i = 0; i < entries.size(); ++i) boxes[i]->setText(QString::fromStdString(entries[i]));
    return true;
  } catch (const std::exception& e) {
    report(parent, QString::fromStdString(e.what()));
    return false;
  }
}

void Save1Click(QWidget* parent, Settings& s, QLineEdit* txtSetPt, QLineEdit* txtK, QLineEdit* txtKi,
                QLineEdit* txtKd, const ErrorReporter& report) {
  QString path = QFileDialog::getSaveFileName(parent, QString(), QString(), QString(), nullptr,
                                              QFileDialog::DontConfirmOverwrite);
  if (path.isEmpty()) return;
  SaveConfigurationTo(parent, path, s, txtSetPt, txtK, txtKi, txtKd, report);
}

void Open1Click(QWidget* parent, Settings& s, QLineEdit* txtSetPt, QLineEdit* txtK, QLineEdit* txtKi,
                QLineEdit* txtKd, const ErrorReporter& report) {
  QString path = QFileDialog::getOpenFileName(parent);
  if (path.isEmpty()) return;
  LoadConfigurationFrom(parent, path, s, txtSetPt, txtK, txtKi, txtKd, report);
}

}  // namespace korvane::configfile
