#pragma once
// The controllers of one line as the configuration dialog lists them, in
// poll order: the first (the dialog's Address box, Module box and map boxes)
// and the others, each with a name, a slave address and a preset. The check
// OK runs before anything is applied, and the rules a configuration file's
// list is read by.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Settings.h"

namespace korvane {

// One row of the list as the user sees it.
struct ControllerRow {
  std::string Name;
  std::int32_t Address = 1;
  std::string Type;  // its preset; "Other" (kOtherType): the row keeps the map it has
  bool operator==(const ControllerRow&) const = default;
};

// Slave addresses a controller may have: 0 is the broadcast, 248..255 are reserved.
inline constexpr std::int32_t kMinControllerAddress = 1;
inline constexpr std::int32_t kMaxControllerAddress = 247;

// The name as stored: blanks and tabs trimmed at both ends.
std::string TrimmedName(std::string_view name);

// What is wrong with row `index` beside the rows before it, or nothing. In
// this order: its name is empty after trimming, holds a line break (the
// configuration file keeps it on one line) or is an earlier row's; its
// address is outside 1..247 or an earlier row's. Rows count from 1, as the
// dialog shows them: "Row 3 (Zone 3): address 2 is already used by row 2 (Zone 2)".
// Names are compared trimmed, letter case counting.
std::optional<std::string> RowProblem(const std::vector<ControllerRow>& rows, std::size_t index);

// The first problem of the list, row by row: RowProblem, then for every row
// after the first its preset, which must be "Other" or one of `presetNames`
// (the Module box's list) whose file in `folders` reads cleanly. The first
// row's map is what the dialog's map boxes hold (read from its preset or
// typed, as always), so its Module text is not checked here.
std::optional<std::string> CheckControllerList(const std::vector<ControllerRow>& rows,
                                               const std::vector<std::string>& presetNames,
                                               const std::vector<std::string>& folders);

// The address Add gives a new row: the first free one after the highest
// address in use, going round past 247 to 1; 0 when every address is used.
std::int32_t NextFreeAddress(const std::vector<ControllerRow>& rows);

// The name Add gives a new row: DefaultControllerName(rows.size()), or the
// next "Controller N" after it that no row has.
std::string NextFreeName(const std::vector<ControllerRow>& rows);

// The rows the settings hold: FirstName at Link.SlaveAddress with
// Map.ControllerType, then Others.
std::vector<ControllerRow> RowsOf(const Settings& settings);

}  // namespace korvane
