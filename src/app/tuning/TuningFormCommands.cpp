// The tuning window's commands: Identify (model, proposal, prediction),
// Apply and Restore (queued writes, one per poll tick) and Save Journal.

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/tuning/TuningForm.h"
#include "app/tuning/TuningSessionPanel.h"
#include "base/FileError.h"
#include "base/Settings.h"
#include "identify/FopdtFit.h"
#include "poll/PollCycle.h"
#include "poll/WriteValue.h"
#include "rules/FormConversion.h"

namespace korvane {
namespace {

QString Num(double value, int digits = 4) {
  return std::isfinite(value) ? QString::number(value, 'g', digits) : QString();
}

// Text a write carries: "." as decimal point whatever the locale, as the Write path reads it.
std::string WriteText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

// "1.5 ± 0.03": a value and its spread, the spread left out when not known.
QString WithSpread(double value, double spread) {
  return spread > 0.0 ? Num(value) + " \u00b1 " + Num(spread, 2) : Num(value);
}

}  // namespace

TuningChoice TuningForm::Choice() const {
  const std::optional<double> ratio = ParseWriteNumber(txtTcRatio_->text().toStdString());
  return {chkPid_->isChecked(), ratio ? *ratio : 1.0};
}

void TuningForm::CmdIdentifyClick() {
  proposal_.reset();
  predicted_.clear();
  processModel_.reset();
  cmdApply_->setEnabled(false);
  FitOptions options;
  options.TimeScale = tuning_.TimeScale;
  identification_ = recorder_->Identify(20.0, options);
  if (!identification_->Ok) {
    ShowResult(lblModel_, QString::fromStdString("No model: " + identification_->Refusal));
    ShowResult(lblProposal_, "");
    ChartRedrawn();
    return;
  }
  ShowModel(tuning_.TimeScale);
  const double scale = tuning_.TimeScale;
  const FopdtModel m = InProcessTime(identification_->Model, scale);
  const TuningChoice choice = Choice();
  const RegisterFactors registers = RegisterFactorsOf(settings_.Map);
  proposal_ = ProposeSimc(identification_->Model, choice, tuning_.Span(), registers, scale);
  const ControllerValues& now = poll_.Values();
  if (!proposal_->Ok && !(proposal_->Held.Band > 0.0)) {
    ShowResult(lblProposal_, QString::fromStdString("No proposal: " + proposal_->Refusal));
    ChartRedrawn();
    return;
  }
  // What the registers will hold, the exact figures beside when they differ,
  // in the controller's own form and units.
  const FormFactors& f = proposal_->InForm;
  const FormFactors& held = proposal_->HeldInForm;
  auto shown = [](double value, double exact) {
    return std::fabs(value - exact) > 1e-9 * std::max(1.0, std::fabs(exact)) ? Num(value) + " (" + Num(exact) + ")"
                                                                             : Num(value);
  };
  const auto labels = FactorLabels(settings_.Map.Form);
  auto factors = [&](double k, double ki, double kd, bool withExact) {
    const double values[] = {k, ki, kd}, exact[] = {f.K, f.Ki, f.Kd};
    QString line;
    for (std::size_t i = 0; i < labels.size(); ++i) {
      line += QString(i == 0 ? "" : ", ") + QString::fromStdString(labels[i].Name) + " " +
              (withExact ? shown(values[i], exact[i]) : Num(values[i])) +
              (labels[i].Unit.empty() ? QString() : " " + QString::fromStdString(labels[i].Unit));
    }
    return line;
  };
  QString text = QString("%1; gain margin %2, phase margin %3\u00b0\nProposed: %4 (as the registers hold them; "
                         "exact in brackets)\nPresent:  %5")
                     .arg(QString::fromStdString(proposal_->Rule), Num(proposal_->GainMargin, 2),
                          Num(proposal_->PhaseMargin, 2), factors(held.K, held.Ki, held.Kd, true),
                          factors(now.Kp, now.Ki, now.Kd, false));
  if (settings_.Map.Form != PidForm{}) text += "\nController: " + QString::fromStdString(FormName(settings_.Map.Form));
  if (!proposal_->Ok) text += "\n" + QString::fromStdString(proposal_->Refusal);
  ShowResult(lblProposal_, text);
  cmdApply_->setEnabled(proposal_->Ok);
  // The latest step as the model says the proposal would have answered it.
  processModel_ = m;
  predictedFactors_ = proposal_->Held;
  predictedStep_ = -1.0;
  ChartRedrawn();
}

// The model line: the model with its spreads, in process time.
void TuningForm::ShowModel(double scale) {
  const FopdtModel m = InProcessTime(identification_->Model, scale);
  const QString unit = TimeUnit(scale);
  QString model = QString("Model: K %1 units per %, \u03c4 %2%5, \u03b8 %3%5, fit R\u00b2 %4 (\u00b1 about 95 %; "
                          "a poll every %6%5)")
                      .arg(WithSpread(m.Gain, m.GainSpread), WithSpread(m.TimeConstant, m.TimeConstantSpread),
                           WithSpread(m.DeadTime, m.DeadTimeSpread), Num(m.Fit, 3), unit, Num(m.Sampling, 3));
  // An integrator is its slope (K and tau stand for it together); a second lag is named.
  if (m.Integrating) {
    model = QString("Model: integrating, PV's slope %1 units/s per % of output, \u03b8 %2%4, fit R\u00b2 %3 "
                    "(\u00b1 about 95 %; a poll every %5%4)")
                .arg(Num(m.Gain / m.TimeConstant, 3), WithSpread(m.DeadTime, m.DeadTimeSpread), Num(m.Fit, 3), unit,
                     Num(m.Sampling, 3));
  } else if (m.SecondLag > 0.0) {
    model += QString("; second lag \u03c42 %1%2").arg(Num(m.SecondLag, 3), unit);
  }
  // The fit judged against the noise at rest, in the engineer's words.
  std::string verdict = FitVerdict(m);
  verdict[0] = 'T';
  model += QString::fromStdString("\n" + verdict + ".");
  if (!m.Why.empty()) model += QString::fromStdString("\nModel picked: " + m.Why + ".");
  if (m.DeadTimeFloored) model += "\n\u03b8 is shorter than a quarter of a poll: taken as that floor.";
  // How far to trust it, from the model in process time (its times so given).
  const std::string doubt = ModelDoubt(m, false);
  if (!doubt.empty() && doubt != FitVerdict(m)) model += QString::fromStdString("\nTrust the model with care: " + doubt + ".");
  ShowResult(lblModel_, model);
}

// The session's model on the model line (its proposal stays in the session panel).
void TuningForm::SessionModelFound() {
  const SessionOutcome& o = sessionPanel_->Session()->Outcome();
  if (!o.Model || !o.Model->Ok) return;
  identification_ = o.Model;
  proposal_.reset();
  cmdApply_->setEnabled(false);
  ShowModel(sessionPanel_->Session()->Context().TimeScale);
  ShowResult(lblProposal_, "");
}

// The predicted response to the latest step under the factors proposed or
// written last, drawn once per step.
void TuningForm::PredictStep() {
  const auto& step = recorder_->Step();
  if (!processModel_ || !predictedFactors_ || !step || step->StepTime() == predictedStep_) return;
  predictedStep_ = step->StepTime();
  predicted_.clear();
  const double scale = tuning_.TimeScale, from = step->StepTime(), size = step->Figures().Step;
  const auto curve = PredictClosedLoop(*processModel_, *predictedFactors_, tuning_.Span(), 0.0, size,
                                       recorder_->OutputBeforeStep(), 10.0 * ResponseTime(*processModel_));
  for (const TuningSample& s : curve) predicted_.emplace_back(from + s.Time / scale, step->OldSetpoint() + s.PV);
}

void TuningForm::QueueWrites(const FormFactors& factors) {
  queue_.clear();
  queue_.emplace_back(ValueBox::K, WriteText(factors.K));
  queue_.emplace_back(ValueBox::Ki, WriteText(factors.Ki));
  queue_.emplace_back(ValueBox::Kd, WriteText(factors.Kd));
  NextWrite();
}

void TuningForm::NextWrite() {
  if (queue_.empty()) return;
  const auto [box, text] = queue_.front();
  queue_.pop_front();
  poll_.WriteTextClick(box, text);
}

void TuningForm::CmdApplyClick() {
  if (!proposal_ || !proposal_->Ok) return;
  const ControllerValues& now = poll_.Values();
  restore_ = FormFactors{now.Kp, now.Ki, now.Kd};
  cmdRestore_->setEnabled(true);
  predictedFactors_ = proposal_->Held;
  QueueWrites(proposal_->HeldInForm);
}

void TuningForm::CmdRestoreClick() {
  if (!restore_) return;
  predictedFactors_ = IdealOrUnknown(*restore_, settings_.Map.Form, tuning_.Span());
  QueueWrites(*restore_);
}

// Each write is sent on a tick of its own: the next one is set pending only
// once this one went out.
void TuningForm::WriteSent(std::string_view, double, double) { NextWrite(); }

void TuningForm::WriteRefused(std::string_view what, const std::string& reason) {
  if (!queue_.empty()) ShowResult(lblAdvice_, QString::fromStdString("Apply stopped at " + std::string(what) + ": " + reason));
  queue_.clear();
}

void TuningForm::CmdSaveJournalClick() {
  const QString path = QFileDialog::getSaveFileName(this, "Save Journal", QString(), "CSV files (*.csv)");
  if (path.isEmpty()) return;
  try {
    recorder_->Journal().SaveCsv(path.toStdString(), tuning_.TimeScale);
  } catch (const FileError& e) {
    QMessageBox::warning(this, "Tuning", QString::fromStdString(e.what()));
  }
}

}  // namespace korvane
