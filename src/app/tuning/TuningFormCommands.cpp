// The tuning window's commands: Identify (model, proposal, prediction),
// Apply and Restore (queued writes, one per poll tick) and Save Journal.

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <cmath>
#include <cstdio>

#include "app/tuning/TuningForm.h"
#include "base/FileError.h"
#include "base/Settings.h"
#include "poll/PollCycle.h"
#include "poll/WriteValue.h"
#include "tuning/FopdtFit.h"

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

}  // namespace

void TuningForm::CmdIdentifyClick() {
  proposal_.reset();
  predicted_.clear();
  processModel_.reset();
  cmdApply_->setEnabled(false);
  FitOptions options;
  const auto& step = recorder_->Step();
  if (step) options.RestUntil = step->StepTime();
  identification_ = IdentifyFopdt(recorder_->StepRecord(10.0), options);
  if (!identification_->Ok) {
    lblModel_->setText(QString::fromStdString("No model: " + identification_->Refusal));
    lblProposal_->clear();
    ChartRedrawn();
    return;
  }
  const FopdtModel& m = identification_->Model;
  const double scale = tuning_.TimeScale;
  lblModel_->setText(QString("Model: K %1 units per %, τ %2 s, θ %3 s (process time), fit R² %4")
                         .arg(Num(m.Gain), Num(m.TimeConstant * scale), Num(m.DeadTime * scale), Num(m.Fit, 3)));
  const bool ratioOk = ParseWriteNumber(txtTcRatio_->text().toStdString()).has_value();
  const TuningChoice choice{chkPid_->isChecked(),
                            ratioOk ? *ParseWriteNumber(txtTcRatio_->text().toStdString()) : 1.0};
  const RegisterFactors registers{settings_.Map.FactorKp, settings_.Map.FactorKi, settings_.Map.FactorKd};
  proposal_ = ProposeSimc(m, choice, tuning_.Span(), registers, scale);
  const ControllerValues& now = poll_.Values();
  if (!proposal_->Ok) {
    lblProposal_->setText(QString::fromStdString("No proposal: " + proposal_->Refusal));
    ChartRedrawn();
    return;
  }
  const ControllerFactors& f = proposal_->Factors;
  lblProposal_->setText(QString("%1\nProposed: Kp (band) %2 %, Ki %3 repeats/min, Kd %4 s\n"
                                "Present:  Kp (band) %5 %, Ki %6 repeats/min, Kd %7 s")
                            .arg(QString::fromStdString(proposal_->Rule), Num(f.Band), Num(f.Ki), Num(f.Kd),
                                 Num(now.Kp), Num(now.Ki), Num(now.Kd)));
  cmdApply_->setEnabled(true);
  // The latest step as the model says the proposal would have answered it.
  processModel_ = m;
  processModel_->TimeConstant *= scale;
  processModel_->DeadTime *= scale;
  predictedFactors_ = f;
  predictedStep_ = -1.0;
  ChartRedrawn();
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
                                       recorder_->OutputBeforeStep(), 10.0 * processModel_->TimeConstant);
  for (const TuningSample& s : curve) predicted_.emplace_back(from + s.Time / scale, step->OldSetpoint() + s.PV);
}

void TuningForm::QueueWrites(const ControllerFactors& factors) {
  queue_.clear();
  queue_.emplace_back(ValueBox::K, WriteText(factors.Band));
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
  restore_ = ControllerFactors{now.Kp, now.Ki, now.Kd};
  cmdRestore_->setEnabled(true);
  predictedFactors_ = proposal_->Factors;
  QueueWrites(proposal_->Factors);
}

void TuningForm::CmdRestoreClick() {
  if (!restore_) return;
  predictedFactors_ = restore_;
  QueueWrites(*restore_);
}

// Each write is sent on a tick of its own: the next one is set pending only
// once this one went out.
void TuningForm::WriteSent(std::string_view, double, double) { NextWrite(); }

void TuningForm::WriteRefused(std::string_view what, const std::string& reason) {
  if (!queue_.empty()) lblAdvice_->setText(QString::fromStdString("Apply stopped at " + std::string(what) + ": " + reason));
  queue_.clear();
}

void TuningForm::CmdSaveJournalClick() {
  const QString path = QFileDialog::getSaveFileName(this, "Save Journal", QString(), "CSV files (*.csv)");
  if (path.isEmpty()) return;
  try {
    recorder_->Journal().SaveCsv(path.toStdString());
  } catch (const FileError& e) {
    QMessageBox::warning(this, "Tuning", QString::fromStdString(e.what()));
  }
}

}  // namespace korvane
