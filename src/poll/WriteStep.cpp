// The parameter write a Write button asked for, sent by the next poll tick
// in place of its read.

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// The value shown for the parameter a write changes.
double ShownValue(const ControllerValues& values, ValueBox box) {
  switch (box) {
    case ValueBox::SetPt: return values.SP;
    case ValueBox::K: return values.Kp;
    case ValueBox::Ki: return values.Ki;
    case ValueBox::Kd: return values.Kd;
    default: return 0.0;
  }
}

}  // namespace

void PollCycle::WriteTextClick(ValueBox box, std::string text) {
  for (const WriteTarget& target : kWriteTargets) {
    if (target.Box != box) continue;
    textWriteRegister_ = target.Register;
    textWrite_ = std::move(text);
    pendingWrite_ = target.Register;
  }
}

void PollCycle::RemoveWriteObserver(WriteObserver* observer) {
  writeObservers_.erase(std::remove(writeObservers_.begin(), writeObservers_.end(), observer), writeObservers_.end());
}

void PollCycle::NotifyWriteAnswered(std::int32_t result) {
  std::string text;
  if (writeObservers_.empty() || !StatusText(result, "Write - ", text)) return;
  for (WriteObserver* observer : writeObservers_) observer->WriteAnswered(text);
}

void PollCycle::WriteStep() {
  const std::int32_t registerNumber = pendingWrite_;
  // Cleared first: whatever happens below, the write is tried on this tick only.
  pendingWrite_ = 0;
  const WriteTarget* target = TargetOf(registerNumber);
  if (target == nullptr) return;

  // A text that is not a number sends nothing and leaves the status line alone.
  const bool ownText = textWriteRegister_ == registerNumber;
  textWriteRegister_ = 0;
  const std::string text = ownText ? textWrite_ : view_.EntryText(target->Box);
  const std::optional<double> number = ParseWriteNumber(text);
  if (!number) return;
  const float factor = settings_.Map.*(target->Factor);
  const ScaledWrite scaled = ScaleWriteValue(*number, factor, target->Name, text);
  if (!scaled.Ok) {
    view_.WriteRefused(scaled.Refusal);
    for (WriteObserver* observer : writeObservers_) observer->WriteRefused(target->Name, scaled.Refusal);
    return;
  }

  state_.WriteValues[0] = scaled.Value;
  state_.WriteActive = 1;
  state_.WriteAddress = registerNumber;
  state_.WriteCount = 1;
  master_.MasterPollPLC();
  NotifySent(true);
  const double written = static_cast<double>(scaled.Value) * static_cast<double>(factor);
  for (WriteObserver* observer : writeObservers_) observer->WriteSent(target->Name, ShownValue(values_, target->Box), written);
  SetReplyDeadline();
  StatusDisplay(PollResult::Pending, "Write -");
}

}  // namespace korvane
