#pragma once
// The tuning session's plan, then its confirmation: how the process is
// learnt (a setpoint step, or a relay test in the controller's on/off mode
// when its map has a hysteresis register), the step or the relay's
// hysteresis (filled in from the advice), the PV limits outside which the session aborts (the
// span unless narrowed), the longest time it may take, and whether the
// proposed factors are written without a second confirmation; below, what
// will be written, kept up to date as the fields change.

#include <QDialog>

#include <optional>

#include "session/SessionCheck.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace korvane {

class SessionPlanDialog : public QDialog {
  Q_OBJECT
 public:
  // `plan` fills the fields; times shown in process seconds (`scale`
  // process s per chart s), `sp` the setpoint now.
  SessionPlanDialog(const SessionPlan& plan, double sp, double scale, QWidget* parent);
  // With the relay test offered beside the step: `relay` its plan, or
  // `relayUnavailable` why it is not (the choice is then disabled, saying
  // why); `now` the loop as read (what the relay writes back).
  SessionPlanDialog(const SessionPlan& step, const SessionPlan& relay, const std::string& relayUnavailable,
                    const LoopValues& now, double scale, QWidget* parent);
  // The plan as typed (times in chart seconds); empty when a field is not a number.
  std::optional<SessionPlan> Plan() const;

 private:
  void ShowWrites();

  bool Relay() const;
  void ShowKind();

  SessionPlan base_, relay_;
  LoopValues now_;
  double sp_, scale_;
  QRadioButton* optStep_ = nullptr;
  QRadioButton* optRelay_ = nullptr;
  QLineEdit* txtStep_ = nullptr;
  QLineEdit* txtHys_ = nullptr;
  QLineEdit* txtPvLow_ = nullptr;
  QLineEdit* txtPvHigh_ = nullptr;
  QLineEdit* txtMaxTime_ = nullptr;
  QCheckBox* chkApply_ = nullptr;
  QLabel* lblWrites_ = nullptr;
};

}  // namespace korvane
