#include "app/tuning/SessionPlanDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

#include "app/tuning/TuningForm.h"
#include "app/widgets/FormControls.h"
#include "poll/WriteValue.h"

namespace korvane {
namespace {

QString Num(double value) { return std::isfinite(value) ? QString::number(value, 'g', 6) : QString(); }

}  // namespace

SessionPlanDialog::SessionPlanDialog(const SessionPlan& plan, double sp, double scale, QWidget* parent)
    : SessionPlanDialog(plan, plan, "The relay test was not offered.", LoopValues{sp, sp, 0.0, {}, 0.0}, scale,
                        parent) {}

SessionPlanDialog::SessionPlanDialog(const SessionPlan& step, const SessionPlan& relay,
                                     const std::string& relayUnavailable, const LoopValues& now, double scale,
                                     QWidget* parent)
    : QDialog(parent), base_(step), relay_(relay), now_(now), sp_(now.SP), scale_(scale) {
  const SessionPlan& plan = base_;
  setObjectName("DlgSessionPlan");
  setWindowTitle("Tune Loop");
  setAccessibleName("Tune Loop: plan and confirm");
  auto* top = new QVBoxLayout(this);
  auto* kinds = new QHBoxLayout;
  optStep_ = new QRadioButton("&Step", this);
  optStep_->setObjectName("OptSessionStep");
  optStep_->setAccessibleName("Step: learn the process from a setpoint step");
  optRelay_ = new QRadioButton("&Relay", this);
  optRelay_->setObjectName("OptSessionRelay");
  optRelay_->setAccessibleName("Relay: learn the process from the controller's on/off mode around the setpoint");
  optStep_->setChecked(true);
  if (!relayUnavailable.empty()) {
    optRelay_->setEnabled(false);
    optRelay_->setToolTip(QString::fromStdString(relayUnavailable));
    optRelay_->setAccessibleDescription(QString::fromStdString(relayUnavailable));
  }
  kinds->addWidget(optStep_);
  kinds->addWidget(optRelay_);
  kinds->addStretch();
  top->addLayout(kinds);
  auto* grid = new QGridLayout;
  QLabel* l1 = MakeLabel(this, "LblSessionStep", "Setpoint step (units):");
  QLabel* l2 = MakeLabel(this, "LblSessionPvLow", "Abort if PV below:");
  QLabel* l3 = MakeLabel(this, "LblSessionPvHigh", "Abort if PV above:");
  QLabel* l4 = MakeLabel(this, "LblSessionMaxTime", "Longest time" + TimeUnit(scale) + ":");
  txtStep_ = MakeEdit(this, "TxtSessionStep", l1, Num(plan.Step));
  QLabel* l0 = MakeLabel(this, "LblSessionHysteresis", "Relay hysteresis (units):");
  txtHys_ = MakeEdit(this, "TxtSessionHysteresis", l0, Num(relay.Hysteresis));
  txtPvLow_ = MakeEdit(this, "TxtSessionPvLow", l2, Num(plan.PvLow));
  txtPvHigh_ = MakeEdit(this, "TxtSessionPvHigh", l3, Num(plan.PvHigh));
  txtMaxTime_ = MakeEdit(this, "TxtSessionMaxTime", l4, Num(plan.MaxTime * scale));
  QWidget* cells[] = {l1, txtStep_, l0, txtHys_, l2, txtPvLow_, l3, txtPvHigh_, l4, txtMaxTime_};
  for (int i = 0; i < 10; ++i) grid->addWidget(cells[i], i / 2, i % 2);
  top->addLayout(grid);
  chkApply_ = MakeCheck(this, "ChkApplyWithoutAsking", "Apply without asking");
  chkApply_->setChecked(plan.ApplyWithoutAsking);
  top->addWidget(chkApply_);
  lblWrites_ = MakeLabel(this, "LblSessionWrites", "");
  lblWrites_->setAccessibleDescription("What the tuning session will write");
  lblWrites_->setWordWrap(true);
  top->addWidget(lblWrites_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName("BoxSessionPlan");
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setText("Start");
  ok->setObjectName("CmdSessionStart");
  ok->setAccessibleName("Start the tuning session");
  QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
  cancel->setObjectName("CmdSessionCancel");
  cancel->setAccessibleName("Cancel: nothing is written");
  top->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  for (QLineEdit* e : {txtStep_, txtHys_, txtPvLow_, txtPvHigh_, txtMaxTime_}) {
    connect(e, &QLineEdit::textChanged, this, &SessionPlanDialog::ShowWrites);
  }
  connect(chkApply_, &QCheckBox::toggled, this, &SessionPlanDialog::ShowWrites);
  connect(optRelay_, &QRadioButton::toggled, this, &SessionPlanDialog::ShowKind);
  ShowKind();
}

bool SessionPlanDialog::Relay() const { return optRelay_->isChecked(); }

// The fields of the chosen kind: its limits and longest time offered again.
void SessionPlanDialog::ShowKind() {
  txtStep_->setEnabled(!Relay());
  txtHys_->setEnabled(Relay());
  const SessionPlan& offered = Relay() ? relay_ : base_;
  txtMaxTime_->setText(Num(offered.MaxTime * scale_));
  ShowWrites();
}

std::optional<SessionPlan> SessionPlanDialog::Plan() const {
  const auto step = ParseWriteNumber(txtStep_->text().toStdString());
  const auto low = ParseWriteNumber(txtPvLow_->text().toStdString());
  const auto high = ParseWriteNumber(txtPvHigh_->text().toStdString());
  const auto time = ParseWriteNumber(txtMaxTime_->text().toStdString());
  const auto hys = ParseWriteNumber(txtHys_->text().toStdString());
  if ((!Relay() && !step) || (Relay() && !hys) || !low || !high || !time) return std::nullopt;
  SessionPlan plan = Relay() ? relay_ : base_;
  if (Relay()) plan.Hysteresis = *hys;
  else plan.Step = *step;
  plan.PvLow = *low;
  plan.PvHigh = *high;
  plan.MaxTime = *time / scale_;
  plan.ApplyWithoutAsking = chkApply_->isChecked();
  return plan;
}

void SessionPlanDialog::ShowWrites() {
  const std::optional<SessionPlan> plan = Plan();
  QString text;
  if (!plan) {
    text = "Every field must be a number (\".\" as the decimal point).";
  } else if (Relay()) {
    const FormFactors& f = now_.Factors;
    text = QString("Will write: hysteresis %1 \u2192 %2, then Kp %3 \u2192 0 (the controller's on/off mode around "
                   "the setpoint %4, which stays); once PV swings steadily for three periods, Kp %3, Ki %5, Kd %6 "
                   "and hysteresis %1 back; then the new factors (Kp, Ki, Kd) ")
               .arg(Num(now_.Hys), Num(plan->Hysteresis), Num(f.K), Num(sp_), Num(f.Ki), Num(f.Kd));
    text += plan->ApplyWithoutAsking ? "without asking." : "only after you confirm them.";
    const bool offered = txtMaxTime_->text() == Num(relay_.MaxTime * scale_) && !relay_.MaxTimeSource.empty();
    text += QString(" Aborts if PV leaves %1 to %2 or after %3%4 (%5); on any stop Kp, Ki, Kd and the hysteresis "
                    "are written back as they are now.")
                .arg(Num(plan->PvLow), Num(plan->PvHigh), Num(plan->MaxTime * scale_), TimeUnit(scale_),
                     offered ? QString::fromStdString(relay_.MaxTimeSource) : QString("as typed"));
  } else {
    text = QString("Will write: setpoint %1 \u2192 %2; after the first step the setpoint %1 again (in two moves "
                   "when one would drive the output onto a limit under the new factors), together with the new "
                   "factors (Kp, Ki, Kd) ")
               .arg(Num(sp_), Num(sp_ + plan->Step));
    text += plan->ApplyWithoutAsking ? "without asking." : "only after you confirm them.";
    // Where the longest time came from, while it is the one offered.
    const bool offered = txtMaxTime_->text() == Num(base_.MaxTime * scale_) && !base_.MaxTimeSource.empty();
    text += QString(" Aborts if PV leaves %1 to %2 or after %3%4 (%5); on any stop the original setpoint and factors "
                    "are written back.")
                .arg(Num(plan->PvLow), Num(plan->PvHigh), Num(plan->MaxTime * scale_), TimeUnit(scale_),
                     offered ? QString::fromStdString(base_.MaxTimeSource) : QString("as typed"));
  }
  ShowResult(lblWrites_, text);
}

}  // namespace korvane
