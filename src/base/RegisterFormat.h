#pragma once
// How a controller value lies in its registers: the number format (16 or
// 32 bits, signed, unsigned or float), the order of a 32-bit value's four
// bytes on the wire, the register table, and where a write of it goes.
// The conversions between register words and numbers are pure functions.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

enum class RegisterFormat { S16, U16, S32, U32, F32 };

// A 32-bit value's bytes as they travel, named by their place in the value:
// A the most significant. 0x47F12000 goes as 47 F1 20 00 in ABCD, 20 00 47 F1
// in CDAB, F1 47 00 20 in BADC and 00 20 F1 47 in DCBA.
enum class WordOrder { ABCD, CDAB, BADC, DCBA };

enum class RegisterTable { Holding, Input };

// Where and how one value lies. WriteAddress < 0: none named.
struct RegisterLayout {
  RegisterFormat Format = RegisterFormat::S16;
  WordOrder Order = WordOrder::ABCD;
  RegisterTable Table = RegisterTable::Holding;
  std::int32_t WriteAddress = -1;
  bool operator==(const RegisterLayout&) const = default;
};

inline constexpr std::int32_t kHighestRegisterAddress = 65535;

// Registers a value of the format takes: 1 or 2.
inline int RegisterSpan(RegisterFormat format) {
  return format == RegisterFormat::S32 || format == RegisterFormat::U32 || format == RegisterFormat::F32 ? 2 : 1;
}

// The register words (first = lower address) as they arrive, turned into the
// number they hold. 16-bit formats use `words[0]` only.
double DecodeRegisters(RegisterFormat format, WordOrder order, std::array<std::uint16_t, 2> words);

// The words a number is written as. Integer formats take a whole number in
// their range; f32 any finite number within float range (rounded to the
// nearest float, not to an integer). Empty for anything else.
std::optional<std::array<std::uint16_t, 2>> EncodeRegisters(RegisterFormat format, WordOrder order, double number);

// The format's own range, for messages: "-32768 to 32767" and so on.
std::string FormatRange(RegisterFormat format);

// Texts of the register line: "s16", "u16", "s32", "u32", "f32", a 32-bit
// one with "-ABCD", "-CDAB", "-BADC" or "-DCBA"; "holding", "input".
std::optional<RegisterLayout> ParseFormatText(std::string_view text);  // Format and Order only
std::string FormatText(RegisterFormat format, WordOrder order);
std::optional<RegisterTable> ParseTableText(std::string_view text);
std::string_view TableText(RegisterTable table);

}  // namespace korvane
