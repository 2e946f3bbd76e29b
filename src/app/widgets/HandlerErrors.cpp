#include "app/widgets/HandlerErrors.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <exception>

namespace korvane {

void HandlerErrors::Run(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Show(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    Show("Unknown error");
  }
}

QMessageBox* HandlerErrors::Box() const { return box_.data(); }

void HandlerErrors::Show(const QString& message) {
  last_ = message;
  ++count_;
  if (box_ == nullptr) {
    box_ = new QMessageBox(QMessageBox::Critical, QCoreApplication::applicationName(), message,
                           QMessageBox::Ok, owner_);
    box_->setObjectName("ErrorBox");
    box_->setAttribute(Qt::WA_DeleteOnClose);
    box_->setWindowModality(Qt::NonModal);
  } else {
    box_->setText(message);
  }
  box_->show();
  box_->raise();
}

}  // namespace korvane
