#pragma once
// The register lines of a controller preset, which say where and how a
// value lies beside its value line:
//   NAME register, FORMAT[, TABLE[, WRITE ADDRESS]]
// NAME one of the seven value names; FORMAT s16, u16, s32, u32 or f32, a
// 32-bit one with -ABCD (the default), -CDAB, -BADC or -DCBA; TABLE holding
// (the default) or input; WRITE ADDRESS 0..65535, where a write of the
// value goes (holding only). A reader of the older format skips these lines:
// their first field is no value name.
// The same checks turn the dialog's format, table and write address boxes
// into a RegisterLayout.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/RegisterFormat.h"
#include "config/Presets.h"

namespace korvane {

// A bad register line or map row: what() names the field and the fault,
// "FORMAT: \"f64\" is not s16, u16, s32, u32 or f32"; the preset reader
// puts the file and line in front.
class RegisterLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The texts of one register line, unchecked.
struct RegisterLineTexts {
  MapRow Row = MapRow::PV;
  std::string Format;
  std::string Table;
  std::string WriteAddr;
};

// The row a line is the register line of, with its fields, or empty when the
// line is none (its first field is not "<one of the seven names> register").
// Throws RegisterLineError for a register line with more than four fields.
std::optional<RegisterLineTexts> SplitRegisterLine(std::string_view line);

// The layout the texts of a row give, checked against the row's address
// text. Empty format, table and write address texts mean today's reading:
// 16 bits (signed for PV, SP, OUT and Hysteresis, unsigned for the PID
// factors), holding registers, no write address. Throws RegisterLineError
// naming the field (ADDRESS, FORMAT, TABLE, WRITE ADDRESS).
RegisterLayout CheckedLayout(MapRow row, const std::string& addrText, const std::string& formatText,
                             const std::string& tableText, const std::string& writeAddrText);

// The layout a row has without a register line.
RegisterLayout DefaultLayout(MapRow row);

// The texts a layout is shown with (format, table, write address); the
// default layout of the row shows as empty texts.
RegisterLineTexts LayoutTexts(MapRow row, const RegisterLayout& layout);

}  // namespace korvane
