#pragma once
// The Tuning window's one-button session: "Tune Loop…" checks the loop and
// opens the plan, then the panel shows the stage, the elapsed time and what
// the session waits for, with Abort always in view (Escape and closing the
// window abort too), the proposal's confirmation, and the verdict. The
// session itself is the core's TuningSession, ticked here and fed with the
// chart's samples and the poll cycle's writes and replies.

#include <QGroupBox>

#include <functional>
#include <memory>
#include <vector>

#include "record/TuningSettings.h"
#include "session/TuningSession.h"

class QLabel;
class QPushButton;
class QTimer;

namespace korvane {

class ChartHistory;
class PollCycle;
class SessionPlanDialog;
struct Settings;

class TuningSessionPanel : public QGroupBox {
  Q_OBJECT
 public:
  // `tuning` is read when a session starts (span, time scale); `portOpen`
  // tells whether the port is open.
  TuningSessionPanel(PollCycle& poll, ChartHistory& history, const Settings& settings, const TuningSettings& tuning,
                     QWidget* parent);
  ~TuningSessionPanel() override;

  void SetPortOpen(std::function<bool()> portOpen) { portOpen_ = std::move(portOpen); }
  // The rule the window has chosen (PI or PID, tau_c / theta): the plan of
  // the next session carries it.
  void SetChoice(std::function<TuningChoice()> choice) { choice_ = std::move(choice); }
  // The chart's new samples, oldest first.
  void Samples(const std::vector<TuningSample>& fresh);
  // A session that runs, or none.
  TuningSession* Session() { return session_.get(); }
  const TuningSession* Session() const { return session_.get(); }
  // Aborts for `reason` (in the write-back: gives it up) and shows it.
  void Abort(const std::string& reason);
  SessionPlanDialog* PlanDialog() { return dialog_; }
  // The report of the latest session: PDF, figures CSV and plots PNG beside
  // `base`. Returns the PDF's path, or an empty string with `error`.
  QString SaveReport(const QString& base, QString* error);
  bool eventFilter(QObject* watched, QEvent* event) override;

 public slots:
  void CmdTuneLoopClick();
  void AbortClick();
  void TickSession();
  void CmdSessionReportClick();

 signals:
  // A session identified the loop: its model is in Session()->Outcome().
  void ModelFound();

 private:
  void StartPlanned();
  void ShowState();
  SessionContext Context() const;
  ReadinessInput Input(const SessionContext& context) const;

  PollCycle& poll_;
  ChartHistory& history_;
  const Settings& settings_;
  const TuningSettings& tuning_;
  std::function<bool()> portOpen_;
  std::function<TuningChoice()> choice_;
  std::unique_ptr<TuningSession> session_;
  std::vector<TuningSample> record_;  // the latest samples, for the check at rest and the longest time
  bool modelShown_ = false;           // ModelFound sent for the session that runs
  SessionPlanDialog* dialog_ = nullptr;
  QTimer* timer_ = nullptr;
  QPushButton* cmdTune_ = nullptr;
  QPushButton* cmdAbort_ = nullptr;
  QPushButton* cmdApprove_ = nullptr;
  QPushButton* cmdDecline_ = nullptr;
  QPushButton* cmdRestoreOld_ = nullptr;
  QPushButton* cmdReport_ = nullptr;
  QLabel* lblStage_ = nullptr;
  QLabel* lblElapsed_ = nullptr;
  QLabel* lblResult_ = nullptr;
};

}  // namespace korvane
