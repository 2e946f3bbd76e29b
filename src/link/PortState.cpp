#include "link/PortState.h"

#include <cstdio>

#include "base/LocalTime.h"

namespace korvane {

std::string ClockTime(std::time_t at) {
  const std::tm local = LocalTimeOf(at);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

void PortStateWords::Opened(const std::string& port, std::time_t at) {
  // Any earlier connection (closed or gone) makes this one a reopening.
  reopened_ = reopened_ || !port_.empty();
  port_ = port;
  state_ = State::Open;
  at_ = at;
}

void PortStateWords::Closed(bool requested, std::time_t at) {
  if (state_ != State::Open) return;
  state_ = requested ? State::Closed : State::Gone;
  at_ = at;
}

std::string PortStateWords::Words() const {
  switch (state_) {
    case State::Open:
      return "open (" + port_ + ")" + (reopened_ ? ", reopened at " + ClockTime(at_) : "");
    case State::Gone: return "device gone (" + port_ + ") at " + ClockTime(at_);
    case State::Closed: break;
  }
  return "closed";
}

}  // namespace korvane
