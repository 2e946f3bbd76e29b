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
//
// On a line of several controllers each controller has a log of its own:
// the file name chosen gains the controller's name, every controller's
// turn in the poll writes its own line, and Export Trend Data exports the
// selected controller's history.

#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ControllerValues.h"
#include "files/DataLog.h"
#include "poll/PollHooks.h"

class QCheckBox;
class QLineEdit;
class QWidget;

namespace korvane {

class ChartHistory;
class ControllerSession;
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

  DataLogCommands(QWidget* owner, QCheckBox* chkLog, QLineEdit* txtPeriod, ControllerSession& session,
                  HandlerErrors& errors);
  ~DataLogCommands() override;

  void Open2Click();
  void SaveTrend1Click();
  void ChkLogClick();
  // The first controller's log step; false skips the rest of its turn.
  bool BeforePoll() override { return Step(0); }
  // The log step of the controller at `index` (its turn's hook).
  TickHook* HookOf(std::size_t index);
  // The controller list changed: a new controller logs beside the others
  // (into the file the chosen name gives it, with the same heading).
  void ControllersChanged();

  Questions& Ask() { return ask_; }
  const DataLog& Log(std::size_t index = 0) const { return logs_.at(index); }

 private:
  class Turn;
  bool Step(std::size_t index);
  void OpenTargets(std::size_t from, std::size_t to);

  QWidget* owner_;
  QCheckBox* chkLog_;
  QLineEdit* txtPeriod_;
  ControllerSession& session_;
  HandlerErrors& errors_;
  Questions ask_ = StandardQuestions();
  std::vector<DataLog> logs_{1};
  std::vector<std::string> logNames_;  // whose log each is
  std::vector<std::unique_ptr<Turn>> turns_;
  std::string chosenPath_;  // the file name chosen; each controller's gains its name
  std::string heading_;
};

}  // namespace korvane
