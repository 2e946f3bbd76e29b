#include "poll/PollCycle.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "poll/ChunkWalk.h"
#include "poll/LineTime.h"

namespace korvane {

PollCycle::PollCycle(const Settings& settings, MasterState& state, RegisterImage& image,
                     TMaster& master, ValueView& view, SampleSink& chart, TickSource tick)
    : settings_(settings), state_(state), image_(image), master_(master), view_(view), chart_(chart),
      tick_(std::move(tick)) {}

void PollCycle::RemoveResultObserver(ResultObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void PollCycle::NotifySent(bool write) {
  for (ResultObserver* observer : observers_) observer->RequestSent(write);
}

void PollCycle::FrameWritten(std::string_view frame) {
  if (observers_.empty()) return;
  const std::uint32_t now = tick_();
  for (ResultObserver* observer : observers_) observer->FrameSent(frame, now);
}

void PollCycle::PollTimerTimer() {
  if (tickHook_ != nullptr && !tickHook_->BeforePoll()) return;
  if (!settings_.Poll.MasterMode) return;
  if (RoundInFlight()) return;  // the round before is still on the line
  if (pendingWrite_ > 0) {
    WriteStep();  // the write replaces this tick's read, paused chart or not
    return;
  }
  if (chart_.ChartPaused()) return;
  plan_ = MakeReadPlan(settings_.Map);
  planNext_ = 0;
  planAwaiting_ = false;
  quietWait_ = false;
  tickFailed_ = false;
  const std::int32_t table = settings_.Poll.TableType;
  if (lineMember_) {
    if (plan_.empty()) return;  // a map with no register to read asks nothing
    SendPlanRequest();
  } else if (table != 3 || plan_.empty() || (plan_.size() == 1 && plan_.front() == kTodaysRead)) {
    // Today's read, byte for byte: the polled block in chunks sized by the baud rate.
    plan_.clear();
    state_.ReadTable = -1;
    if (table == 2 || table == 3) SizeChunk();  // bit tables are always read whole
    state_.WriteActive = 0;
    master_.MasterPollPLC();
    NotifySent(false);
    SetReplyDeadline();
  } else {
    SendPlanRequest();
  }
  ++pollCount_;
  StatusDisplay(PollResult::Pending, "Poll " + std::to_string(pollCount_));
}

void PollCycle::SendPlanRequest() {
  const PlanRequest request = plan_[planNext_++];
  state_.WriteActive = 0;
  state_.ReadTable = request.Table == RegisterTable::Input ? 2 : 3;
  state_.ChunkStart = request.Start + 1;
  state_.ChunkSize = request.Count;
  planSent_ = request;
  master_.MasterPollPLC();
  planAwaiting_ = true;
  NotifySent(false);
  SetReplyDeadline();
}

void PollCycle::NextPlanRequest() {
  planAwaiting_ = false;
  // A chart paused within the poll stops its reads, as it stops the next poll's.
  if (planNext_ < plan_.size() && chart_.ChartPaused()) planNext_ = plan_.size();
  if (planNext_ >= plan_.size()) return;
  try {
    SendPlanRequest();
  } catch (...) {
    // The port went away within the tick: the rest of the plan waits for the next tick.
    planAwaiting_ = false;
    planNext_ = plan_.size();
  }
}

void PollCycle::PlanReplyChecked(std::int32_t result) {
  const std::string prefix = "Poll " + std::to_string(pollCount_);
  if (result == PollResult::DataOk) {
    KeepReplyWords(planSent_.Table, planSent_.Start);
    KeptGood();
  }
  if (tickFailed_ && (result == PollResult::Pending || result == PollResult::DataOk ||
                      result == PollResult::WrongReply)) {
    // The status line keeps the tick's first failure; the values still update.
    DisplayRegs();
  } else {
    StatusDisplay(result, prefix);
  }
  if (result == PollResult::DataOk) DisplayRegs();
  // A reply to another request is discarded; this request still waits for its own.
  if (result == PollResult::Pending || result == PollResult::WrongReply) return;
  if (result != PollResult::DataOk) tickFailed_ = true;
  if (!planAwaiting_) return;
  if (result == PollResult::TimeOut) {
    AwaitQuietLine();  // bytes after the deadline: the rest of them may still come
  } else {
    NextPlanRequest();
  }
}

void PollCycle::CheckPlanDeadline() {
  if (quietWait_) {
    AwaitQuietLine();
    return;
  }
  if (!planAwaiting_ || state_.WriteActive != 0 || !Overdue()) return;
  if (planNext_ >= plan_.size()) {
    planAwaiting_ = false;  // the round's last request: nothing follows it
    // On a line of several controllers the next request goes to another
    // one: this controller's status says now that it did not answer.
    if (lineMember_ && !tickFailed_) StatusDisplay(PollResult::TimeOut, "Poll " + std::to_string(pollCount_));
    tickFailed_ = true;
    return;
  }
  // The link counters count the time-out when the next request goes out.
  if (!tickFailed_) StatusDisplay(PollResult::TimeOut, "Poll " + std::to_string(pollCount_));
  tickFailed_ = true;
  AwaitQuietLine();
}

void PollCycle::AwaitQuietLine() {
  planAwaiting_ = false;
  quietWait_ = !LineQuiet();
  if (!quietWait_) NextPlanRequest();
}

std::uint32_t PollCycle::FrameGapMs() const {
  if (master_.Mbap()) return 0;  // transaction ids tell a late reply apart
  return FrameGapMilliseconds(FramingOf(settings_.Link));
}

bool PollCycle::LineQuiet() const { return tick_() - lastPieceTick_ >= FrameGapMs(); }

bool PollCycle::Overdue() const {
  // The tick count wraps; the signed difference does not mind.
  return static_cast<std::int32_t>(tick_() - static_cast<std::uint32_t>(state_.ReplyDeadline)) > 0;
}

bool PollCycle::RoundInFlight() const {
  if (plan_.empty()) return false;
  if (quietWait_) return !LineQuiet();
  return planAwaiting_ && state_.WriteActive == 0 && !Overdue();
}

bool PollCycle::RoundOver() const {
  if (quietWait_) return false;  // the next request of the plan waits for a quiet line
  if (state_.WriteActive == 1) return !writeAwaiting_ || Overdue();
  if (planAwaiting_) return planNext_ >= plan_.size() && Overdue();
  return planNext_ >= plan_.size();
}

void PollCycle::KeptGood() {
  lastGoodTick_ = tick_();
  anyGood_ = true;
}

void PollCycle::SizeChunk() {
  // Modbus TCP carries a register in two bytes, as RTU does.
  const ChunkRequest request{settings_.Link.RtuMode || master_.Mbap(), settings_.Link.Baud,
                             settings_.Poll.StartRegister, settings_.Poll.RegisterCount};
  const Chunk chunk = NextChunk(request, state_.ChunkStart);
  state_.ChunkStart = chunk.Start;
  state_.ChunkSize = chunk.Size;
}

void PollCycle::SetReplyDeadline() {
  // The tick count wraps at 2^32; the deadline wraps with it.
  const std::uint32_t deadline = tick_() + static_cast<std::uint32_t>(settings_.Poll.ResponseTime);
  state_.ReplyDeadline = static_cast<std::int32_t>(deadline);
}

void PollCycle::Serial1PortReceive(const std::string& buffer) {
  Serial1PortReceive(buffer, tick_());
}

void PollCycle::Serial1PortReceive(const std::string& buffer, std::uint32_t arrivalTick) {
  for (ResultObserver* observer : observers_) observer->PieceReceived(buffer, arrivalTick);
  if (!buffer.empty()) lastPieceTick_ = arrivalTick;
  // While the line settles after an unanswered request nothing is awaited:
  // what arrives is a late reply, and the next request's collection starts afresh.
  if (settings_.Poll.MasterMode && !quietWait_) {
    const auto n = static_cast<std::int32_t>(
        std::min<std::size_t>(buffer.size(), std::numeric_limits<std::int32_t>::max()));
    const std::int32_t result = master_.MasterCheck(n, buffer);
    for (ResultObserver* observer : observers_) observer->ReplyChecked(result, state_.WriteActive == 1);
    if (state_.WriteActive == 1) {
      StatusDisplay(result, "Write - ");
      NotifyWriteAnswered(result);
      if (result != PollResult::Pending && result != PollResult::WrongReply) writeAwaiting_ = false;
    }
    if (state_.WriteActive == 0 && !plan_.empty()) {
      PlanReplyChecked(result);
    } else if (state_.WriteActive == 0) {
      StatusDisplay(result, "Poll " + std::to_string(pollCount_));
      if (result == PollResult::DataOk) {
        KeptGood();
        DisplayRegs();
      }
    }
  }
  // Every piece adds a sample, a failed reply one with the previous values.
  if (!chart_.ChartPaused()) chart_.AddSample(values_.PV, values_.SP, values_.Out);
}

void PollCycle::StrayPiece(const std::string& buffer, std::uint32_t arrivalTick) {
  for (ResultObserver* observer : observers_) observer->PieceReceived(buffer, arrivalTick);
  if (!buffer.empty()) lastPieceTick_ = arrivalTick;
}

void PollCycle::StatusDisplay(std::int32_t result, const std::string& prefix) {
  std::string text;
  if (StatusText(result, prefix, text)) view_.SetStatus(text);
  if (result == PollResult::Pending || result == PollResult::DataOk) DisplayRegs();
}

}  // namespace korvane
