// The register image turned into the controller values and their edit boxes.

#include <cstdint>

#include "base/Convert.h"
#include "poll/PollCycle.h"

namespace korvane {
namespace {

// The polled entries that hold controller values: holding registers 1..20
// of slot 1, entry = wire address + 1.
constexpr std::int32_t kDisplayedEntries = 20;
constexpr int kDisplaySlot = 1;

// Entry of a wire address, or 0 (matching no entry) outside the displayed ones.
std::int32_t EntryOf(std::int32_t address) {
  return address >= 0 && address < kDisplayedEntries ? address + 1 : 0;
}

// Register value times factor, computed in double (exact for 16-bit values
// and float factors) and kept as a 32-bit float.
float Scaled(std::int32_t raw, float factor) {
  return static_cast<float>(static_cast<double>(raw) * static_cast<double>(factor));
}

}  // namespace

void PollCycle::DisplayRegs() {
  if (settings_.Poll.TableType != 3 || settings_.Poll.ValueFormat != 0) return;
  const RegisterMap& map = settings_.Map;
  const char separator = view_.DecimalSeparator();
  const bool updateEntries = view_.UpdateValuesOnPoll();
  const auto show = [&](ValueBox box, float value) { view_.ShowValue(box, Format83(value, separator)); };

  for (std::int32_t i = 1; i <= kDisplayedEntries; ++i) {
    const std::int16_t word = image_.HoldingRegister(kDisplaySlot, i);
    const std::int32_t asSigned = word;
    const std::int32_t asUnsigned = static_cast<std::uint16_t>(word);
    if (i == EntryOf(map.AddrPV)) {
      values_.PV = Scaled(asSigned, map.FactorPV);
      show(ValueBox::PV, values_.PV);
    }
    if (i == EntryOf(map.AddrOut)) {
      values_.Out = Scaled(asSigned, map.FactorOut);
      show(ValueBox::Out, values_.Out);
    }
    if (i == EntryOf(map.AddrSP)) values_.SP = Scaled(asSigned, map.FactorSP);
    if (!updateEntries) continue;
    if (i == EntryOf(map.AddrSP)) show(ValueBox::SetPt, values_.SP);
    if (i == EntryOf(map.AddrKp)) {
      values_.Kp = Scaled(asUnsigned, map.FactorKp);
      show(ValueBox::K, values_.Kp);
    }
    if (i == EntryOf(map.AddrKi)) {
      values_.Ki = Scaled(asUnsigned, map.FactorKi);
      show(ValueBox::Ki, values_.Ki);
    }
    if (i == EntryOf(map.AddrKd)) {
      values_.Kd = Scaled(asUnsigned, map.FactorKd);
      show(ValueBox::Kd, values_.Kd);
    }
  }
}

}  // namespace korvane
