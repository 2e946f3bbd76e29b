#include "config/RegisterLine.h"

#include <array>
#include <utility>
#include <vector>

namespace korvane {
namespace {

constexpr std::string_view kSeparator = ", ";
constexpr std::string_view kRegisterSuffix = " register";

constexpr std::array<std::pair<std::string_view, MapRow>, kMapRows> kNames{{
    {"PV", MapRow::PV}, {"SP", MapRow::SP}, {"OUT", MapRow::Out}, {"Hysteresis", MapRow::Hys},
    {"K", MapRow::Kp}, {"Ki", MapRow::Ki}, {"Kd", MapRow::Kd}}};

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t pos = line.find(kSeparator);
    fields.push_back(line.substr(0, pos));
    if (pos == std::string_view::npos) return fields;
    line.remove_prefix(pos + kSeparator.size());
  }
}

// A wire address: decimal digits only, 0..65535.
std::optional<std::int32_t> WireAddress(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  std::int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > kHighestRegisterAddress) return std::nullopt;
  return value;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::optional<RegisterLineTexts> SplitRegisterLine(std::string_view line) {
  const std::vector<std::string_view> fields = SplitFields(line);
  const std::string_view first = fields.front();
  if (first.size() <= kRegisterSuffix.size() || first.substr(first.size() - kRegisterSuffix.size()) != kRegisterSuffix) {
    return std::nullopt;
  }
  const std::string_view name = first.substr(0, first.size() - kRegisterSuffix.size());
  for (const auto& [text, row] : kNames) {
    if (name != text) continue;
    if (fields.size() > 4) {
      throw RegisterLineError("more than FORMAT, TABLE and WRITE ADDRESS after \"" + std::string(first) + "\"");
    }
    RegisterLineTexts texts;
    texts.Row = row;
    if (fields.size() > 1) texts.Format = fields[1];
    if (fields.size() > 2) texts.Table = fields[2];
    if (fields.size() > 3) texts.WriteAddr = fields[3];
    if (fields.size() == 1) throw RegisterLineError("FORMAT: missing");
    return texts;
  }
  return std::nullopt;
}

RegisterLayout DefaultLayout(MapRow row) {
  RegisterLayout layout;
  if (row == MapRow::Kp || row == MapRow::Ki || row == MapRow::Kd) layout.Format = RegisterFormat::U16;
  return layout;
}

RegisterLayout CheckedLayout(MapRow row, const std::string& addrText, const std::string& formatText,
                             const std::string& tableText, const std::string& writeAddrText) {
  RegisterLayout layout = DefaultLayout(row);
  if (!formatText.empty()) {
    const std::optional<RegisterLayout> format = ParseFormatText(formatText);
    if (!format) {
      throw RegisterLineError("FORMAT: " + Quoted(formatText) +
                              " is not s16, u16, s32, u32 or f32 (a 32-bit one may end in -ABCD, -CDAB, -BADC or -DCBA)");
    }
    layout.Format = format->Format;
    layout.Order = format->Order;
  }
  if (!tableText.empty()) {
    const std::optional<RegisterTable> table = ParseTableText(tableText);
    if (!table) throw RegisterLineError("TABLE: " + Quoted(tableText) + " is not holding or input");
    layout.Table = *table;
  }
  if (!writeAddrText.empty()) {
    const std::optional<std::int32_t> write = WireAddress(writeAddrText);
    if (!write) throw RegisterLineError("WRITE ADDRESS: " + Quoted(writeAddrText) + " is not an address 0..65535");
    if (layout.Table == RegisterTable::Input) {
      throw RegisterLineError("WRITE ADDRESS: an input register cannot be written");
    }
    if (*write + RegisterSpan(layout.Format) - 1 > kHighestRegisterAddress) {
      throw RegisterLineError("WRITE ADDRESS: the second register of a 32-bit value at " + writeAddrText +
                              " would lie past 65535");
    }
    layout.WriteAddress = *write;
  }
  const std::optional<std::int32_t> address = WireAddress(addrText);
  if (!address) throw RegisterLineError("ADDRESS: " + Quoted(addrText) + " is not an address 0..65535");
  if (*address + RegisterSpan(layout.Format) - 1 > kHighestRegisterAddress) {
    throw RegisterLineError("FORMAT: the second register of a 32-bit value at " + addrText + " would lie past 65535");
  }
  return layout;
}

RegisterLineTexts LayoutTexts(MapRow row, const RegisterLayout& layout) {
  RegisterLineTexts texts;
  texts.Row = row;
  const RegisterLayout standard = DefaultLayout(row);
  if (layout.Format != standard.Format || (RegisterSpan(layout.Format) == 2 && layout.Order != WordOrder::ABCD)) {
    texts.Format = FormatText(layout.Format, layout.Order);
  }
  if (layout.Table != RegisterTable::Holding) texts.Table = TableText(layout.Table);
  if (layout.WriteAddress >= 0) texts.WriteAddr = std::to_string(layout.WriteAddress);
  return texts;
}

}  // namespace korvane
