#pragma once
// The poll cycle: one transaction per poll tick, every received piece
// checked and shown, the register image turned into controller values, and
// the operator's parameter writes.

#include <cstdint>
#include <string>

#include "base/Settings.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"

namespace korvane {

// PV, SP, Out, Kp, Ki, Kd as last scaled.
struct ControllerValues {
  float PV = 0;
  float SP = 0;
  float Out = 0;
  float Kp = 0;
  float Ki = 0;
  float Kd = 0;
};

// The main window's edit boxes the cycle fills and reads.
enum class ValueBox { PV, Out, SetPt, K, Ki, Kd };

// What the poll cycle needs of the main window and the live chart.
class PollView {
 public:
  virtual ~PollView() = default;
  virtual void SetStatus(const std::string& text) = 0;              // TxtStatus
  virtual void ShowValue(ValueBox box, const std::string& text) = 0;
  virtual std::string EntryText(ValueBox box) const = 0;            // TxtSetPt, TxtK, TxtKi, TxtKd
  virtual bool UpdateValuesOnPoll() const = 0;                      // ChkUpdate
  virtual char DecimalSeparator() const { return '.'; }
  // Runs the data-log step at the start of a tick; false skips the rest of the tick.
  virtual bool DataLogStep() { return true; }
  // Live chart.
  virtual bool ChartPaused() const = 0;
  virtual float ChartClock() const = 0;
  virtual void InsertDatapoint(float time, float pv, float setpoint, float output) = 0;
  virtual void RePlot() = 0;
  // A write the cycle refused to send (factor 0, value out of range): tells the operator.
  virtual void WriteRefused(const std::string& message) = 0;
};

// Text of the status line for a result, or false when the result leaves it unchanged.
bool StatusText(std::int32_t result, const std::string& prefix, std::string& text);

class PollCycle {
 public:
  PollCycle(const Settings& settings, MasterState& state, RegisterImage& image, TMaster& master,
            PollView& view, TickSource tick);

  // One poll tick: the data-log step, then a pending write or (unless the
  // chart is paused) the read of the next chunk. An error of the sender
  // ("COMn is not open.") ends the tick and goes to the caller; a pending
  // write is cleared before it is sent, so it is never tried twice, and
  // PollCount counts only reads handed to the line without error.
  void PollTimerTimer();
  // One received piece: checked, shown, and (unless paused) added to the
  // chart. The cycle's own state is settled before the chart is called, so
  // an error of the chart leaves it consistent; such an error goes to the
  // caller (the receive path discards it).
  void Serial1PortReceive(const std::string& buffer);
  void StatusDisplay(std::int32_t result, const std::string& prefix);
  void DisplayRegs();

  void SPWriteClick() { pendingWrite_ = 26; }
  void KWriteClick() { pendingWrite_ = 14; }
  void KiWriteClick() { pendingWrite_ = 12; }
  void KdWriteClick() { pendingWrite_ = 13; }

  std::int32_t PendingWrite() const { return pendingWrite_; }
  std::int32_t PollCount() const { return pollCount_; }
  const ControllerValues& Values() const { return values_; }

 private:
  void WriteStep();
  void SizeChunk();
  void SetReplyDeadline();

  const Settings& settings_;
  MasterState& state_;
  RegisterImage& image_;
  TMaster& master_;
  PollView& view_;
  TickSource tick_;
  std::int32_t pendingWrite_ = 0;
  std::int32_t pollCount_ = 0;
  ControllerValues values_;
};

}  // namespace korvane
