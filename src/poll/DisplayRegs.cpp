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

enum class Shown { PV, Out, SP, Kp, Ki, Kd };

struct Displayed {
  Shown What;
  ValueRegisters Registers;
  const RegisterLayout* Layout;
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
  std::array<Displayed, 6> shown{{{Shown::PV, regs[0], &map.LayoutPV},
                                  {Shown::Out, regs[2], &map.LayoutOut},
                                  {Shown::SP, regs[1], &map.LayoutSP},
                                  {Shown::Kp, regs[4], &map.LayoutKp},
                                  {Shown::Ki, regs[5], &map.LayoutKi},
                                  {Shown::Kd, regs[6], &map.LayoutKd}}};
  std::stable_sort(shown.begin(), shown.end(), [](const Displayed& a, const Displayed& b) {
    if (a.Registers.Table != b.Registers.Table) return a.Registers.Table == RegisterTable::Holding;
    return a.Registers.Address < b.Registers.Address;
  });

  for (const Displayed& d : shown) {
    // A value outside the addressable registers is never read: it keeps its last contents.
    if (!Addressable(d.Registers)) continue;
    const ValueRegisters& r = d.Registers;
    const std::array<std::uint16_t, 2> words{RegisterWord(r.Table, r.Address),
                                             r.Span == 2 ? RegisterWord(r.Table, r.Address + 1) : std::uint16_t{0}};
    const double raw = DecodeRegisters(d.Layout->Format, d.Layout->Order, words);
    switch (d.What) {
      case Shown::PV:
        values_.PV = Scaled(raw, map.FactorPV);
        show(ValueBox::PV, values_.PV);
        break;
      case Shown::Out:
        values_.Out = Scaled(raw, map.FactorOut);
        show(ValueBox::Out, values_.Out);
        break;
      case Shown::SP:
        values_.SP = Scaled(raw, map.FactorSP);
        if (updateEntries) show(ValueBox::SetPt, values_.SP);
        break;
      case Shown::Kp:
        if (!updateEntries) break;
        values_.Kp = Scaled(raw, map.FactorKp);
        show(ValueBox::K, values_.Kp);
        break;
      case Shown::Ki:
        if (!updateEntries) break;
        values_.Ki = Scaled(raw, map.FactorKi);
        show(ValueBox::Ki, values_.Ki);
        break;
      case Shown::Kd:
        if (!updateEntries) break;
        values_.Kd = Scaled(raw, map.FactorKd);
        show(ValueBox::Kd, values_.Kd);
        break;
    }
  }
}

}  // namespace korvane
