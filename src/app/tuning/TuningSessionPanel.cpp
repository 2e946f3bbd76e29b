#include "app/tuning/TuningSessionPanel.h"

#include <QDateTime>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <exception>

#include "app/tuning/SessionPlanDialog.h"
#include "app/tuning/SessionReportPdf.h"
#include "app/tuning/TuningForm.h"
#include "app/widgets/FormControls.h"
#include "base/Settings.h"
#include "plot/ChartHistory.h"
#include "poll/PollCycle.h"
#include "poll/WriteValue.h"
#include "session/SessionReport.h"

namespace korvane {
namespace {

// Text a write carries: "." as decimal point whatever the locale, as the Write path reads it.
std::string WriteText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

const char* StageName(SessionStage stage) {
  switch (stage) {
    case SessionStage::Idle: return "Ready";
    case SessionStage::Step1: return "Step 1";
    case SessionStage::Relay: return "Relay test";
    case SessionStage::RelayBack: return "Factors back";
    case SessionStage::Proposed: return "Proposal";
    case SessionStage::Applying: return "Writing factors";
    case SessionStage::Step2: return "Step 2 (new factors)";
    case SessionStage::Returning: return "Setpoint back";
    case SessionStage::Restoring: return "Writing back";
    case SessionStage::Done: return "Done";
    case SessionStage::Stopped: return "Stopped";
  }
  return "";
}

}  // namespace

TuningSessionPanel::TuningSessionPanel(PollCycle& poll, ChartHistory& history, const Settings& settings,
                                       const TuningSettings& tuning, QWidget* parent)
    : QGroupBox("Tuning session", parent), poll_(poll), history_(history), settings_(settings), tuning_(tuning),
      portOpen_([] { return true; }) {
  setObjectName("GrpTuningSession");
  setAccessibleName("Tuning session");
  session_ = std::make_unique<TuningSession>(
      Context(), [this] { return static_cast<double>(history_.ChartClock()); },
      [this](ValueBox box, double value) { poll_.WriteTextClick(box, std::isnan(value) ? "" : WriteText(value)); });
  poll_.AddWriteObserver(session_.get());
  poll_.AddResultObserver(session_.get());

  auto* top = new QVBoxLayout(this);
  auto* buttons = new QHBoxLayout;
  cmdTune_ = MakeButton(this, "CmdTuneLoop", "Tune &Loop\u2026",
                        "Tune the loop in one go: step, identify, propose, verify");
  cmdAbort_ = MakeButton(this, "CmdSessionAbort", "A&bort", "Abort the tuning session and write back what it changed");
  cmdApprove_ = MakeButton(this, "CmdSessionApprove", "Write &New Factors", "Write the proposed factors and verify");
  cmdDecline_ = MakeButton(this, "CmdSessionDecline", "&Keep Old Factors", "Keep the old factors, setpoint back");
  cmdRestoreOld_ = MakeButton(this, "CmdSessionRestoreOld", "Restore &Old Factors", "Write the old factors back");
  cmdReport_ = MakeButton(this, "CmdSessionReport", "Save &Report…",
                          "Save the commissioning report: PDF, figures as CSV, plots as PNG");
  for (QPushButton* b : {cmdTune_, cmdAbort_, cmdApprove_, cmdDecline_, cmdRestoreOld_, cmdReport_}) {
    buttons->addWidget(b);
  }
  top->addLayout(buttons);
  lblStage_ = MakeLabel(this, "LblSessionStage", "");
  lblElapsed_ = MakeLabel(this, "LblSessionElapsed", "");
  lblResult_ = MakeLabel(this, "LblSessionResult", "");
  // What a screen reader says of a line while it is empty.
  lblStage_->setAccessibleDescription("Stage of the tuning session");
  lblElapsed_->setAccessibleDescription("Time the tuning session has taken");
  lblResult_->setAccessibleDescription("Result of the tuning session");
  for (QLabel* l : {lblStage_, lblElapsed_, lblResult_}) {
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(l);
    ShowResult(l, "");
  }
  connect(cmdTune_, &QPushButton::clicked, this, &TuningSessionPanel::CmdTuneLoopClick);
  connect(cmdAbort_, &QPushButton::clicked, this, &TuningSessionPanel::AbortClick);
  connect(cmdApprove_, &QPushButton::clicked, this, [this] {
    session_->Approve();
    ShowState();
  });
  connect(cmdDecline_, &QPushButton::clicked, this, [this] {
    session_->Decline();
    ShowState();
  });
  connect(cmdRestoreOld_, &QPushButton::clicked, this, [this] {
    session_->RestoreOld();
    if (session_->Running()) timer_->start();
    ShowState();
  });
  connect(cmdReport_, &QPushButton::clicked, this, &TuningSessionPanel::CmdSessionReportClick);
  timer_ = new QTimer(this);
  timer_->setInterval(200);
  connect(timer_, &QTimer::timeout, this, &TuningSessionPanel::TickSession);
  // Escape and closing the window abort a running session.
  if (parent != nullptr) parent->installEventFilter(this);
  ShowState();
}

TuningSessionPanel::~TuningSessionPanel() {
  poll_.RemoveResultObserver(session_.get());
  poll_.RemoveWriteObserver(session_.get());
}

SessionContext TuningSessionPanel::Context() const {
  SessionContext c;
  c.SpanLow = tuning_.SpanLow;
  c.SpanHigh = tuning_.SpanHigh;
  c.TimeScale = tuning_.TimeScale;
  c.Poll = std::max(1, settings_.Poll.PollTime);
  c.SpResolution = settings_.Map.FactorSP;
  c.Registers = RegisterFactorsOf(settings_.Map);
  c.PvResolution = settings_.Map.FactorPV;
  // The relay test needs a hysteresis register that can be written.
  const bool hysWritable = WriteBlockedReason(settings_.Map, WritableValue::Hys).empty() &&
                           WriteBlockedReason(settings_.Map, WritableValue::Kp).empty();
  c.HysResolution = hysWritable && settings_.Map.FactorHys > 0.0f ? settings_.Map.FactorHys : 0.0;
  return c;
}

ReadinessInput TuningSessionPanel::Input(const SessionContext& context) const {
  const ControllerValues& v = poll_.Values();
  ReadinessInput input;
  input.PortOpen = portOpen_();
  input.PollsClean = session_->PollsClean();
  input.SpanEntered = context.Span() > 0.0;
  input.Now = {v.SP, v.PV, v.Out, {v.Kp, v.Ki, v.Kd}, v.Hys};
  input.Samples = record_;
  return input;
}

void TuningSessionPanel::Samples(const std::vector<TuningSample>& fresh) {
  for (const TuningSample& s : fresh) {
    if (!record_.empty() && s.Time < record_.back().Time) record_.clear();
    record_.push_back(s);
    try {
      session_->Sample(s);
    } catch (const std::exception& e) {
      session_->Abort(std::string("An error inside the session: ") + e.what());
    }
  }
  // What the check at rest, the rest level and the loop's last settling
  // (for the longest time offered) need: an hour of process time.
  const SessionContext context = Context();
  const double keep = std::max(3.0 * RestTime(context), 3600.0 / context.TimeScale);
  if (!record_.empty() && record_.front().Time < record_.back().Time - 2.0 * keep) {
    std::erase_if(record_, [&](const TuningSample& s) { return s.Time < record_.back().Time - keep; });
  }
}

void TuningSessionPanel::CmdTuneLoopClick() {
  if (session_->Running() || dialog_ != nullptr) return;
  const SessionContext context = Context();
  session_->SetContext(context);
  const ReadinessInput input = Input(context);
  SessionPlan plan = DefaultPlan(context, input.Now, record_);
  SessionPlan relay = DefaultRelayPlan(context, input.Now, record_);
  if (choice_) plan.Choice = relay.Choice = choice_();
  const std::string relayUnavailable = RelayUnavailable(context);
  // What is missing besides the plan itself: said at once, nothing opened
  // (when the relay test could start where the step cannot, it is offered).
  std::vector<std::string> missing = CheckReadiness(input, plan, context);
  if (!missing.empty() && relayUnavailable.empty() && CheckReadiness(input, relay, context).empty()) missing.clear();
  if (!missing.empty()) {
    QString text = "Not started:";
    for (const std::string& m : missing) text += "\n\u2022 " + QString::fromStdString(m);
    ShowResult(lblResult_, text);
    return;
  }
  dialog_ = new SessionPlanDialog(plan, relay, relayUnavailable, input.Now, context.TimeScale, this);
  dialog_->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog_, &QDialog::accepted, this, &TuningSessionPanel::StartPlanned);
  connect(dialog_, &QObject::destroyed, this, [this] { dialog_ = nullptr; });
  dialog_->open();
}

void TuningSessionPanel::StartPlanned() {
  if (dialog_ == nullptr) return;
  const std::optional<SessionPlan> plan = dialog_->Plan();
  if (!plan) {
    ShowResult(lblResult_, "Not started: every field of the plan must be a number.");
    return;
  }
  const SessionContext context = Context();
  session_->SetContext(context);
  const std::vector<std::string> missing = session_->Start(Input(context), *plan);
  if (!missing.empty()) {
    QString text = "Not started:";
    for (const std::string& m : missing) text += "\n\u2022 " + QString::fromStdString(m);
    ShowResult(lblResult_, text);
    return;
  }
  ShowResult(lblResult_, "");
  modelShown_ = false;
  timer_->start();
  ShowState();
}

QString TuningSessionPanel::SaveReport(const QString& base, QString* error) {
  const LinkSettings& link = settings_.Link;
  ReportContent content;
  content.Header.Date = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm").toStdString();
  content.Header.Port = "COM" + std::to_string(link.PortNumber) + ", " + std::to_string(link.Baud) + " " +
                        std::to_string(link.DataBits) + link.ParityLetter + std::to_string(link.StopBitCount) +
                        (link.RtuMode ? " RTU" : " ASCII") + ", address " + std::to_string(link.SlaveAddress) +
                        " (" + settings_.FirstName + ")";
  content.Header.ControllerType = settings_.Map.ControllerType;
  content.Outcome = session_->Outcome();
  content.Context = session_->Context();
  content.Samples = session_->Recorder().Samples();
  content.Journal = session_->Recorder().Journal();
  return SaveReportFiles(base, content, error);
}

void TuningSessionPanel::CmdSessionReportClick() {
  QString path = QFileDialog::getSaveFileName(this, "Save Report", "tuning-report.pdf", "PDF files (*.pdf)");
  if (path.isEmpty()) return;
  if (path.endsWith(".pdf", Qt::CaseInsensitive)) path.chop(4);
  QString error;
  const QString pdf = SaveReport(path, &error);
  ShowResult(lblResult_, pdf.isEmpty() ? "The report was not saved: " + error
                                       : QString::fromStdString(session_->Outcome().Result) + "\nReport saved: " + pdf +
                                             " (figures as CSV and plots as PNG beside it).");
}

void TuningSessionPanel::AbortClick() { Abort("Aborted by the user."); }

void TuningSessionPanel::Abort(const std::string& reason) {
  session_->Abort(reason);
  if (!session_->Running()) timer_->stop();
  ShowState();
}

void TuningSessionPanel::TickSession() {
  try {
    session_->Tick(portOpen_());
  } catch (const std::exception& e) {
    session_->Abort(std::string("An error inside the session: ") + e.what());
  }
  if (!session_->Running()) timer_->stop();
  ShowState();
}

bool TuningSessionPanel::eventFilter(QObject* watched, QEvent* event) {
  const bool escape = event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
  if ((escape || event->type() == QEvent::Close) && session_->Running() &&
      session_->Stage() != SessionStage::Restoring) {
    session_->Abort(escape ? "Aborted by the user (Escape)." : "Aborted: the Tuning window was closed.");
    ShowState();
  }
  return QGroupBox::eventFilter(watched, event);
}

void TuningSessionPanel::ShowState() {
  const SessionStage stage = session_->Stage();
  const bool running = session_->Running();
  cmdTune_->setEnabled(!running);
  cmdAbort_->setEnabled(running);
  const bool restoring = stage == SessionStage::Restoring;
  cmdAbort_->setText(restoring ? "Give Up &Write-Back" : "A&bort");
  cmdAbort_->setAccessibleName(restoring ? "Give up writing back: the controller keeps what it holds now"
                                         : "Abort the tuning session and write back what it changed");
  cmdApprove_->setVisible(stage == SessionStage::Proposed);
  cmdDecline_->setVisible(stage == SessionStage::Proposed);
  const SessionOutcome& o = session_->Outcome();
  cmdRestoreOld_->setVisible(stage == SessionStage::Done && o.Applied);
  cmdReport_->setEnabled(stage == SessionStage::Done || stage == SessionStage::Stopped);
  if (stage == SessionStage::Idle) {
    ShowResult(lblStage_, "No session yet: \u201cTune Loop\u2026\u201d checks the loop and proposes a plan.");
    ShowResult(lblElapsed_, "");
    return;
  }
  // Once ended, the result line says it all: the stage line only names the stage.
  ShowResult(lblStage_, running ? QString("%1: %2").arg(StageName(stage), QString::fromStdString(session_->Waiting()))
                                : QString("%1.").arg(StageName(stage)));
  const double scale = session_->Context().TimeScale;
  ShowResult(lblElapsed_, QString("Elapsed %1%2").arg(QString::number(session_->Elapsed() * scale, 'f', 0),
                                                       TimeUnit(scale)));
  if (!modelShown_ && o.Model && o.Model->Ok) {
    modelShown_ = true;
    emit ModelFound();
  }
  if (stage == SessionStage::Proposed && o.Proposed) {
    QStringList lines;
    for (const std::string& line : ApprovalLines(o, session_->Context())) lines << QString::fromStdString(line);
    ShowResult(lblResult_, lines.join('\n'));
  } else if (!running) {
    ShowResult(lblResult_, QString::fromStdString(o.Result));
  }
}

}  // namespace korvane
