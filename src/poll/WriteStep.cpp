// The parameter write a Write button asked for, sent by the next poll tick
// in place of its read.

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "poll/PollCycle.h"
#include "poll/WriteValue.h"

namespace korvane {
namespace {

struct WriteTarget {
  std::int32_t Register;  // PendingWrite's name of the value (its register in today's default map)
  ValueBox Box;
  WritableValue Value;
  float RegisterMap::*Factor;
  RegisterLayout RegisterMap::*Layout;
  std::string_view Name;
};

constexpr std::array<WriteTarget, 5> kWriteTargets = {{
    {26, ValueBox::SetPt, WritableValue::SP, &RegisterMap::FactorSP, &RegisterMap::LayoutSP, "setpoint"},
    {14, ValueBox::K, WritableValue::Kp, &RegisterMap::FactorKp, &RegisterMap::LayoutKp, "Kp"},
    {12, ValueBox::Ki, WritableValue::Ki, &RegisterMap::FactorKi, &RegisterMap::LayoutKi, "Ki"},
    {13, ValueBox::Kd, WritableValue::Kd, &RegisterMap::FactorKd, &RegisterMap::LayoutKd, "Kd"},
    // No Write button: only the tuning writes it, with its own text.
    {18, ValueBox::Hys, WritableValue::Hys, &RegisterMap::FactorHys, &RegisterMap::LayoutHys, "hysteresis"},
}};
// The targets with a Write button in the window.
constexpr std::size_t kButtonTargets = 4;

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
    case ValueBox::Hys: return values.Hys;
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

void PollCycle::ShowWriteBlocks() {
  for (std::size_t i = 0; i < kButtonTargets; ++i) {
    std::string reason = WriteBlockedReason(settings_.Map, kWriteTargets[i].Value);
    if (writeBlocksShown_ && reason == writeBlocks_[i]) continue;
    writeBlocks_[i] = std::move(reason);
    view_.SetWriteBlocked(kWriteTargets[i].Box, writeBlocks_[i]);
  }
  writeBlocksShown_ = true;
}

void PollCycle::WriteStep() {
  const std::int32_t registerNumber = pendingWrite_;
  // Cleared first: whatever happens below, the write is tried on this tick only.
  pendingWrite_ = 0;
  // A write tick ends the reads of the tick before.
  plan_.clear();
  planAwaiting_ = false;
  const WriteTarget* target = TargetOf(registerNumber);
  if (target == nullptr) return;

  // A text that is not a number sends nothing and leaves the status line alone.
  const bool ownText = textWriteRegister_ == registerNumber;
  textWriteRegister_ = 0;
  const std::string text = ownText ? textWrite_ : view_.EntryText(target->Box);
  const std::optional<double> number = ParseWriteNumber(text);
  if (!number) return;
  const RegisterMap& map = settings_.Map;
  const float factor = map.*(target->Factor);
  // Nothing goes to a register the map does not let this value write (an
  // input register, an address outside 0..65535).
  std::string blocked = WriteBlockedReason(map, target->Value);
  if (!blocked.empty()) {
    blocked[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(blocked[0])));
    blocked = "Write refused: " + blocked;
  }
  const RegisterWrite scaled =
      blocked.empty() ? ScaleRegisterWrite(*number, factor, map.*(target->Layout), target->Name, text)
                      : RegisterWrite{false, {}, 1, 0, blocked};
  if (!scaled.Ok) {
    view_.WriteRefused(scaled.Refusal);
    for (WriteObserver* observer : writeObservers_) observer->WriteRefused(target->Name, scaled.Refusal);
    return;
  }

  state_.WriteValues[0] = scaled.Words[0];
  state_.WriteValues[1] = scaled.Words[1];
  state_.WriteActive = 1;
  state_.WriteAddress = WriteAddressOf(map, target->Value) + 1;
  state_.WriteCount = scaled.Count;
  writeAwaiting_ = false;
  master_.MasterPollPLC();
  writeAwaiting_ = true;
  NotifySent(true);
  for (WriteObserver* observer : writeObservers_) {
    observer->WriteSent(target->Name, ShownValue(values_, target->Box), scaled.Written);
  }
  SetReplyDeadline();
  StatusDisplay(PollResult::Pending, "Write -");
}

}  // namespace korvane
