#pragma once
// The tuning session's plan, then its confirmation: the step (filled in
// from the advice), the PV limits outside which the session aborts (the
// span unless narrowed), the longest time it may take, and whether the
// proposed factors are written without a second confirmation; below, what
// will be written, kept up to date as the fields change.

#include <QDialog>

#include <optional>

#include "session/SessionCheck.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace korvane {

class SessionPlanDialog : public QDialog {
  Q_OBJECT
 public:
  // `plan` fills the fields; times shown in process seconds (`scale`
  // process s per chart s), `sp` the setpoint now.
  SessionPlanDialog(const SessionPlan& plan, double sp, double scale, QWidget* parent);
  // The plan as typed (times in chart seconds); empty when a field is not a number.
  std::optional<SessionPlan> Plan() const;

 private:
  void ShowWrites();

  SessionPlan base_;
  double sp_, scale_;
  QLineEdit* txtStep_ = nullptr;
  QLineEdit* txtPvLow_ = nullptr;
  QLineEdit* txtPvHigh_ = nullptr;
  QLineEdit* txtMaxTime_ = nullptr;
  QCheckBox* chkApply_ = nullptr;
  QLabel* lblWrites_ = nullptr;
};

}  // namespace korvane
