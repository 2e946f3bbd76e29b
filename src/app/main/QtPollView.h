#pragma once
// The poll cycle's view of the main window: the status line, the value
// boxes and "Update Values on Poll".

#include "app/main/MainFormLayout.h"
#include "poll/ValueView.h"

namespace korvane {

class QtPollView : public ValueView {
 public:
  explicit QtPollView(const MainFormWidgets& widgets);

  void SetStatus(const std::string& text) override;
  void ShowValue(ValueBox box, const std::string& text) override;
  std::string EntryText(ValueBox box) const override;
  bool UpdateValuesOnPoll() const override;
  char DecimalSeparator() const override;
  // A refused write is reported in the status line, so the poll goes on
  // without a box to dismiss.
  void WriteRefused(const std::string& message) override;
  // A Write button that cannot be used is disabled; its tool tip and
  // accessible description say why.
  void SetWriteBlocked(ValueBox box, const std::string& reason) override;

 private:
  QLineEdit* Box(ValueBox box) const;

  const MainFormWidgets& w_;
};

}  // namespace korvane
