#include "master/MasterState.h"

namespace korvane {
namespace {

// Index of entry `number` (1-based) of `slot` (1-based) in a table of
// `entries` per slot, or -1 when either lies outside the table.
long Index(int slot, int number, int entries) {
  if (slot < 1 || slot > RegisterImage::kSlots || number < 1 || number > entries) return -1;
  return static_cast<long>(slot - 1) * entries + (number - 1);
}

bool BitOf(const std::vector<std::int32_t>& table, int slot, int number) {
  if (number < 1 || number > RegisterImage::kBitWords * 16) return false;
  long i = Index(slot, (number - 1) / 16 + 1, RegisterImage::kBitWords);
  return i >= 0 && ((table[static_cast<std::size_t>(i)] >> ((number - 1) % 16)) & 1) != 0;
}

void SetBitOf(std::vector<std::int32_t>& table, int slot, int number, bool on) {
  if (number < 1 || number > RegisterImage::kBitWords * 16) return;
  long i = Index(slot, (number - 1) / 16 + 1, RegisterImage::kBitWords);
  if (i < 0) return;
  std::int32_t mask = std::int32_t{1} << ((number - 1) % 16);
  auto& word = table[static_cast<std::size_t>(i)];
  word = (on ? (word | mask) : (word & ~mask)) & 0xFFFF;
}

}  // namespace

RegisterImage::RegisterImage()
    : coils_(kSlots * kBitWords, 0),
      discretes_(kSlots * kBitWords, 0),
      inputs_(kSlots * kRegisters, 0),
      holdings_(kSlots * kRegisters, 0) {}

std::int32_t RegisterImage::CoilWord(int slot, int word) const {
  long i = Index(slot, word, kBitWords);
  return i < 0 ? 0 : coils_[static_cast<std::size_t>(i)];
}

std::int32_t RegisterImage::DiscreteWord(int slot, int word) const {
  long i = Index(slot, word, kBitWords);
  return i < 0 ? 0 : discretes_[static_cast<std::size_t>(i)];
}

bool RegisterImage::Coil(int slot, int number) const { return BitOf(coils_, slot, number); }
bool RegisterImage::DiscreteInput(int slot, int number) const { return BitOf(discretes_, slot, number); }
void RegisterImage::SetCoil(int slot, int number, bool on) { SetBitOf(coils_, slot, number, on); }
void RegisterImage::SetDiscreteInput(int slot, int number, bool on) { SetBitOf(discretes_, slot, number, on); }

std::int32_t RegisterImage::InputRegister(int slot, int number) const {
  long i = Index(slot, number, kRegisters);
  return i < 0 ? 0 : inputs_[static_cast<std::size_t>(i)];
}

std::int16_t RegisterImage::HoldingRegister(int slot, int number) const {
  long i = Index(slot, number, kRegisters);
  return i < 0 ? std::int16_t{0} : holdings_[static_cast<std::size_t>(i)];
}

void RegisterImage::SetInputRegister(int slot, int number, std::uint16_t raw) {
  long i = Index(slot, number, kRegisters);
  if (i >= 0) inputs_[static_cast<std::size_t>(i)] = raw;
}

void RegisterImage::SetHoldingRegister(int slot, int number, std::uint16_t raw) {
  long i = Index(slot, number, kRegisters);
  // Two's complement reinterpretation of the 16 wire bits (well defined since C++20).
  if (i >= 0) holdings_[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(raw);
}

}  // namespace korvane
