#pragma once
// Observers of the parameter writes the poll cycle makes (the tuning
// journal): what was written, from which value to which, and how the
// controller answered.

#include <string>
#include <string_view>

namespace korvane {

class WriteObserver {
 public:
  virtual ~WriteObserver() = default;
  // A write was handed to the line. `what` is "setpoint", "Kp", "Ki" or
  // "Kd"; `oldValue` the value shown before, `newValue` the value written
  // (the register value times its factor).
  virtual void WriteSent(std::string_view what, double oldValue, double newValue) = 0;
  // The write's reply was checked; `text` is what the status line says of it.
  virtual void WriteAnswered(const std::string& text) = 0;
  // A write was refused before anything was sent.
  virtual void WriteRefused(std::string_view what, const std::string& reason) = 0;
};

}  // namespace korvane
