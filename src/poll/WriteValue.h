#pragma once
// Turning the text of a parameter's edit box into the integer written to the
// controller's register.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// Reads a decimal number with "." as the decimal point whatever the locale:
// leading blanks, an optional sign, digits with an optional "." and fraction
// digits, an optional exponent (E or e, optional sign, digits), and nothing
// after it, not even a blank. Empty when the text is anything else.
// Numbers beyond the range of a double read as infinite (too large) or 0
// (too small).
std::optional<double> ParseWriteNumber(std::string_view text);

// The values a register write carries intact: the low 16 bits of the integer
// go on the wire, so -32768..65535 arrive as meant.
inline constexpr std::int32_t kLowestWriteValue = -32768;
inline constexpr std::int32_t kHighestWriteValue = 65535;

struct ScaledWrite {
  bool Ok = false;
  std::int32_t Value = 0;   // number / factor, rounded half to even, when Ok
  std::string Refusal;      // why nothing may be written, when not Ok
};

// number / factor rounded to the nearest integer, halves to even. Refused
// when the factor is 0 or the result is not finite or outside the range above.
// `what` names the value in the refusal ("setpoint", "Kp", ...), `text` is
// what the operator typed.
ScaledWrite ScaleWriteValue(double number, float factor, std::string_view what, std::string_view text);

}  // namespace korvane
