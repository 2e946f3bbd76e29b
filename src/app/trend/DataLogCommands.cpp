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
#include "poll/ControllerSession.h"

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

class DataLogCommands::Turn : public TickHook {
 public:
  Turn(DataLogCommands& commands, std::size_t index) : commands_(commands), index_(index) {}
  bool BeforePoll() override { return commands_.Step(index_); }

 private:
  DataLogCommands& commands_;
  std::size_t index_;
};

DataLogCommands::DataLogCommands(QWidget* owner, QCheckBox* chkLog, QLineEdit* txtPeriod, ControllerSession& session,
                                 HandlerErrors& errors)
    : owner_(owner), chkLog_(chkLog), txtPeriod_(txtPeriod), session_(session), errors_(errors),
      logNames_{session.Controller(0).Name} {}

DataLogCommands::~DataLogCommands() = default;

TickHook* DataLogCommands::HookOf(std::size_t index) {
  if (index == 0) return this;
  while (turns_.size() < index) turns_.push_back(std::make_unique<Turn>(*this, turns_.size() + 1));
  return turns_[index - 1].get();
}

void DataLogCommands::OpenTargets(std::size_t from, std::size_t to) {
  const std::size_t count = session_.ControllerCount();
  for (std::size_t i = from; i < to && i < logs_.size(); ++i) {
    const ControllerSession::Member m = session_.Controller(i);
    // One controller logs into the file chosen, as it always has.
    const std::string path = count == 1 ? chosenPath_ : ControllerLogPath(chosenPath_, m.Name);
    if (auto error = logs_[i].OpenTarget(path, heading_, m.poll.Values(), SystemDecimalSeparator())) {
      errors_.Show(QString::fromLocal8Bit(*error));
      return;
    }
  }
}

void DataLogCommands::ControllersChanged() {
  const std::size_t count = session_.ControllerCount();
  std::vector<DataLog> logs(count);
  std::vector<std::string> names(count);
  std::vector<bool> fresh(count, true);
  for (std::size_t i = 0; i < count; ++i) {
    names[i] = session_.Controller(i).Name;
    // A controller that stays keeps its log where it writes it: nothing
    // recorded is cut short or moved.
    for (std::size_t j = 0; j < logNames_.size() && j < logs_.size(); ++j) {
      if (logNames_[j] != names[i] || logNames_[j].empty()) continue;
      logs[i] = std::move(logs_[j]);
      logNames_[j].clear();
      fresh[i] = false;
      break;
    }
  }
  logs_ = std::move(logs);
  logNames_ = std::move(names);
  for (std::size_t i = 0; i < count; ++i) {
    if (!fresh[i]) continue;
    logs_[i].LogEnabled = chkLog_->isChecked() && !chosenPath_.empty();
    if (!chosenPath_.empty()) OpenTargets(i, i + 1);
  }
}

void DataLogCommands::Open2Click() {
  const QString path = ask_.logPath(owner_);
  if (path.isEmpty()) return;
  // A cancelled heading box gives an empty heading.
  const QString heading = ask_.heading(owner_).value_or(QString());
  chosenPath_ = ToPath(path);
  heading_ = ToLocal(heading);
  if (logs_.size() != session_.ControllerCount()) ControllersChanged();
  OpenTargets(0, logs_.size());
}

void DataLogCommands::SaveTrend1Click() {
  const QString path = ask_.exportPath(owner_);
  if (path.isEmpty()) return;
  const QString heading = ask_.heading(owner_).value_or(QString());
  const std::size_t index = session_.Selected();
  if (logs_.size() <= index) logs_.resize(index + 1);
  const ControllerSession::Member m = session_.Controller(index);
  // The samples held now, after the heading has been entered.
  if (auto error = logs_[index].ExportTrend(ToPath(path), ToLocal(heading), m.poll.Values(), m.history.Points(),
                                            SystemDecimalSeparator())) {
    errors_.Show(QString::fromLocal8Bit(*error));
  }
}

void DataLogCommands::ChkLogClick() {
  bool ok = true;
  for (DataLog& log : logs_) ok = log.ChkLogClick(chkLog_->isChecked()) && ok;
  if (ok) return;
  ask_.information(owner_, QString::fromLatin1(kNoLogFileMessage.data(), static_cast<qsizetype>(kNoLogFileMessage.size())));
  // Unticking runs this handler again through the box's signal, which
  // switches recording off.
  chkLog_->setChecked(false);
  for (DataLog& log : logs_) log.ChkLogClick(false);
}

bool DataLogCommands::Step(std::size_t index) {
  if (index >= logs_.size()) return true;
  const ControllerSession::Member m = session_.Controller(index);
  const auto error = logs_[index].Step(txtPeriod_->text().toStdString(), m.poll.Values(), SystemDecimalSeparator());
  if (!error) return true;
  // One reused, non-modal box: a full disk or a removed file shows one
  // message, not one box per poll tick.
  errors_.Show(QString::fromLocal8Bit(*error));
  return false;
}

}  // namespace korvane
