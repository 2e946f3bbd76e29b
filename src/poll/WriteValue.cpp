#include "poll/WriteValue.h"

#include <charconv>
#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>

#include "poll/RoundHalfEven.h"

namespace korvane {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

// Rough decimal magnitude of a syntactically valid number: positive when its
// value is 1 or more. Only its sign is used, to tell overflow from underflow.
std::int64_t DecimalMagnitude(std::string_view mantissa, std::string_view exponentPart) {
  std::int64_t exponent = 0;
  if (!exponentPart.empty()) {
    std::size_t j = 1;
    const bool negative = exponentPart[j] == '-';
    if (exponentPart[j] == '+' || exponentPart[j] == '-') ++j;
    for (; j < exponentPart.size(); ++j) {
      exponent = std::min<std::int64_t>(exponent * 10 + (exponentPart[j] - '0'), 1'000'000'000);
    }
    if (negative) exponent = -exponent;
  }
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t firstNonZero = mantissa.find_first_not_of("0.");
  if (firstNonZero == std::string_view::npos) return std::numeric_limits<std::int64_t>::min();
  const std::int64_t position = firstNonZero < point
                                    ? static_cast<std::int64_t>(point - firstNonZero)
                                    : -static_cast<std::int64_t>(firstNonZero - point - 1);
  return position + exponent;
}

}  // namespace

std::optional<double> ParseWriteNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t numberStart = i;  // from_chars reads neither blanks nor a sign
  const std::size_t integerEnd = SkipDigits(text, i);
  std::size_t end = integerEnd;
  bool digits = integerEnd > i;
  if (end < text.size() && text[end] == '.') {
    const std::size_t fractionEnd = SkipDigits(text, end + 1);
    digits = digits || fractionEnd > end + 1;
    end = fractionEnd;
  }
  if (!digits) return std::nullopt;
  const std::size_t mantissaEnd = end;
  if (end < text.size() && (text[end] == 'E' || text[end] == 'e')) {
    std::size_t j = end + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const std::size_t exponentEnd = SkipDigits(text, j);
    if (exponentEnd == j) return std::nullopt;
    end = exponentEnd;
  }
  if (end != text.size()) return std::nullopt;  // anything after the number, blanks included

  double value = 0;
  const char* first = text.data() + numberStart;
  const char* last = text.data() + end;
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Beyond the range of a double: infinite when too large, 0 when too small.
    const bool tooLarge =
        DecimalMagnitude(text.substr(numberStart, mantissaEnd - numberStart), text.substr(mantissaEnd)) > 0;
    value = tooLarge ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc() || ptr != last) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

ScaledWrite ScaleWriteValue(double number, float factor, std::string_view what, std::string_view text) {
  ScaledWrite result;
  const std::string name(what);
  if (factor == 0.0f) {
    result.Refusal = "Write refused: the factor of " + name + " is 0.";
    return result;
  }
  const double scaled = RoundHalfEven(number / static_cast<double>(factor));
  if (!std::isfinite(scaled) || scaled < kLowestWriteValue || scaled > kHighestWriteValue) {
    // The typed number is quoted without its leading blanks; a long one only
    // by its start, so the message stays readable in the status line.
    constexpr std::size_t kQuotedChars = 20;
    std::string typed(text.substr(std::min(text.find_first_not_of(' '), text.size())));
    if (typed.size() > kQuotedChars) typed.replace(kQuotedChars, std::string::npos, "...");
    result.Refusal = "Write refused: " + name + " " + typed +
                     " does not fit a controller register (" + std::to_string(kLowestWriteValue) +
                     " to " + std::to_string(kHighestWriteValue) + " after scaling).";
    return result;
  }
  result.Ok = true;
  result.Value = static_cast<std::int32_t>(scaled);
  return result;
}

namespace {

const RegisterLayout& LayoutOf(const RegisterMap& map, WritableValue value) {
  switch (value) {
    case WritableValue::Kp: return map.LayoutKp;
    case WritableValue::Ki: return map.LayoutKi;
    case WritableValue::Kd: return map.LayoutKd;
    case WritableValue::Hys: return map.LayoutHys;
    case WritableValue::SP: break;
  }
  return map.LayoutSP;
}

std::int32_t AddressOf(const RegisterMap& map, WritableValue value) {
  switch (value) {
    case WritableValue::Kp: return map.AddrKp;
    case WritableValue::Ki: return map.AddrKi;
    case WritableValue::Kd: return map.AddrKd;
    case WritableValue::Hys: return map.AddrHys;
    case WritableValue::SP: break;
  }
  return map.AddrSP;
}

std::string_view NameOf(WritableValue value) {
  switch (value) {
    case WritableValue::Kp: return "Kp";
    case WritableValue::Ki: return "Ki";
    case WritableValue::Kd: return "Kd";
    case WritableValue::Hys: return "hysteresis";
    case WritableValue::SP: break;
  }
  return "setpoint";
}

}  // namespace

RegisterWrite ScaleRegisterWrite(double number, float factor, const RegisterLayout& layout, std::string_view what,
                                 std::string_view text) {
  RegisterWrite result;
  if (RegisterSpan(layout.Format) == 1) {
    const ScaledWrite scaled = ScaleWriteValue(number, factor, what, text);
    result.Ok = scaled.Ok;
    result.Refusal = scaled.Refusal;
    result.Words[0] = scaled.Value;
    result.Written = static_cast<double>(scaled.Value) * static_cast<double>(factor);
    return result;
  }
  const std::string name(what);
  if (factor == 0.0f) {
    result.Refusal = "Write refused: the factor of " + name + " is 0.";
    return result;
  }
  double raw = number / static_cast<double>(factor);
  if (layout.Format != RegisterFormat::F32) raw = RoundHalfEven(raw);
  const std::optional<std::array<std::uint16_t, 2>> words = EncodeRegisters(layout.Format, layout.Order, raw);
  if (!words) {
    std::string typed(text.substr(std::min(text.find_first_not_of(' '), text.size())));
    if (typed.size() > 20) typed.replace(20, std::string::npos, "...");
    result.Refusal = "Write refused: " + name + " " + typed + " does not fit a " +
                     FormatText(layout.Format, WordOrder::ABCD) + " register pair (" + FormatRange(layout.Format) +
                     " after scaling).";
    return result;
  }
  result.Ok = true;
  result.Count = 2;
  result.Words = {(*words)[0], (*words)[1]};
  result.Written = DecodeRegisters(layout.Format, layout.Order, *words) * static_cast<double>(factor);
  return result;
}

std::int32_t WriteAddressOf(const RegisterMap& map, WritableValue value) {
  const RegisterLayout& layout = LayoutOf(map, value);
  if (layout.WriteAddress >= 0) return layout.WriteAddress;
  if (value == WritableValue::SP && WritesSetpointAsDefaultMap(map)) return kDefaultSetpointWrite;
  return AddressOf(map, value);
}

std::string WriteBlockedReason(const RegisterMap& map, WritableValue value) {
  const RegisterLayout& layout = LayoutOf(map, value);
  const std::string name(NameOf(value));
  if (layout.Table == RegisterTable::Input) {
    return "The " + name + " is read from an input register, which cannot be written.";
  }
  const std::int64_t address = WriteAddressOf(map, value);
  if (address < 0 || address + RegisterSpan(layout.Format) - 1 > kHighestRegisterAddress) {
    return "The " + name + "'s register address " + std::to_string(address) + " is not one of 0..65535.";
  }
  return {};
}

}  // namespace korvane
