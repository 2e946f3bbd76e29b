#pragma once
// Number conversions and number display shared by every subsystem.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvane {

// Raised by the strict conversions; what() is the operator-facing message.
class ConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Lenient integer reading of an edit box or file line: leading blanks, an
// optional sign, then decimal digits, or "$", "x" or "0x" followed by hex
// digits. Never fails: the digits before the first character that does not
// fit give the value, a text without digits gives 0. Values beyond the 32-bit
// range saturate.
std::int32_t LenientInt(std::string_view text) noexcept;

// Strict float reading: optional blanks, optional sign, digits with at most
// one decimal separator, an optional exponent (E or e, optional sign, digits),
// optional blanks, nothing else. `decimalSeparator` is the system's.
// Throws ConvertError("'<text>' is not a valid floating point value").
double StrictFloat(std::string_view text, char decimalSeparator = '.');

// Same syntax with "." as the decimal point, never failing: the value of the
// longest leading part that reads as a number, 0 when there is none.
double LenientFloat(std::string_view text) noexcept;

// Strict whole number (leading blanks, optional sign, decimal digits, nothing
// after them);
// false when the text is anything else or does not fit 32 bits.
bool StrictInt(std::string_view text, std::int32_t& value) noexcept;

// "%8.3f" with the given decimal separator.
std::string Format83(double value, char decimalSeparator = '.');
// "%6.3f" with the given decimal separator.
std::string Format63(double value, char decimalSeparator = '.');

// The configuration file's float format: general notation with up to 15
// significant digits, no trailing zeros or point, "." as decimal point,
// scientific notation with "E" and the shortest exponent below 0.00001 in
// magnitude or beyond 15 integer digits.
std::string FormatGeneral15(double value);

// The message of a failed strict float conversion.
std::string InvalidFloatMessage(std::string_view text);

}  // namespace korvane
