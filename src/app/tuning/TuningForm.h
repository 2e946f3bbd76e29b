#pragma once
// The tuning assistant ("Tuning" window, View > Tuning): the journal of
// writes with the figures of each setpoint step, the identified model, the
// proposed factors beside the present ones, Apply (the proposal written
// through the poll cycle's Write path, one write per tick) and Restore (the
// factors that were there before), and the marks and prediction it draws on
// the live chart.

#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "poll/ValueView.h"
#include "poll/WriteObserver.h"
#include "record/TuningRecorder.h"
#include "record/TuningSettings.h"
#include "rules/SimcTuning.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace korvane {

class ChartHistory;
class PollCycle;
class TuningOverlay;
class TuningSessionPanel;
struct LiveChartWidgets;
struct Settings;

// Sets a result line's text and the accessible name that follows it.
void ShowResult(QLabel* label, const QString& text);
// " s", or " s (process)" when the chart runs on another clock than the process.
QString TimeUnit(double scale);

class TuningForm : public QWidget, public WriteObserver {
  Q_OBJECT
 public:
  // `settingsPath` is the side file with the span and the time scale.
  TuningForm(PollCycle& poll, ChartHistory& history, const Settings& settings, const LiveChartWidgets& chart,
             std::string settingsPath, QWidget* parent = nullptr);
  ~TuningForm() override;

  // Takes the chart's new samples and redraws the marks; the live chart
  // calls it after each of its redraws.
  void ChartRedrawn();
  // Takes the history's new samples into the record and the session: on
  // every sample, whether its controller's chart is the one shown or not.
  void TakeSamples();
  // Takes its marks off the live chart while another controller's chart is shown.
  void HideMarks();
  void ShowForward();

  TuningRecorder& Recorder() { return *recorder_; }
  const std::optional<Identification>& Model() const { return identification_; }
  const std::optional<Proposal>& Proposed() const { return proposal_; }
  TuningOverlay& Overlay() { return *overlay_; }
  QString AdviceText() const;
  // The one-button session's panel; `portOpen` tells it whether the port is open.
  TuningSessionPanel& SessionPanel() { return *sessionPanel_; }
  void SetPortOpen(std::function<bool()> portOpen);
  // A tuning session runs (or writes back what it changed).
  bool SessionRunning() const;
  // Stops it, writing back what it changed; while it writes back, gives that up.
  void AbortSession(const std::string& reason);

  // WriteObserver: the next queued write is handed over once one is sent.
  void WriteSent(std::string_view what, double oldValue, double newValue) override;
  void WriteAnswered(const std::string&) override {}
  void WriteRefused(std::string_view what, const std::string& reason) override;

  // The rule chosen in the window: PI or PID, and tau_c / theta.
  TuningChoice Choice() const;

 public slots:
  void CmdIdentifyClick();
  void CmdApplyClick();
  void CmdRestoreClick();
  void CmdSaveJournalClick();
  void SettingsEdited();
  void BandEdited();
  void SessionModelFound();

 private:
  void Build();
  void QueueWrites(const FormFactors& factors);
  void NextWrite();
  void ShowJournal();
  void ShowStep();
  void PredictStep();
  void ShowModel(double scale);

  PollCycle& poll_;
  ChartHistory& history_;
  const Settings& settings_;
  std::string settingsPath_;
  TuningSettings tuning_;
  std::unique_ptr<TuningRecorder> recorder_;
  std::unique_ptr<TuningOverlay> overlay_;
  std::optional<Identification> identification_;
  std::optional<Proposal> proposal_;
  std::optional<FormFactors> restore_;  // as the controller held them
  std::deque<std::pair<ValueBox, std::string>> queue_;
  std::vector<std::pair<double, double>> predicted_;
  // What the prediction is drawn from: the model in process time, the
  // factors proposed (or written), and the step it was last drawn for.
  std::optional<FopdtModel> processModel_;
  std::optional<ControllerFactors> predictedFactors_;
  double predictedStep_ = -1.0;
  double lastTime_ = -1.0;
  std::size_t shownEntries_ = static_cast<std::size_t>(-1);

  QLineEdit* txtSpanLow_ = nullptr;
  QLineEdit* txtSpanHigh_ = nullptr;
  QLineEdit* txtTimeScale_ = nullptr;
  QLineEdit* txtTcRatio_ = nullptr;
  QLineEdit* txtBand_ = nullptr;
  QCheckBox* chkPid_ = nullptr;
  QPushButton* cmdIdentify_ = nullptr;
  QPushButton* cmdApply_ = nullptr;
  QPushButton* cmdRestore_ = nullptr;
  QPushButton* cmdSave_ = nullptr;
  QLabel* lblStep_ = nullptr;
  QLabel* lblModel_ = nullptr;
  QLabel* lblProposal_ = nullptr;
  QLabel* lblAdvice_ = nullptr;
  QLabel* lblStepAdvice_ = nullptr;
  QTableWidget* grid_ = nullptr;
  TuningSessionPanel* sessionPanel_ = nullptr;
};

}  // namespace korvane
