#include "app/main/QtPollView.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/widgets/RefreshHold.h"
#include "app/widgets/SystemLocale.h"

namespace korvane {

QtPollView::QtPollView(const MainFormWidgets& widgets)
    : w_(widgets), statusHold_(new RefreshHold(widgets.TxtStatus)) {}

QLineEdit* QtPollView::Box(ValueBox box) const {
  switch (box) {
    case ValueBox::PV: return w_.TxtPV;
    case ValueBox::Out: return w_.TxtOut;
    case ValueBox::SetPt: return w_.TxtSetPt;
    case ValueBox::K: return w_.TxtK;
    case ValueBox::Ki: return w_.TxtKi;
    case ValueBox::Kd: return w_.TxtKd;
    case ValueBox::Hys: return nullptr;  // no box in the window
  }
  return nullptr;
}

namespace {

// Every poll shows the status and all six values two or three times, most
// of them unchanged: an equal text is left as it is (which also leaves the
// cursor where the operator put it).
void ShowText(QLineEdit* box, const std::string& text, RefreshHold* hold = nullptr) {
  if (box == nullptr) return;
  const QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  if (box->text() == shown) return;
  if (hold == nullptr) return box->setText(shown);
  hold->Change([&] { box->setText(shown); });
}

}  // namespace

void QtPollView::SetStatus(const std::string& text) { ShowText(w_.TxtStatus, text, statusHold_); }

void QtPollView::ShowValue(ValueBox box, const std::string& text) { ShowText(Box(box), text); }

std::string QtPollView::EntryText(ValueBox box) const {
  const QLineEdit* edit = Box(box);
  return edit != nullptr ? edit->text().toStdString() : std::string();
}

bool QtPollView::UpdateValuesOnPoll() const { return w_.ChkUpdate->isChecked(); }

char QtPollView::DecimalSeparator() const { return SystemDecimalSeparator(); }

void QtPollView::WriteRefused(const std::string& message) { SetStatus(message); }

void QtPollView::SetWriteBlocked(ValueBox box, const std::string& reason) {
  QPushButton* button = nullptr;
  switch (box) {
    case ValueBox::SetPt: button = w_.SPWrite; break;
    case ValueBox::K: button = w_.KWrite; break;
    case ValueBox::Ki: button = w_.KiWrite; break;
    case ValueBox::Kd: button = w_.KdWrite; break;
    default: return;
  }
  const QString why = QString::fromStdString(reason);
  button->setEnabled(reason.empty());
  button->setToolTip(why);
  button->setAccessibleDescription(why);
}

}  // namespace korvane
