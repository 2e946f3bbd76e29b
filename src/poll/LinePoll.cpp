#include "poll/LinePoll.h"

#include <utility>

namespace korvane {

void LinePoll::SetCycles(std::vector<PollCycle*> cycles) {
  cycles_ = std::move(cycles);
  running_ = false;
  tickDue_ = false;
  if (asked_ >= cycles_.size()) asked_ = 0;
  const bool several = cycles_.size() > 1;
  for (PollCycle* cycle : cycles_) cycle->SetLineMember(several);
}

void LinePoll::PollTimerTimer() {
  if (cycles_.size() <= 1) {
    if (!cycles_.empty()) cycles_.front()->PollTimerTimer();
    return;
  }
  if (running_) {
    tickDue_ = true;  // the round before is still on the line: this one follows it
    return;
  }
  StartRound();
}

void LinePoll::StartRound() {
  tickDue_ = false;
  running_ = true;
  ++rounds_;
  asked_ = 0;
  if (beforeTurn_) beforeTurn_(0);
  try {
    cycles_[0]->PollTimerTimer();
  } catch (...) {
    running_ = false;  // the port is gone: no one else is asked this round
    throw;
  }
  if (cycles_[0]->RoundOver()) NextTurn();
}

void LinePoll::NextTurn() {
  while (running_) {
    if (asked_ + 1 >= cycles_.size()) {
      running_ = false;
      if (tickDue_) StartRound();
      return;
    }
    ++asked_;
    if (beforeTurn_) beforeTurn_(asked_);
    try {
      cycles_[asked_]->PollTimerTimer();
    } catch (...) {
      // The port went away within the round: the rest waits for the next tick.
      running_ = false;
      return;
    }
    if (!cycles_[asked_]->RoundOver()) return;
  }
}

bool LinePoll::LineQuiet() const {
  const std::uint32_t gap = frameGap_ ? frameGap_() : 0;
  return tick_() - lastPieceTick_ >= gap;
}

void LinePoll::CheckPlanDeadline() {
  if (cycles_.empty()) return;
  PollCycle& asked = *cycles_[asked_];
  asked.CheckPlanDeadline();
  if (cycles_.size() > 1 && running_ && asked.RoundOver() && LineQuiet()) NextTurn();
}

void LinePoll::Receive(const std::string& piece, std::uint32_t arrivalTick) {
  if (cycles_.empty()) return;
  if (!piece.empty()) lastPieceTick_ = arrivalTick;
  PollCycle& asked = *cycles_[asked_];
  if (cycles_.size() == 1) {
    asked.Serial1PortReceive(piece, arrivalTick);
    return;
  }
  if (!running_ || asked.RoundOver()) {
    // Nothing is awaited: a late reply, or noise. It must not count for
    // the controller asked last, whose answer is in.
    asked.StrayPiece(piece, arrivalTick);
    return;
  }
  asked.Serial1PortReceive(piece, arrivalTick);
  // The answer this controller waited for is in: the next one is asked at once.
  if (running_ && asked.RoundOver()) NextTurn();
}

}  // namespace korvane
