#include "poll/WriteValue.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "config/Convert.h"
#include "poll/RoundHalfEven.h"

namespace korvane {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

}  // namespace

std::optional<double> ParseWriteNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t numberStart = i;  // from_chars reads neither blanks nor a sign
  std::size_t end = SkipDigits(text, i);
  bool digits = end > i;
  if (end < text.size() && text[end] == '.') {
    const std::size_t fractionEnd = SkipDigits(text, end + 1);
    digits = digits || fractionEnd > end + 1;
    end = fractionEnd;
  }
  if (!digits) return std::nullopt;
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
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return negative ? -value : value;
}

ScaledWrite ScaleWriteValue(double number, float factor, std::string_view what) {
  ScaledWrite result;
  const std::string name(what);
  if (factor == 0.0f) {
    result.Refusal = "Write refused: the factor of " + name + " is 0.";
    return result;
  }
  const double scaled = RoundHalfEven(number / static_cast<double>(factor));
  if (!std::isfinite(scaled) || scaled < kLowestWriteValue || scaled > kHighestWriteValue) {
    result.Refusal = "Write refused: " + name + " " + FormatGeneral15(number) +
                     " does not fit a controller register (" + std::to_string(kLowestWriteValue) +
                     " to " + std::to_string(kHighestWriteValue) + " after scaling).";
    return result;
  }
  result.Ok = true;
  result.Value = static_cast<std::int32_t>(scaled);
  return result;
}

}  // namespace korvane
