#include "base/RegisterFormat.h"

#include <bit>
#include <cmath>
#include <limits>
#include <utility>

namespace korvane {
namespace {

// Wire position (0..3) of each of the value's bytes A, B, C, D.
constexpr std::array<int, 4> WirePositions(WordOrder order) {
  switch (order) {
    case WordOrder::CDAB: return {2, 3, 0, 1};
    case WordOrder::BADC: return {1, 0, 3, 2};
    case WordOrder::DCBA: return {3, 2, 1, 0};
    case WordOrder::ABCD: break;
  }
  return {0, 1, 2, 3};
}

std::uint32_t FromWire(WordOrder order, std::array<std::uint16_t, 2> words) {
  const std::array<std::uint8_t, 4> wire{static_cast<std::uint8_t>(words[0] >> 8), static_cast<std::uint8_t>(words[0]),
                                         static_cast<std::uint8_t>(words[1] >> 8), static_cast<std::uint8_t>(words[1])};
  const std::array<int, 4> at = WirePositions(order);
  std::uint32_t value = 0;
  for (int b = 0; b < 4; ++b) value = (value << 8) | wire[static_cast<std::size_t>(at[static_cast<std::size_t>(b)])];
  return value;
}

std::array<std::uint16_t, 2> ToWire(WordOrder order, std::uint32_t value) {
  std::array<std::uint8_t, 4> wire{};
  const std::array<int, 4> at = WirePositions(order);
  for (int b = 0; b < 4; ++b) {
    wire[static_cast<std::size_t>(at[static_cast<std::size_t>(b)])] = static_cast<std::uint8_t>(value >> (24 - 8 * b));
  }
  return {static_cast<std::uint16_t>(wire[0] << 8 | wire[1]), static_cast<std::uint16_t>(wire[2] << 8 | wire[3])};
}

struct IntRange {
  double Low;
  double High;
};

IntRange RangeOf(RegisterFormat format) {
  switch (format) {
    case RegisterFormat::S16: return {-32768.0, 32767.0};
    case RegisterFormat::U16: return {0.0, 65535.0};
    case RegisterFormat::S32: return {-2147483648.0, 2147483647.0};
    case RegisterFormat::U32: return {0.0, 4294967295.0};
    case RegisterFormat::F32: break;
  }
  const double max = static_cast<double>(std::numeric_limits<float>::max());
  return {-max, max};
}

constexpr std::array<std::pair<std::string_view, RegisterFormat>, 5> kFormats{{
    {"s16", RegisterFormat::S16}, {"u16", RegisterFormat::U16}, {"s32", RegisterFormat::S32},
    {"u32", RegisterFormat::U32}, {"f32", RegisterFormat::F32}}};
constexpr std::array<std::pair<std::string_view, WordOrder>, 4> kOrders{{
    {"ABCD", WordOrder::ABCD}, {"CDAB", WordOrder::CDAB}, {"BADC", WordOrder::BADC}, {"DCBA", WordOrder::DCBA}}};

}  // namespace

double DecodeRegisters(RegisterFormat format, WordOrder order, std::array<std::uint16_t, 2> words) {
  switch (format) {
    case RegisterFormat::S16: return static_cast<std::int16_t>(words[0]);
    case RegisterFormat::U16: return words[0];
    case RegisterFormat::S32: return static_cast<std::int32_t>(FromWire(order, words));
    case RegisterFormat::U32: return FromWire(order, words);
    case RegisterFormat::F32: break;
  }
  return std::bit_cast<float>(FromWire(order, words));
}

std::optional<std::array<std::uint16_t, 2>> EncodeRegisters(RegisterFormat format, WordOrder order, double number) {
  const IntRange range = RangeOf(format);
  if (!std::isfinite(number) || number < range.Low || number > range.High) return std::nullopt;
  if (format == RegisterFormat::F32) return ToWire(order, std::bit_cast<std::uint32_t>(static_cast<float>(number)));
  if (number != std::floor(number)) return std::nullopt;
  const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(number));
  if (RegisterSpan(format) == 1) return std::array<std::uint16_t, 2>{static_cast<std::uint16_t>(bits), 0};
  return ToWire(order, bits);
}

std::string FormatRange(RegisterFormat format) {
  if (format == RegisterFormat::F32) return "a finite 32-bit float";
  const IntRange range = RangeOf(format);
  return std::to_string(static_cast<std::int64_t>(range.Low)) + " to " +
         std::to_string(static_cast<std::int64_t>(range.High));
}

std::optional<RegisterLayout> ParseFormatText(std::string_view text) {
  const std::string_view name = text.substr(0, 3);
  const std::string_view rest = text.substr(name.size());
  for (const auto& [formatName, format] : kFormats) {
    if (name != formatName) continue;
    RegisterLayout layout;
    layout.Format = format;
    if (rest.empty()) return layout;
    if (RegisterSpan(format) != 2 || rest.front() != '-') return std::nullopt;
    for (const auto& [orderName, order] : kOrders) {
      if (rest.substr(1) != orderName) continue;
      layout.Order = order;
      return layout;
    }
  }
  return std::nullopt;
}

std::string FormatText(RegisterFormat format, WordOrder order) {
  std::string text;
  for (const auto& [formatName, f] : kFormats) {
    if (f == format) text = formatName;
  }
  if (RegisterSpan(format) == 2 && order != WordOrder::ABCD) {
    for (const auto& [orderName, o] : kOrders) {
      if (o == order) text += "-" + std::string(orderName);
    }
  }
  return text;
}

std::optional<RegisterTable> ParseTableText(std::string_view text) {
  if (text == "holding") return RegisterTable::Holding;
  if (text == "input") return RegisterTable::Input;
  return std::nullopt;
}

std::string_view TableText(RegisterTable table) { return table == RegisterTable::Input ? "input" : "holding"; }

}  // namespace korvane
