#pragma once
// Turning the text of a parameter's edit box into the integer written to the
// controller's register.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/RegisterFormat.h"
#include "base/Settings.h"

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

// The register words a write of `number` carries in `layout`'s format: a
// 16-bit value as ScaleWriteValue; a 32-bit integer number / factor rounded
// half to even, within its format's range; an f32 number / factor as the
// nearest float, not rounded. `Written` is what the controller will show:
// the register number times the factor.
struct RegisterWrite {
  bool Ok = false;
  std::array<std::int32_t, 2> Words{};  // one (16-bit) or two, in wire order
  int Count = 1;
  double Written = 0;
  std::string Refusal;
};
RegisterWrite ScaleRegisterWrite(double number, float factor, const RegisterLayout& layout, std::string_view what,
                                 std::string_view text);

// The values the operator can write.
enum class WritableValue { SP, Kp, Ki, Kd, Hys };

// Where a write of the value goes (wire address): the write address its
// layout names; else where it is read, except the setpoint of a map that
// names no write address and reads it at 0 with the default map's other
// addresses, which goes to 25 as it always has.
std::int32_t WriteAddressOf(const RegisterMap& map, WritableValue value);

// Why the value cannot be written (read from an input register, or a write
// address outside 0..65535), or empty.
std::string WriteBlockedReason(const RegisterMap& map, WritableValue value);

}  // namespace korvane
