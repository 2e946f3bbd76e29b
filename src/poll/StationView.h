#pragma once
// One controller's share of the main window when a line carries several:
// it keeps what its poll cycle shows (the status, the value texts, why a
// Write button is blocked) and passes it on to the window only while its
// controller is the one selected. Selecting it puts all of that into the
// window at once, so the window never shows one controller's value beside
// another's.

#include <array>
#include <optional>
#include <string>

#include "poll/ValueView.h"

namespace korvane {

class StationView : public ValueView {
 public:
  explicit StationView(ValueView& window) : window_(window) {}

  // Selected: what was kept goes to the window now (every box, the ones
  // never read empty), and everything after it as it comes.
  void SetSelected(bool selected);
  bool Selected() const { return selected_; }
  // The name a refusal of this controller's write starts with, when the
  // line carries several ("Zone 3: "); empty for one controller.
  void SetRefusalPrefix(std::string prefix) { refusalPrefix_ = std::move(prefix); }

  const std::string& Status() const { return status_; }
  // The text last shown for a box; nothing before the first reply.
  const std::optional<std::string>& Shown(ValueBox box) const { return texts_[Index(box)]; }

  void SetStatus(const std::string& text) override;
  void ShowValue(ValueBox box, const std::string& text) override;
  // An unselected controller has no entry box: its writes carry their text.
  std::string EntryText(ValueBox box) const override;
  // An unselected controller keeps all its values fresh for the moment it
  // is selected.
  bool UpdateValuesOnPoll() const override;
  char DecimalSeparator() const override { return window_.DecimalSeparator(); }
  void WriteRefused(const std::string& message) override { window_.WriteRefused(refusalPrefix_ + message); }
  void SetWriteBlocked(ValueBox box, const std::string& reason) override;

 private:
  static std::size_t Index(ValueBox box) { return static_cast<std::size_t>(box); }

  ValueView& window_;
  bool selected_ = true;
  std::string refusalPrefix_;
  std::string status_;
  std::array<std::optional<std::string>, kValueBoxes> texts_;
  std::array<std::optional<std::string>, kValueBoxes> blocks_;
};

}  // namespace korvane
