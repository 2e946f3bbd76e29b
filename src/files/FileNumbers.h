#pragma once
// Numbers in the data log and trend files: the decimal separator the files
// use, the "%8.3f" field written for every value, and the strict reading of
// a field, both fast enough for a million lines.

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The decimal separator written to and read from the data files: the
// system's, except that a comma becomes "." because a comma cannot be told
// from the field separator. Applying it twice gives the same separator.
char FileDecimalSeparator(char systemSeparator) noexcept;

// The longest field AppendFixed83 writes: sign, 39 integer digits of the
// largest float, point, three decimals.
inline constexpr std::size_t kMaxFixed83Chars = 48;

// Writes `value` as "%8.3f" would in the C locale (rounding to nearest, ties
// to even; "inf", "-nan" and the like left-filled to 8), with `separator` in
// place of the point, and returns the end. `out` needs kMaxFixed83Chars.
char* AppendFixed83(char* out, float value, char separator) noexcept;
std::string Fixed83(float value, char separator);

// Reads a field by the rules of StrictFloat (blanks, sign, digits with at
// most one `separator`, exponent, blanks, nothing else) and gives the same
// value; empty when StrictFloat would fail. No allocation and no exception
// for ordinary fields.
std::optional<double> ParseFileFloat(std::string_view text, char separator);

}  // namespace korvane
