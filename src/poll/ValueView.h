#pragma once
// What the poll cycle shows and reads in the main window: the status line
// and the value boxes.

#include <cstddef>
#include <string>

namespace korvane {

// The main window's edit boxes the cycle fills and reads, and the
// hysteresis of the controller's on/off mode, which has no box: only the
// tuning writes it (WriteTextClick).
enum class ValueBox { PV, Out, SetPt, K, Ki, Kd, Hys };
inline constexpr std::size_t kValueBoxes = 7;

class ValueView {
 public:
  virtual ~ValueView() = default;
  virtual void SetStatus(const std::string& text) = 0;              // TxtStatus
  virtual void ShowValue(ValueBox box, const std::string& text) = 0;
  virtual std::string EntryText(ValueBox box) const = 0;            // TxtSetPt, TxtK, TxtKi, TxtKd
  virtual bool UpdateValuesOnPoll() const = 0;                      // ChkUpdate
  virtual char DecimalSeparator() const { return '.'; }
  // A write the cycle refused to send (factor 0, value out of range): tells the operator.
  virtual void WriteRefused(const std::string& message) = 0;
  // Whether the Write button of an entry box (SetPt, K, Ki, Kd) can be used:
  // `reason` is empty when it can, else why not (a value read from an input
  // register). Told again whenever the reason changes.
  virtual void SetWriteBlocked(ValueBox /*box*/, const std::string& /*reason*/) {}
};

}  // namespace korvane
