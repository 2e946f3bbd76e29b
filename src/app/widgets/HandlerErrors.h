#pragma once
// The application's message box for errors raised by GUI handlers: the
// handler ends, the operator sees the error's text and the program goes on.
// The box does not block, and a repeated error reuses the box on show
// instead of stacking a new one per poll tick.

#include <QPointer>
#include <QString>

#include <functional>

class QMessageBox;
class QWidget;

namespace korvane {

class HandlerErrors {
 public:
  explicit HandlerErrors(QWidget* owner) : owner_(owner) {}

  // Runs a handler; an exception it throws is shown, not propagated.
  void Run(const std::function<void()>& handler);
  void Show(const QString& message);

  QString LastMessage() const { return last_; }
  int Count() const { return count_; }
  QMessageBox* Box() const;

 private:
  QWidget* owner_;
  QPointer<QMessageBox> box_;
  QString last_;
  int count_ = 0;
};

}  // namespace korvane
