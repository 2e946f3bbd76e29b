// The registers read turned into the controller values and their edit boxes.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "base/Convert.h"
#include "poll/PollCycle.h"
#include "poll/ReadPlan.h"

namespace korvane {
namespace {

// Replies are stored in slot 1 of the register image.
constexpr int kDisplaySlot = 1;

// Register number times factor, computed in double (exact for 16-bit values
// and float factors) and kept as a 32-bit float.
float Scaled(double raw, float factor) { return static_cast<float>(raw * static_cast<double>(factor)); }

// One value as the boxes show it: where it lies, how it scales, where it is
// kept and shown. An entry box (SP, Kp, Ki, Kd) is filled only while the
// boxes follow the polls; the setpoint is kept even then, the factors not.
struct Displayed {
  ValueRegisters Registers;
  const RegisterLayout* Layout;
  float RegisterMap::*Factor;
  float ControllerValues::*Value;
  ValueBox Box;
  bool Entry;        // an edit box the user may be typing in
  bool KeptAlways;   // the value is kept when its box is not filled
};

}  // namespace

std::uint16_t PollCycle::RegisterWord(RegisterTable table, std::int32_t address) const {
  // The image holds the numbers 1..kRegisters; the words beyond it are kept here.
  if (address < RegisterImage::kRegisters) {
    return table == RegisterTable::Holding
               ? static_cast<std::uint16_t>(image_.HoldingRegister(kDisplaySlot, address + 1))
               : static_cast<std::uint16_t>(image_.InputRegister(kDisplaySlot, address + 1));
  }
  const auto& words = table == RegisterTable::Holding ? highHolding_ : highInput_;
  const auto at = static_cast<std::size_t>(address - RegisterImage::kRegisters);
  return at < words.size() ? words[at] : 0;
}

void PollCycle::KeepReplyWords(RegisterTable table, std::int32_t start) {
  auto& words = table == RegisterTable::Holding ? highHolding_ : highInput_;
  for (std::size_t i = 0; i < state_.ReplyWords.size(); ++i) {
    const std::int64_t address = std::int64_t{start} + static_cast<std::int64_t>(i);
    if (address < RegisterImage::kRegisters || address > kHighestRegisterAddress) continue;
    const auto at = static_cast<std::size_t>(address - RegisterImage::kRegisters);
    if (words.size() <= at) words.resize(at + 1, 0);
    words[at] = state_.ReplyWords[i];
  }
}

void PollCycle::DisplayRegs() {
  if (settings_.Poll.TableType != 3 || settings_.Poll.ValueFormat != 0) return;
  const RegisterMap& map = settings_.Map;
  ShowWriteBlocks();
  const char separator = view_.DecimalSeparator();
  const bool updateEntries = view_.UpdateValuesOnPoll();
  const auto show = [&](ValueBox box, float value) { view_.ShowValue(box, Format83(value, separator)); };

  // The boxes are filled in register order (holding before input), and at
  // one address in the order PV, Out, SP, Kp, Ki, Kd.
  const std::array<ValueRegisters, 7> regs = MapRegisters(map);
  using CV = ControllerValues;
  using RM = RegisterMap;
  std::array<Displayed, 6> shown{{{regs[0], &map.LayoutPV, &RM::FactorPV, &CV::PV, ValueBox::PV, false, true},
                                  {regs[2], &map.LayoutOut, &RM::FactorOut, &CV::Out, ValueBox::Out, false, true},
                                  {regs[1], &map.LayoutSP, &RM::FactorSP, &CV::SP, ValueBox::SetPt, true, true},
                                  {regs[4], &map.LayoutKp, &RM::FactorKp, &CV::Kp, ValueBox::K, true, false},
                                  {regs[5], &map.LayoutKi, &RM::FactorKi, &CV::Ki, ValueBox::Ki, true, false},
                                  {regs[6], &map.LayoutKd, &RM::FactorKd, &CV::Kd, ValueBox::Kd, true, false}}};
  std::stable_sort(shown.begin(), shown.end(), [](const Displayed& a, const Displayed& b) {
    if (a.Registers.Table != b.Registers.Table) return a.Registers.Table == RegisterTable::Holding;
    return a.Registers.Address < b.Registers.Address;
  });

  for (const Displayed& d : shown) {
    // A value outside the addressable registers is never read: it keeps its last contents.
    if (!Addressable(d.Registers) || (!d.KeptAlways && !updateEntries)) continue;
    const ValueRegisters& r = d.Registers;
    const std::array<std::uint16_t, 2> words{RegisterWord(r.Table, r.Address),
                                             r.Span == 2 ? RegisterWord(r.Table, r.Address + 1) : std::uint16_t{0}};
    const double raw = DecodeRegisters(d.Layout->Format, d.Layout->Order, words);
    values_.*d.Value = Scaled(raw, map.*d.Factor);
    if (!d.Entry || updateEntries) show(d.Box, values_.*d.Value);
  }
  // The hysteresis has no box: kept for the tuning, which writes it back.
  if (Addressable(regs[3])) {
    const ValueRegisters& r = regs[3];
    const std::array<std::uint16_t, 2> words{RegisterWord(r.Table, r.Address),
                                             r.Span == 2 ? RegisterWord(r.Table, r.Address + 1) : std::uint16_t{0}};
    values_.Hys = Scaled(DecodeRegisters(map.LayoutHys.Format, map.LayoutHys.Order, words), map.FactorHys);
  }
}

}  // namespace korvane
