#include "app/tuning/TuningForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

#include "app/chart/LiveChart.h"
#include "app/tuning/TuningOverlay.h"
#include "app/tuning/TuningSessionPanel.h"
#include "app/widgets/FormControls.h"
#include "base/FileError.h"
#include "base/Settings.h"
#include "plot/ChartHistory.h"
#include "poll/PollCycle.h"
#include "poll/WriteValue.h"
#include "rules/FormConversion.h"

namespace korvane {
namespace {

QString Num(double value, int digits = 4) {
  return std::isfinite(value) ? QString::number(value, 'g', digits) : QString();
}
QString Known(const std::optional<double>& value, const QString& unit) {
  return value ? Num(*value) + unit : QStringLiteral("not known yet");
}
QString Short(const JournalEntry& e) {
  return (e.What == "setpoint" ? QStringLiteral("SP ") : QString::fromStdString(e.What) + ' ') + Num(e.NewValue);
}

}  // namespace

void ShowResult(QLabel* label, const QString& text) {
  label->setText(text);
  // A screen reader reads the line as it is now, not as it first was; an
  // empty line by what it is for (its description).
  label->setAccessibleName(text.isEmpty() ? label->accessibleDescription() : text);
}

QString TimeUnit(double scale) { return scale == 1.0 ? QStringLiteral(" s") : QStringLiteral(" s (process)"); }

TuningForm::TuningForm(PollCycle& poll, ChartHistory& history, const Settings& settings,
                       const LiveChartWidgets& chart, std::string settingsPath, QWidget* parent)
    : QWidget(parent, Qt::Window), poll_(poll), history_(history), settings_(settings),
      settingsPath_(std::move(settingsPath)), tuning_(LoadTuningSettings(settingsPath_)) {
  FigureOptions figureOptions;
  figureOptions.PvResolution = settings_.Map.FactorPV;
  recorder_ = std::make_unique<TuningRecorder>([this] { return static_cast<double>(history_.ChartClock()); },
                                               figureOptions);
  overlay_ = std::make_unique<TuningOverlay>(chart.Chart1, chart.BottomAxis, chart.LeftAxis);
  Build();
  // Pause pressed during a step: its record will have a hole (queued, so the
  // chart has taken the press first).
  if (chart.CmdHold != nullptr) {
    connect(chart.CmdHold, &QPushButton::clicked, this, [this] {
      if (history_.ChartPaused()) recorder_->ChartPaused();
    }, Qt::QueuedConnection);
  }
  poll_.AddWriteObserver(recorder_.get());
  poll_.AddWriteObserver(this);
  history_.SetSampleHook([this] { TakeSamples(); });
}

TuningForm::~TuningForm() {
  history_.SetSampleHook(nullptr);
  poll_.RemoveWriteObserver(this);
  poll_.RemoveWriteObserver(recorder_.get());
}

void TuningForm::Build() {
  setObjectName("FrmTuning");
  setWindowTitle("Tuning");
  setAccessibleName("Tuning");
  resize(720, 560);
  auto* top = new QVBoxLayout(this);

  auto* loop = new QGroupBox("Controller", this);
  loop->setObjectName("GrpTuningLoop");
  auto* lg = new QGridLayout(loop);
  QLabel* l1 = MakeLabel(loop, "LblSpanLow", "Span low:");
  QLabel* l2 = MakeLabel(loop, "LblSpanHigh", "Span high:");
  QLabel* l3 = MakeLabel(loop, "LblTimeScale", "Process s per chart s:");
  QLabel* l4 = MakeLabel(loop, "LblTcRatio", "\u03c4c / \u03b8:");
  txtSpanLow_ = MakeEdit(loop, "TxtSpanLow", l1, Num(tuning_.SpanLow, 9));
  txtSpanHigh_ = MakeEdit(loop, "TxtSpanHigh", l2, Num(tuning_.SpanHigh, 9));
  txtTimeScale_ = MakeEdit(loop, "TxtTimeScale", l3, Num(tuning_.TimeScale, 9));
  txtTcRatio_ = MakeEdit(loop, "TxtTcRatio", l4, "1");
  txtTcRatio_->setToolTip("1 is SIMC's default; below 1 faster, above 1 more robust");
  QLabel* l5 = MakeLabel(loop, "LblBand", "Settling band ±% of step:");
  txtBand_ = MakeEdit(loop, "TxtBand", l5, "2");
  txtBand_->setToolTip("The band in use is never narrower than two PV counts nor three SD of the PV noise at rest; "
                       "a change applies to the step that runs");
  chkPid_ = MakeCheck(loop, "ChkPid", "PID (with derivative)");
  QWidget* cells[] = {l1, txtSpanLow_, l2, txtSpanHigh_, l3, txtTimeScale_, l4, txtTcRatio_, l5, txtBand_};
  for (int i = 0; i < 10; ++i) lg->addWidget(cells[i], i / 4, i % 4);
  lg->addWidget(chkPid_, 2, 2, 1, 2);
  top->addWidget(loop);

  auto* buttons = new QHBoxLayout;
  cmdIdentify_ = MakeButton(this, "CmdIdentify", "&Identify", "Identify the loop from the latest step");
  cmdApply_ = MakeButton(this, "CmdApply", "&Apply", "Write the proposed factors");
  cmdRestore_ = MakeButton(this, "CmdRestore", "&Restore", "Write back the factors before Apply");
  cmdSave_ = MakeButton(this, "CmdSaveJournal", "&Save Journal...", "Save the journal as CSV");
  for (QPushButton* b : {cmdIdentify_, cmdApply_, cmdRestore_, cmdSave_}) buttons->addWidget(b);
  top->addLayout(buttons);
  sessionPanel_ = new TuningSessionPanel(poll_, history_, settings_, tuning_, this);
  sessionPanel_->SetChoice([this] { return Choice(); });
  top->addWidget(sessionPanel_);
  cmdApply_->setEnabled(false);
  cmdRestore_->setEnabled(false);

  lblStep_ = MakeLabel(this, "LblStepFigures", "No setpoint step yet.");
  lblModel_ = MakeLabel(this, "LblModel", "No model yet: make a setpoint step, then press Identify.");
  lblProposal_ = MakeLabel(this, "LblProposal", "");
  lblAdvice_ = MakeLabel(this, "LblAdvice", "");
  lblStepAdvice_ = MakeLabel(this, "LblStepAdvice", "");
  for (QLabel* l : {lblStep_, lblStepAdvice_, lblModel_, lblProposal_, lblAdvice_}) {
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(l);
  }
  lblStep_->setAccessibleDescription("Figures of the latest setpoint step");
  lblModel_->setAccessibleDescription("Identified model");
  lblProposal_->setAccessibleDescription("Proposed factors");
  lblAdvice_->setAccessibleDescription("Tuning advice");
  lblStepAdvice_->setAccessibleDescription("Advice on the step size");
  lblAdvice_->setStyleSheet("color: #a00000");
  lblStepAdvice_->setStyleSheet("color: #a00000");

  grid_ = new QTableWidget(0, 12, this);
  grid_->setObjectName("GridJournal");
  grid_->setAccessibleName("Journal of writes");
  grid_->setHorizontalHeaderLabels({"Time s", "What", "Old", "New", "Result", "Rise s", "Overshoot %", "Settling s",
                                    "Offset", "IAE", "Peak out %", "Band \u00b1"});
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  top->addWidget(grid_, 1);

  connect(cmdIdentify_, &QPushButton::clicked, this, &TuningForm::CmdIdentifyClick);
  connect(cmdApply_, &QPushButton::clicked, this, &TuningForm::CmdApplyClick);
  connect(cmdRestore_, &QPushButton::clicked, this, &TuningForm::CmdRestoreClick);
  connect(cmdSave_, &QPushButton::clicked, this, &TuningForm::CmdSaveJournalClick);
  connect(sessionPanel_, &TuningSessionPanel::ModelFound, this, &TuningForm::SessionModelFound);
  // Kept as typed, not only when the box loses focus.
  for (QLineEdit* e : {txtSpanLow_, txtSpanHigh_, txtTimeScale_}) {
    connect(e, &QLineEdit::textEdited, this, &TuningForm::SettingsEdited);
    connect(e, &QLineEdit::editingFinished, this, &TuningForm::SettingsEdited);
  }
  connect(txtBand_, &QLineEdit::editingFinished, this, &TuningForm::BandEdited);
}

void TuningForm::BandEdited() {
  const std::optional<double> band = ParseWriteNumber(txtBand_->text().toStdString());
  if (!band || !(*band > 0.0 && *band < 100.0)) {
    ShowResult(lblAdvice_, "The settling band must be a number above 0 and below 100 (% of the step).");
    return;
  }
  FigureOptions options;
  options.Band = *band / 100.0;
  options.PvResolution = settings_.Map.FactorPV;
  recorder_->SetOptions(options);  // the step that runs is measured again
  ShowJournal();
  ShowStep();
}

void TuningForm::ShowForward() {
  ShowJournal();
  ShowStep();
  show();
  raise();
  activateWindow();
}

void TuningForm::SettingsEdited() {
  const std::string text = "span_low=" + txtSpanLow_->text().toStdString() + "\nspan_high=" +
                           txtSpanHigh_->text().toStdString() + "\ntime_scale=" + txtTimeScale_->text().toStdString();
  std::string problem;
  const TuningSettings parsed = ParseTuningSettings(text, &problem);
  if (!problem.empty()) {
    ShowResult(lblAdvice_, QString::fromStdString("Not kept: " + problem + "."));
    return;
  }
  if (lblAdvice_->text().startsWith("Not kept")) ShowResult(lblAdvice_, "");
  if (parsed.SpanLow == tuning_.SpanLow && parsed.SpanHigh == tuning_.SpanHigh && parsed.TimeScale == tuning_.TimeScale) return;
  tuning_ = parsed;
  try {
    SaveTuningSettings(settingsPath_, tuning_);
  } catch (const FileError& e) {
    ShowResult(lblAdvice_, QString::fromStdString(std::string("The span could not be saved: ") + e.what()));
  }
  ShowJournal();
  ShowStep();
}

void TuningForm::HideMarks() { overlay_->Update({}, {}, history_.ChartClock()); }

void TuningForm::ChartRedrawn() {
  TakeSamples();
  PredictStep();
  std::vector<TuningOverlay::Marker> markers;
  for (const JournalEntry& e : recorder_->Journal().Entries()) {
    if (std::isfinite(e.NewValue)) markers.push_back({e.Time, Short(e)});
  }
  overlay_->Update(markers, predicted_, history_.ChartClock());
}

void TuningForm::TakeSamples() {
  // The chart's samples newer than the last one taken, newest first; a
  // clock that went back (Clear) starts over.
  const PointList& points = history_.Points();
  if (!points.Empty() && points.Newest(0).Time < lastTime_) lastTime_ = -1.0;
  std::vector<TuningSample> fresh;
  for (std::size_t age = 0; age < points.Size() && points.Newest(age).Time > lastTime_; ++age) {
    const ChartPoint& p = points.Newest(age);
    fresh.push_back({p.Time, p.Setpoint, p.PV, p.Output});
  }
  for (auto it = fresh.rbegin(); it != fresh.rend(); ++it) recorder_->AddSample(*it);
  sessionPanel_->Samples({fresh.rbegin(), fresh.rend()});
  if (!fresh.empty()) lastTime_ = fresh.front().Time;
  // A hidden window's read-outs are brought up to date when it is shown.
  if (isVisible() && (!fresh.empty() || shownEntries_ != recorder_->Journal().Entries().size())) {
    ShowJournal();
    ShowStep();
  }
}

void TuningForm::ShowStep() {
  const auto& step = recorder_->Step();
  if (!step) return;
  const double scale = tuning_.TimeScale;
  const StepResponseFigures f = InProcessTime(step->Figures(), scale);
  const QString unit = TimeUnit(scale);
  const QString overshoot = f.Overshoot ? Num(*f.Overshoot) + (f.Settled ? " %" : " % so far") : "not known yet";
  ShowResult(lblStep_, QString("Latest step %1 at %2%3: rise %4, overshoot %5, settling %6 (band \u00b1%7 units), "
                               "offset %8, IAE %9, peak output %10 %")
                           .arg(Num(f.Step), Num(step->StepTime() * scale), unit, Known(f.RiseTime, unit), overshoot,
                                Known(f.SettlingTime, unit), Num(f.Band, 3), Known(f.SteadyStateError, ""), Num(f.Iae),
                                f.PeakOutput ? Num(*f.PeakOutput) : QString("-")));
  const ControllerValues& now = poll_.Values();
  const double gain = identification_ && identification_->Ok ? identification_->Model.Gain : 0.0;
  const std::string advice =
      StepAdvice(step->Figures(), recorder_->OutputBeforeStep(),
                 IdealOrUnknown({now.Kp, now.Ki, now.Kd}, settings_.Map.Form, tuning_.Span()), tuning_.Span(), gain);
  ShowResult(lblStepAdvice_, QString::fromStdString(advice));
}

bool TuningForm::SessionRunning() const { return sessionPanel_->Session()->Running(); }

void TuningForm::AbortSession(const std::string& reason) { sessionPanel_->Abort(reason); }

void TuningForm::SetPortOpen(std::function<bool()> portOpen) { sessionPanel_->SetPortOpen(std::move(portOpen)); }

QString TuningForm::AdviceText() const { return lblStepAdvice_->text(); }

void TuningForm::ShowJournal() {
  const auto& entries = recorder_->Journal().Entries();
  const double scale = tuning_.TimeScale;
  const QString unit = scale == 1.0 ? QStringLiteral(" s") : QStringLiteral(" s (process)");
  grid_->setHorizontalHeaderItem(0, new QTableWidgetItem("Time" + unit));
  grid_->setHorizontalHeaderItem(5, new QTableWidgetItem("Rise" + unit));
  grid_->setHorizontalHeaderItem(7, new QTableWidgetItem("Settling" + unit));
  shownEntries_ = entries.size();
  grid_->setRowCount(static_cast<int>(entries.size()));
  for (int r = 0; r < static_cast<int>(entries.size()); ++r) {
    const JournalEntry& e = entries[static_cast<std::size_t>(r)];
    QStringList cells{Num(e.Time * scale, 6), QString::fromStdString(e.What), Num(e.OldValue), Num(e.NewValue),
                      QString::fromStdString(e.Result)};
    if (e.Figures) {
      const StepResponseFigures f = InProcessTime(*e.Figures, scale);
      cells << Known(f.RiseTime, "") << Known(f.Overshoot, f.Settled ? "" : " so far") << Known(f.SettlingTime, "")
            << Known(f.SteadyStateError, "") << Num(f.Iae) << (f.PeakOutput ? Num(*f.PeakOutput) : QString())
            << Num(f.Band, 3);
    }
    for (int c = 0; c < cells.size(); ++c) grid_->setItem(r, c, new QTableWidgetItem(cells[c]));
  }
}

}  // namespace korvane
