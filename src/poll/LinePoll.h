#pragma once
// The poll of a line that carries several controllers: each poll tick asks
// every controller in turn, in list order, each with its own poll cycle
// (its own address, map and values). The next controller is asked as soon
// as the one before has its answers in; after a request that went
// unanswered, only once the line has been quiet for the frame gap, so a
// late reply cannot run into the next request's. A poll tick that comes
// while the round before is still on the line is kept, and its round
// follows the last one at once: rounds run back to back, never piled up.
// With one controller every call goes straight to its cycle, as before.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "master/MasterCode.h"
#include "poll/PollCycle.h"

namespace korvane {

class LinePoll {
 public:
  explicit LinePoll(TickSource tick) : tick_(std::move(tick)) {}

  // The cycles in poll order; a round in progress ends (its requests'
  // answers still go to the controller that was asked).
  void SetCycles(std::vector<PollCycle*> cycles);
  // Runs before a controller's turn (the line's settings brought up to date).
  void SetBeforeTurn(std::function<void(std::size_t)> before) { beforeTurn_ = std::move(before); }
  // The frame gap of the line, in milliseconds (0 on Modbus TCP).
  void SetFrameGap(std::function<std::uint32_t()> gap) { frameGap_ = std::move(gap); }

  void PollTimerTimer();
  void CheckPlanDeadline();
  void Receive(const std::string& piece, std::uint32_t arrivalTick);

  // The controller whose turn it is (or was last): the one pieces go to.
  std::size_t Asked() const { return asked_; }
  bool RoundRunning() const { return running_; }
  std::int32_t Rounds() const { return rounds_; }

 private:
  void StartRound();
  // Gives the next controllers their turn until one has a request on the
  // line or the round is over.
  void NextTurn();
  bool LineQuiet() const;

  TickSource tick_;
  std::vector<PollCycle*> cycles_;
  std::function<void(std::size_t)> beforeTurn_;
  std::function<std::uint32_t()> frameGap_;
  std::size_t asked_ = 0;
  bool running_ = false;
  bool tickDue_ = false;
  std::int32_t rounds_ = 0;
  std::uint32_t lastPieceTick_ = 0;
};

}  // namespace korvane
