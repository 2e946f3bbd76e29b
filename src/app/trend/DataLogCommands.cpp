#include "app/trend/DataLogCommands.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <string>

#include "app/widgets/HandlerErrors.h"
#include "app/widgets/SystemLocale.h"
#include "plot/ChartHistory.h"

namespace korvane {
namespace {

std::string ToLocal(const QString& text) { return text.toLocal8Bit().toStdString(); }
// File names go to the file system as the system encodes them.
std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString ExportDialog(QWidget* owner) {
  // A dialog of its own for this command, gone at its end; the main
  // window's save dialog keeps its folder and settings.
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilter(QStringLiteral("Text CSV (*.csv)"));
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace

DataLogCommands::Questions DataLogCommands::StandardQuestions() {
  Questions q;
  q.logPath = [](QWidget* owner) {
    return QFileDialog::getSaveFileName(owner, QString(), QString(), QString(), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  };
  q.exportPath = ExportDialog;
  q.heading = [](QWidget* owner) -> std::optional<QString> {
    bool ok = false;
    const QString text = QInputDialog::getText(owner, QStringLiteral("Input"), QStringLiteral("Log File Heading"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok) return std::nullopt;
    return text;
  };
  q.information = [](QWidget* owner, const QString& text) {
    QMessageBox::information(owner, QStringLiteral("Korvane"), text, QMessageBox::Ok);
  };
  return q;
}

DataLogCommands::DataLogCommands(QWidget* owner, QCheckBox* chkLog, QLineEdit* txtPeriod,
                                 const ControllerValues& values, const ChartHistory& history,
                                 HandlerErrors& errors)
    : owner_(owner), chkLog_(chkLog), txtPeriod_(txtPeriod), values_(values), history_(history), errors_(errors) {}

void DataLogCommands::Open2Click() {
  const QString path = ask_.logPath(owner_);
  if (path.isEmpty()) return;
  // A cancelled heading box gives an empty heading.
  const QString heading = ask_.heading(owner_).value_or(QString());
  if (auto error = log_.OpenTarget(ToPath(path), ToLocal(heading), values_, SystemDecimalSeparator())) {
    errors_.Show(QString::fromLocal8Bit(*error));
  }
}

void DataLogCommands::SaveTrend1Click() {
  const QString path = ask_.exportPath(owner_);
  if (path.isEmpty()) return;
  const QString heading = ask_.heading(owner_).value_or(QString());
  // The samples held now, after the heading has been entered.
  if (auto error = log_.ExportTrend(ToPath(path), ToLocal(heading), values_, history_.Points(),
                                    SystemDecimalSeparator())) {
    errors_.Show(QString::fromLocal8Bit(*error));
  }
}

void DataLogCommands::ChkLogClick() {
  if (log_.ChkLogClick(chkLog_->isChecked())) return;
  ask_.information(owner_, QString::fromLatin1(kNoLogFileMessage.data(), static_cast<qsizetype>(kNoLogFileMessage.size())));
  // Unticking runs this handler again through the box's signal, which
  // switches recording off.
  chkLog_->setChecked(false);
  log_.ChkLogClick(false);
}

bool DataLogCommands::BeforePoll() {
  const auto error = log_.Step(txtPeriod_->text().toStdString(), values_, SystemDecimalSeparator());
  if (!error) return true;
  // One reused, non-modal box: a full disk or a removed file shows one
  // message, not one box per poll tick.
  errors_.Show(QString::fromLocal8Bit(*error));
  return false;
}

}  // namespace korvane
