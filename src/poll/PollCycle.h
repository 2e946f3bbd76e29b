#pragma once
// The poll cycle: one transaction per poll tick, every received piece
// checked and shown, the register image turned into controller values, and
// the operator's parameter writes.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/ControllerValues.h"
#include "base/RegisterFormat.h"
#include "base/Settings.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"
#include "plot/SampleSink.h"
#include "poll/PollHooks.h"
#include "poll/ReadPlan.h"
#include "poll/ValueView.h"
#include "poll/WriteObserver.h"

namespace korvane {

// Text of the status line for a result, or false when the result leaves it unchanged.
bool StatusText(std::int32_t result, const std::string& prefix, std::string& text);

class PollCycle {
 public:
  PollCycle(const Settings& settings, MasterState& state, RegisterImage& image, TMaster& master,
            ValueView& view, SampleSink& chart, TickSource tick);

  // The step run first in every tick (the data log); none by default.
  void SetTickHook(TickHook* hook) { tickHook_ = hook; }
  // Observers are told of every request sent and every piece checked; they
  // must outlive the cycle or be removed first.
  void AddResultObserver(ResultObserver* observer) { observers_.push_back(observer); }
  void RemoveResultObserver(ResultObserver* observer);
  // Tells the observers that a request frame reached the line (the send
  // path calls it after a write that did not fail).
  void FrameWritten(std::string_view frame);
  // Write observers are told of every parameter write; same lifetime rule.
  void AddWriteObserver(WriteObserver* observer) { writeObservers_.push_back(observer); }
  void RemoveWriteObserver(WriteObserver* observer);

  // One poll tick: the data-log step, then a pending write or (unless the
  // chart is paused) the reads of the map's read plan (ReadPlan.h). A plan
  // that is today's read of holding registers 0..19 walks it in chunks as
  // always; any other plan sends its first request here and each next one
  // once the reply before it (or its time-out) is in. An error of the
  // sender ("COMn is not open.") ends the tick and goes to the caller; a
  // pending write is cleared before it is sent, so it is never tried twice,
  // and PollCount counts the ticks whose first read reached the line.
  // Polls never pile up: while a request of the plan still waits for its
  // reply within the response time, or the line is still busy after a
  // request that got none, the tick sends nothing (the data-log step runs).
  void PollTimerTimer();
  // Moves the read plan on when the reply it waits for is overdue: a slave
  // that does not answer sends no byte that would show the time-out. The
  // window calls it often (every 100 ms); it does nothing otherwise.
  // After a request that got no answer the next one goes out only once the
  // line has been quiet for the frame gap (FrameGapMs); what arrives
  // meanwhile is shown to the observers but never checked as a reply, so a
  // late reply is not taken for the next request.
  void CheckPlanDeadline();
  // One received piece: checked, shown, and (unless paused) added to the
  // chart. The cycle's own state is settled before the chart is called, so
  // an error of the chart leaves it consistent; such an error goes to the
  // caller (the receive path discards it).
  void Serial1PortReceive(const std::string& buffer);
  // The same for a piece whose last byte was read from the line at
  // `arrivalTick`: the observers time the reply from there.
  void Serial1PortReceive(const std::string& buffer, std::uint32_t arrivalTick);
  // A piece that came while nothing of this cycle was awaited (on a line
  // of several controllers, a late reply after the round moved on): shown
  // to the observers, never checked as a reply, so it changes no status
  // and no value.
  void StrayPiece(const std::string& buffer, std::uint32_t arrivalTick);
  void StatusDisplay(std::int32_t result, const std::string& prefix);
  void DisplayRegs();

  // The Write buttons. PendingWrite names the value by the register today's
  // default map writes it to (26 setpoint, 14 Kp, 12 Ki, 13 Kd); where the
  // write goes follows the register map (WriteAddressOf).
  void SPWriteClick() { pendingWrite_ = 26; }
  void KWriteClick() { pendingWrite_ = 14; }
  void KiWriteClick() { pendingWrite_ = 12; }
  void KdWriteClick() { pendingWrite_ = 13; }
  // Writes `text` to the parameter behind `box` (SetPt, K, Ki, Kd, or Hys,
  // which has no button) on the next tick, as its Write button does with the
  // box's text; the box itself is left alone.
  void WriteTextClick(ValueBox box, std::string text);

  // The silence that ends a frame on this link, in whole milliseconds
  // (rounded up): 3.5 characters at the baud rate, 0 for Modbus TCP.
  std::uint32_t FrameGapMs() const;

  // One of several controllers on a line (LinePoll.h): every tick reads
  // the map's read plan (never today's chunked block), and the plan's last
  // request going unanswered shows its time-out at once, as a request in
  // the middle of the plan does.
  void SetLineMember(bool member) { lineMember_ = member; }
  // Nothing of this tick is on the line any more: every request of the plan
  // (or the write) is answered or overdue, and no request is still to go
  // out. The line then moves on to the next controller.
  bool RoundOver() const;
  // The tick count of the last read this cycle took as good; 0 before any.
  std::uint32_t LastGoodTick() const { return lastGoodTick_; }
  bool AnyGood() const { return anyGood_; }

  std::int32_t PendingWrite() const { return pendingWrite_; }
  std::int32_t PollCount() const { return pollCount_; }
  const ControllerValues& Values() const { return values_; }

 private:
  void WriteStep();
  void SizeChunk();
  void SendPlanRequest();
  bool LineQuiet() const;
  bool RoundInFlight() const;
  bool Overdue() const;
  void KeptGood();
  void AwaitQuietLine();
  void NextPlanRequest();
  void PlanReplyChecked(std::int32_t result);
  void ShowWriteBlocks();
  std::uint16_t RegisterWord(RegisterTable table, std::int32_t address) const;
  void KeepReplyWords(RegisterTable table, std::int32_t start);
  void SetReplyDeadline();
  void NotifySent(bool write);
  void NotifyWriteAnswered(std::int32_t result);

  const Settings& settings_;
  MasterState& state_;
  RegisterImage& image_;
  TMaster& master_;
  ValueView& view_;
  SampleSink& chart_;
  TickSource tick_;
  TickHook* tickHook_ = nullptr;
  std::vector<ResultObserver*> observers_;
  std::vector<WriteObserver*> writeObservers_;
  std::int32_t textWriteRegister_ = 0;
  std::string textWrite_;
  std::int32_t pendingWrite_ = 0;
  bool writeAwaiting_ = false;  // a write went out and its answer is not in
  bool lineMember_ = false;
  std::uint32_t lastGoodTick_ = 0;
  bool anyGood_ = false;
  std::int32_t pollCount_ = 0;
  ControllerValues values_;
  // The tick's read plan when it is not today's read: the requests, the
  // next to send, whether a reply is awaited, and whether one has failed
  // (the status line then keeps that failure for the rest of the tick).
  std::vector<PlanRequest> plan_;
  std::size_t planNext_ = 0;
  bool planAwaiting_ = false;
  bool tickFailed_ = false;
  PlanRequest planSent_;
  // Set after a request of the plan went unanswered: the next waits for a quiet line.
  bool quietWait_ = false;
  std::uint32_t lastPieceTick_ = 0;  // when the latest piece was read from the line
  // Register words above the image's numbers (addresses 10000..65535).
  std::vector<std::uint16_t> highHolding_;
  std::vector<std::uint16_t> highInput_;
  // Why each Write button is disabled as last told to the view (empty: enabled).
  std::array<std::string, 4> writeBlocks_;
  bool writeBlocksShown_ = false;
};

}  // namespace korvane
