#include "poll/StationView.h"

namespace korvane {

void StationView::SetSelected(bool selected) {
  if (selected == selected_) return;
  selected_ = selected;
  if (!selected_) return;
  window_.SetStatus(status_);
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    const auto box = static_cast<ValueBox>(i);
    // A box this controller never filled is emptied: a Write pressed then
    // sends nothing rather than another controller's value.
    window_.ShowValue(box, texts_[i].value_or(std::string()));
    if (blocks_[i]) window_.SetWriteBlocked(box, *blocks_[i]);
  }
}

void StationView::SetStatus(const std::string& text) {
  status_ = text;
  if (selected_) window_.SetStatus(text);
}

void StationView::ShowValue(ValueBox box, const std::string& text) {
  texts_[Index(box)] = text;
  if (selected_) window_.ShowValue(box, text);
}

std::string StationView::EntryText(ValueBox box) const { return selected_ ? window_.EntryText(box) : std::string(); }

bool StationView::UpdateValuesOnPoll() const { return !selected_ || window_.UpdateValuesOnPoll(); }

void StationView::SetWriteBlocked(ValueBox box, const std::string& reason) {
  blocks_[Index(box)] = reason;
  if (selected_) window_.SetWriteBlocked(box, reason);
}

}  // namespace korvane
