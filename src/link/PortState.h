#pragma once
// The serial port's state in words for the operator, built from the
// component's connect and disconnect events: "closed", "open (COM1)",
// "device gone (COM1) at 10:42:07", "open (COM1), reopened at 10:43:15".

#include <ctime>
#include <string>

namespace korvane {

class PortStateWords {
 public:
  // The component connected to `port` at `at`.
  void Opened(const std::string& port, std::time_t at);
  // The connection ended at `at`: asked for (the port was switched off or
  // reconfigured) or not (the device went away under the running port).
  void Closed(bool requested, std::time_t at);

  std::string Words() const;

 private:
  enum class State { Closed, Open, Gone };
  State state_ = State::Closed;
  std::string port_;
  bool reopened_ = false;
  std::time_t at_ = 0;
};

// "hh:mm:ss" of a time in local time.
std::string ClockTime(std::time_t at);

}  // namespace korvane
