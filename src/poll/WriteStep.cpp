// The parameter write a Write button asked for, sent by the next poll tick
// in place of its read.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "poll/PollCycle.h"
#include "poll/WriteValue.h"

namespace korvane {
namespace {

struct WriteTarget {
  std::int32_t Register;  // 1-based, fixed whatever the register map says
  ValueBox Box;
  float RegisterMap::*Factor;
  std::string_view Name;
};

constexpr std::array<WriteTarget, 4> kWriteTargets = {{
    {26, ValueBox::SetPt, &RegisterMap::FactorSP, "setpoint"},
    {14, ValueBox::K, &RegisterMap::FactorKp, "Kp"},
    {12, ValueBox::Ki, &RegisterMap::FactorKi, "Ki"},
    {13, ValueBox::Kd, &RegisterMap::FactorKd, "Kd"},
}};

const WriteTarget* TargetOf(std::int32_t registerNumber) {
  for (const WriteTarget& target : kWriteTargets) {
    if (target.Register == registerNumber) return &target;
  }
  return nullptr;
}

}  // namespace

void PollCycle::WriteStep() {
  const std::int32_t registerNumber = pendingWrite_;
  // Cleared first: whatever happens below, the write is tried on this tick only.
  pendingWrite_ = 0;
  const WriteTarget* target = TargetOf(registerNumber);
  if (target == nullptr) return;

  // A text that is not a number sends nothing and leaves the status line alone.
  const std::string text = view_.EntryText(target->Box);
  const std::optional<double> number = ParseWriteNumber(text);
  if (!number) return;
  const ScaledWrite scaled = ScaleWriteValue(*number, settings_.Map.*(target->Factor), target->Name, text);
  if (!scaled.Ok) {
    view_.WriteRefused(scaled.Refusal);
    return;
  }

  state_.WriteValues[0] = scaled.Value;
  state_.WriteActive = 1;
  state_.WriteAddress = registerNumber;
  state_.WriteCount = 1;
  master_.MasterPollPLC();
  NotifySent(true);
  SetReplyDeadline();
  StatusDisplay(PollResult::Pending, "Write -");
}

}  // namespace korvane
