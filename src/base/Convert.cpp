#include "base/Convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace korvane {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Scans the float syntax from `pos`: sign, digits with at most one separator,
// optional exponent. Returns the end of the longest valid number, or
// `start` when no digit was seen. `normalized` receives the number in the
// form std::from_chars reads ("." separator, no "+").
std::size_t ScanFloat(std::string_view text, std::size_t start, char sep, std::string& normalized) {
  std::size_t i = start;
  normalized.clear();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normalized.push_back('-');
    ++i;
  }
  bool digits = false;
  while (i < text.size() && IsDigit(text[i])) { normalized.push_back(text[i++]); digits = true; }
  if (i < text.size() && text[i] == sep) {
    std::size_t j = i + 1;
    std::string frac;
    while (j < text.size() && IsDigit(text[j])) frac.push_back(text[j++]);
    if (digits || !frac.empty()) {
      normalized.push_back('.');
      normalized += frac;
      digits = true;
      i = j;
    }
  }
  if (!digits) { normalized.clear(); return start; }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    std::string exp = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      if (text[j] == '-') exp.push_back('-');
      ++j;
    }
    bool expDigits = false;
    while (j < text.size() && IsDigit(text[j])) { exp.push_back(text[j++]); expDigits = true; }
    if (expDigits) { normalized += exp; i = j; }
  }
  return i;
}

bool ParseNormalized(const std::string& normalized, double& value) {
  const char* first = normalized.data();
  const char* last = first + normalized.size();
  auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a representable value.
    bool negativeExponent = normalized.find("e-") != std::string::npos;
    if (!negativeExponent) return false;
    value = normalized[0] == '-' ? -0.0 : 0.0;
    return true;
  }
  return ec == std::errc() && ptr == last;
}

std::string FormatFixed(double value, int width, int precision, char sep) {
  char buf[400];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
  std::string s = ec == std::errc() ? std::string(buf, ptr) : std::string("nan");
  if (sep != '.') {
    for (char& c : s) if (c == '.') c = sep;
  }
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

}  // namespace

std::int32_t LenientInt(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  std::int64_t value = 0;
  constexpr std::int64_t kCap = std::int64_t{1} << 40;  // far beyond 32 bits; stops growth
  for (; i < text.size(); ++i) {
    int d = base == 16 ? HexValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
    if (d < 0) break;
    value = value * base + d;
    if (value > kCap) value = kCap;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

double StrictFloat(std::string_view text, char decimalSeparator) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  std::string normalized;
  std::size_t end = ScanFloat(text, i, decimalSeparator, normalized);
  bool ok = end > i;
  std::size_t j = end;
  while (j < text.size() && IsBlank(text[j])) ++j;
  double value = 0;
  if (!ok || j != text.size() || !ParseNormalized(normalized, value)) {
    throw ConvertError(InvalidFloatMessage(text));
  }
  return value;
}

double LenientFloat(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  std::string normalized;
  std::size_t end = ScanFloat(text, i, '.', normalized);
  double value = 0;
  if (end == i || !ParseNormalized(normalized, value)) return 0.0;
  return value;
}

bool StrictInt(std::string_view text, std::int32_t& value) noexcept {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    v = v * 10 + (text[i] - '0');
    if (v > std::int64_t{1} << 32) return false;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min()) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

std::string Format83(double value, char decimalSeparator) { return FormatFixed(value, 8, 3, decimalSeparator); }
std::string Format63(double value, char decimalSeparator) { return FormatFixed(value, 6, 3, decimalSeparator); }

std::string FormatGeneral15(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  // 15 significant digits in scientific form: [-]d.ddddddddddddddde[+-]xx
  char buf[64];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string sci(buf, ec == std::errc() ? ptr : buf);
  bool negative = !sci.empty() && sci[0] == '-';
  if (negative) sci.erase(0, 1);
  std::size_t ePos = sci.find('e');
  std::string digits;
  for (std::size_t k = 0; k < ePos; ++k) {
    if (sci[k] != '.') digits.push_back(sci[k]);
  }
  int exponent = std::stoi(sci.substr(ePos + 1));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < 15) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= intDigits) {
        out += digits;
        out.append(intDigits - digits.size(), '0');
      } else {
        out += digits.substr(0, intDigits);
        out += '.';
        out += digits.substr(intDigits);
      }
    }
  } else {
    out += digits.substr(0, 1);
    if (digits.size() > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

std::string InvalidFloatMessage(std::string_view text) {
  std::string msg = "'";
  msg += text;
  msg += "' is not a valid floating point value";
  return msg;
}

}  // namespace korvane
