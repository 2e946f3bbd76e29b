#include "files/FileNumbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "base/Convert.h"

namespace korvane {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Values at or above this magnitude take the general path: below it the
// scaled value fits 64 bits.
constexpr float kFastLimit = 1e15f;

char* AppendGeneral(char* out, float value, char separator) {
  char buf[kMaxFixed83Chars];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value), std::chars_format::fixed, 3);
  std::size_t n = ec == std::errc() ? static_cast<std::size_t>(end - buf) : 0;
  for (std::size_t fill = n; fill < 8; ++fill) *out++ = ' ';
  for (std::size_t i = 0; i < n; ++i) *out++ = buf[i] == '.' ? separator : buf[i];
  return out;
}

}  // namespace

char FileDecimalSeparator(char systemSeparator) noexcept {
  return systemSeparator == ',' ? '.' : systemSeparator;
}

char* AppendFixed83(char* out, float value, char separator) noexcept {
  if (!(std::fabs(value) < kFastLimit)) return AppendGeneral(out, value, separator);
  // A float has 24 significant bits and 1000 needs 7 more, so the product is
  // exact in a double; rounding it once to a whole number is what printf's
  // correct rounding does (in the current rounding mode, like printf).
  const auto scaled = static_cast<std::uint64_t>(std::nearbyint(std::fabs(static_cast<double>(value)) * 1000.0));
  std::uint64_t whole = scaled / 1000;
  const auto fraction = static_cast<unsigned>(scaled % 1000);
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  const bool negative = std::signbit(value);  // "-0.000" like printf
  for (int width = count + 4 + (negative ? 1 : 0); width < 8; ++width) *out++ = ' ';
  if (negative) *out++ = '-';
  while (count > 0) *out++ = digits[--count];
  *out++ = separator;
  *out++ = static_cast<char>('0' + fraction / 100);
  *out++ = static_cast<char>('0' + fraction / 10 % 10);
  *out++ = static_cast<char>('0' + fraction % 10);
  return out;
}

std::string Fixed83(float value, char separator) {
  char buf[kMaxFixed83Chars];
  return std::string(buf, AppendFixed83(buf, value, separator));
}

std::optional<double> ParseFileFloat(std::string_view text, char separator) {
  // The same scan as StrictFloat, writing the number as std::from_chars
  // reads it into a small buffer. Anything that does not fit the buffer, or
  // that from_chars finds out of range, is left to StrictFloat itself.
  char normalized[64];
  std::size_t n = 0;
  auto put = [&](char c) {
    if (n < sizeof normalized) normalized[n] = c;
    ++n;
  };
  std::size_t i = 0;
  const std::size_t size = text.size();
  while (i < size && IsBlank(text[i])) ++i;
  if (i < size && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') put('-');
    ++i;
  }
  bool digits = false;
  while (i < size && IsDigit(text[i])) { put(text[i++]); digits = true; }
  if (i < size && text[i] == separator) {
    std::size_t j = i + 1;
    while (j < size && IsDigit(text[j])) ++j;
    if (digits || j > i + 1) {
      put('.');
      for (std::size_t k = i + 1; k < j; ++k) put(text[k]);
      digits = true;
      i = j;
    }
  }
  if (!digits) return std::nullopt;
  if (i < size && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    const bool minus = j < size && text[j] == '-';
    if (j < size && (text[j] == '+' || text[j] == '-')) ++j;
    const std::size_t expStart = j;
    while (j < size && IsDigit(text[j])) ++j;
    if (j > expStart) {
      put('e');
      if (minus) put('-');
      for (std::size_t k = expStart; k < j; ++k) put(text[k]);
      i = j;
    }
  }
  while (i < size && IsBlank(text[i])) ++i;
  if (i != size) return std::nullopt;
  if (n <= sizeof normalized) {
    double value = 0;
    auto [ptr, ec] = std::from_chars(normalized, normalized + n, value, std::chars_format::general);
    if (ec == std::errc() && ptr == normalized + n) return value;
    if (ec != std::errc::result_out_of_range) return std::nullopt;
  }
  try {
    return StrictFloat(text, separator);
  } catch (const ConvertError&) {
    return std::nullopt;
  }
}

}  // namespace korvane
