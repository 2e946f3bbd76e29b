#pragma once
// The main window's data-log commands: Log > Open, File > Export Trend Data,
// the "Log Data to File" box, and the log step that runs first in every poll
// tick. The file rules live in files/DataLog; this class asks the operator
// (file dialogs, heading box, messages) and hands the answers over.
//
// The heading is asked for before a file is created: the poll timer keeps
// running while the dialogs are open, and its log steps go on writing to the
// previous target until the new file exists with its complete heading (or,
// for an export, its complete contents).

#include <QString>

#include <functional>
#include <optional>

#include "base/ControllerValues.h"
#include "files/DataLog.h"
#include "poll/PollHooks.h"

class QCheckBox;
class QLineEdit;
class QWidget;

namespace korvane {

class ChartHistory;
class HandlerErrors;

class DataLogCommands : public TickHook {
 public:
  // What the commands ask the operator; each can be replaced (tests answer
  // them without modal dialogs). An empty path or no heading is a cancel.
  struct Questions {
    std::function<QString(QWidget* owner)> logPath;     // the main window's save dialog
    std::function<QString(QWidget* owner)> exportPath;  // "Text CSV|*.csv", default extension csv
    std::function<std::optional<QString>(QWidget* owner)> heading;  // "Input" / "Log File Heading"
    std::function<void(QWidget* owner, const QString& text)> information;  // OK-only message box
  };
  static Questions StandardQuestions();

  DataLogCommands(QWidget* owner, QCheckBox* chkLog, QLineEdit* txtPeriod, const ControllerValues& values,
                  const ChartHistory& history, HandlerErrors& errors);

  void Open2Click();
  void SaveTrend1Click();
  void ChkLogClick();
  // The log step; false skips the rest of the tick.
  bool BeforePoll() override;

  Questions& Ask() { return ask_; }
  const DataLog& Log() const { return log_; }

 private:
  QWidget* owner_;
  QCheckBox* chkLog_;
  QLineEdit* txtPeriod_;
  const ControllerValues& values_;
  const ChartHistory& history_;
  HandlerErrors& errors_;
  Questions ask_ = StandardQuestions();
  DataLog log_;
};

}  // namespace korvane
