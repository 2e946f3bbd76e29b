#include "config/ConfigFile.h"

#include <functional>
#include <optional>
#include <utility>

#include "base/BoundedRead.h"
#include "base/Convert.h"
#include "base/Float32.h"
#include "base/SafeWrite.h"
#include "config/ControllerList.h"
#include "config/RegisterLine.h"

namespace korvane {
namespace {

// Line 33 of a file with several controllers: "Controllers, N".
constexpr std::string_view kCountHead = "Controllers, ";
// The lines of each listed controller after the first: "ADDRESS, NAME", its
// type, its 14 address and factor lines and its 7 layout lines.
constexpr std::size_t kListedLines = 2 + 2 * kMapRows + kLayoutLines;

// Line `number` (1-based) of a file; missing lines are empty.
using Lines = std::function<const std::string&(std::size_t number)>;

// The register map's address and factor fields in file order (SP first).
struct MapField {
  std::int32_t RegisterMap::*addr;
  float RegisterMap::*factor;
  RegisterLayout RegisterMap::*layout;
  MapRow row;
};
constexpr MapField kFileOrder[] = {
    {&RegisterMap::AddrSP, &RegisterMap::FactorSP, &RegisterMap::LayoutSP, MapRow::SP},
    {&RegisterMap::AddrPV, &RegisterMap::FactorPV, &RegisterMap::LayoutPV, MapRow::PV},
    {&RegisterMap::AddrOut, &RegisterMap::FactorOut, &RegisterMap::LayoutOut, MapRow::Out},
    {&RegisterMap::AddrHys, &RegisterMap::FactorHys, &RegisterMap::LayoutHys, MapRow::Hys},
    {&RegisterMap::AddrKp, &RegisterMap::FactorKp, &RegisterMap::LayoutKp, MapRow::Kp},
    {&RegisterMap::AddrKi, &RegisterMap::FactorKi, &RegisterMap::LayoutKi, MapRow::Ki},
    {&RegisterMap::AddrKd, &RegisterMap::FactorKd, &RegisterMap::LayoutKd, MapRow::Kd},
};

// "f32-CDAB, input" or "s16, holding, 25": the layout as a register line
// has it after the name, format and table always written.
std::string LayoutLine(const RegisterLayout& layout) {
  std::string line = FormatText(layout.Format, layout.Order) + ", " + std::string(TableText(layout.Table));
  if (layout.WriteAddress >= 0) line += ", " + std::to_string(layout.WriteAddress);
  return line;
}

// Where a write of the field's value goes: the write address its layout
// names, else where it is read (the default map's setpoint: 25).
std::int32_t WriteTarget(const RegisterMap& map, const MapField& field) {
  const std::int32_t named = (map.*field.layout).WriteAddress;
  if (named >= 0) return named;
  if (field.row == MapRow::SP && WritesSetpointAsDefaultMap(map)) return kDefaultSetpointWrite;
  return map.*field.addr;
}

// The layout of a layout line, or nothing when the line does not read.
std::optional<RegisterLayout> ReadLayoutLine(MapRow row, std::int32_t address, const std::string& line) {
  if (line.empty()) return std::nullopt;
  // A line with too many fields throws while splitting: it counts as any
  // other line that does not read.
  try {
    const std::optional<RegisterLineTexts> texts = SplitRegisterLine("PV register, " + line);
    if (!texts) return std::nullopt;
    return CheckedLayout(row, std::to_string(address), texts->Format, texts->Table, texts->WriteAddr);
  } catch (const RegisterLineError&) {
    return std::nullopt;
  }
}

using LineSink = std::function<void(const std::string&)>;

// The 14 address and factor lines of a map, in file order.
void ComposeMapLines(const RegisterMap& map, const LineSink& line) {
  for (const MapField& field : kFileOrder) {
    line(std::to_string(map.*field.addr));
    line(FormatGeneral15(static_cast<double>(map.*field.factor)));
  }
}

// The 7 layout lines of a map, in file order.
void ComposeLayoutLines(const RegisterMap& map, const LineSink& line) {
  for (const MapField& field : kFileOrder) line(LayoutLine(map.*field.layout));
}

// How the lines of a map are read. The first controller's lines 8..21 and
// 26..32 are read as they always were: numbers leniently, a layout line that
// is missing or does not read gives today's reading. A listed controller's
// lines are written by this program only, so each must read as written.
enum class Reading { Lenient, Exact };

// Whether an address line and a factor line read exactly: a whole number and
// a number as the file writes them.
bool ReadsExactly(const std::string& addr, const std::string& factor) {
  std::int32_t whole = 0;
  if (!StrictInt(addr, whole)) return false;
  try {
    StrictFloat(factor);
    return true;
  } catch (const ConvertError&) {
    return false;
  }
}

// Reads the 14 address and factor lines from line `first` (1-based) into
// `map`; false (and `map` partly set) when a line does not read exactly.
bool ReadMapLines(const Lines& at, std::size_t first, RegisterMap& map, Reading reading) {
  std::size_t number = first;
  for (const MapField& field : kFileOrder) {
    const std::string& addr = at(number++);
    const std::string& factor = at(number++);
    if (reading == Reading::Exact && !ReadsExactly(addr, factor)) return false;
    map.*field.addr = LenientInt(addr);
    map.*field.factor = ToFloat32(LenientFloat(factor));
  }
  return true;
}

// Reads the 7 layout lines from line `first` (1-based) into `map`, whose
// addresses are read already; false when a line does not read exactly.
bool ReadLayoutLines(const Lines& at, std::size_t first, RegisterMap& map, Reading reading) {
  std::size_t number = first;
  for (const MapField& field : kFileOrder) {
    const std::optional<RegisterLayout> layout = ReadLayoutLine(field.row, map.*field.addr, at(number++));
    if (!layout && reading == Reading::Exact) return false;
    map.*field.layout = layout.value_or(DefaultLayout(field.row));
  }
  return true;
}

// "ADDRESS, NAME": the address as a whole number and the name as written
// (everything after the first ", "), or nothing.
std::optional<ControllerRow> ReadAddressLine(const std::string& line) {
  const std::size_t comma = line.find(", ");
  ControllerRow row;
  if (comma == std::string::npos || !StrictInt(std::string_view(line).substr(0, comma), row.Address)) {
    return std::nullopt;
  }
  row.Name = TrimmedName(std::string_view(line).substr(comma + 2));
  return row;
}

// The count of line 33, "Controllers, N", or 0 when the line is none.
std::size_t ReadCountLine(const std::string& line) {
  std::int32_t count = 0;
  if (line.rfind(kCountHead, 0) != 0 || !StrictInt(std::string_view(line).substr(kCountHead.size()), count)) return 0;
  if (count < 2 || count > kMaxControllerAddress) return 0;
  return static_cast<std::size_t>(count);
}

// The controller list from line 33 on, applied to `settings`. A file without
// a list (or whose line 33 or first controller's line does not read) is a
// line of one controller: Others empty, FirstName the default, SlaveAddress
// as it was (today's files do not hold it). Otherwise the first controller
// takes the listed name and address, and the others follow as far as they
// read cleanly: the first row with a line that does not read exactly, a
// name or address RowProblem refuses, or a line past the file's end ends
// the list there, that row and everything after it left out; its preset is
// not checked (the dialog does that at OK). The rows' PID forms come from
// their presets (the caller, as for the first controller).
void ApplyControllerList(const Lines& at, std::size_t lineCount, Settings& settings) {
  settings.FirstName = DefaultControllerName(0);
  settings.Others.clear();
  std::size_t number = kConfigLines + kLayoutLines + 1;
  const std::size_t count = ReadCountLine(at(number++));
  if (count == 0) return;
  std::vector<ControllerRow> rows;
  if (const auto first = ReadAddressLine(at(number++))) rows.push_back(*first);
  if (rows.empty() || RowProblem(rows, 0)) return;
  settings.FirstName = rows[0].Name;
  settings.Link.SlaveAddress = rows[0].Address;
  for (std::size_t i = 1; i < count && number + kListedLines - 1 <= lineCount; ++i) {
    const std::optional<ControllerRow> row = ReadAddressLine(at(number));
    if (!row) return;
    rows.push_back(*row);
    if (RowProblem(rows, i)) return;
    LineController c{row->Name, row->Address, RegisterMap{}};
    c.Map.ControllerType = at(number + 1);
    if (!ReadMapLines(at, number + 2, c.Map, Reading::Exact)) return;
    if (!ReadLayoutLines(at, number + 2 + 2 * kMapRows, c.Map, Reading::Exact)) return;
    settings.Others.push_back(std::move(c));
    number += kListedLines;
  }
}

}  // namespace

bool ReadsAsToday(const RegisterMap& map) {
  RegisterMap today = map;
  for (const MapField& field : kFileOrder) today.*field.layout = DefaultLayout(field.row);
  for (const MapField& field : kFileOrder) {
    const RegisterLineTexts texts = LayoutTexts(field.row, map.*field.layout);
    if (!texts.Format.empty() || !texts.Table.empty()) return false;
    if (WriteTarget(map, field) != WriteTarget(today, field)) return false;
  }
  return true;
}

std::string ComposeConfiguration(const Settings& settings, const EntryTexts& entries,
                                 char decimalSeparator) {
  // Convert the entry boxes first: a box that holds no number stops the save
  // before anything is written.
  std::array<double, 4> values{};
  for (std::size_t i = 0; i < entries.size(); ++i) values[i] = StrictFloat(entries[i], decimalSeparator);

  std::string out;
  const LineSink line = [&out](const std::string& text) {
    out += text;
    out += "\r\n";
  };
  const LinkSettings& link = settings.Link;
  const RegisterMap& map = settings.Map;
  line(std::to_string(link.PortNumber));
  line(std::to_string(link.Baud));
  line(std::to_string(link.DataBits));
  line(link.ParityLetter);
  line(std::to_string(link.StopBitCount));
  line(std::to_string(settings.Poll.PollTime));
  line(map.ControllerType);
  ComposeMapLines(map, line);
  for (double value : values) line(FormatGeneral15(value));
  // A single controller read as today's has nothing to say after line 25:
  // the file stays the 25 lines every reader of it knows.
  const bool list = !settings.Others.empty();
  if (ReadsAsToday(map) && !list) return out;
  ComposeLayoutLines(map, line);
  if (!list) return out;
  line(std::string(kCountHead) + std::to_string(settings.Others.size() + 1));
  line(std::to_string(link.SlaveAddress) + ", " + settings.FirstName);
  for (const LineController& c : settings.Others) {
    line(std::to_string(c.Address) + ", " + c.Name);
    line(c.Map.ControllerType);
    ComposeMapLines(c.Map, line);
    ComposeLayoutLines(c.Map, line);
  }
  // A file that would not read back whole is not written.
  if (out.size() > kMaxConfigBytes) throw ConfigSizeError(out.size());
  return out;
}

EntryTexts ApplyConfiguration(const std::vector<std::string>& lines, Settings& settings) {
  const Lines at = [&lines](std::size_t number) -> const std::string& {
    static const std::string kEmpty;
    return number - 1 < lines.size() ? lines[number - 1] : kEmpty;
  };
  LinkSettings& link = settings.Link;
  RegisterMap& map = settings.Map;
  link.PortNumber = LenientInt(at(1));
  link.Baud = LenientInt(at(2));
  link.DataBits = LenientInt(at(3));
  link.ParityLetter = at(4);
  link.StopBitCount = LenientInt(at(5));
  settings.Poll.PollTime = LenientInt(at(6));
  map.ControllerType = at(7);
  ReadMapLines(at, 8, map, Reading::Lenient);
  ReadLayoutLines(at, kConfigLines + 1, map, Reading::Lenient);
  ApplyControllerList(at, lines.size(), settings);
  return {at(22), at(23), at(24), at(25)};
}

void SaveConfiguration(const std::string& path, const Settings& settings, const EntryTexts& entries,
                       char decimalSeparator) {
  ReplaceFileContents(path, ComposeConfiguration(settings, entries, decimalSeparator));
}

EntryTexts ParseConfiguration(std::string_view bytes, Settings& settings) {
  const std::string_view text = bytes.substr(0, kMaxConfigBytes);
  std::vector<std::string> lines = SplitLines(text);
  // A list line without its line end may be cut short (a file beyond the
  // bound, a write that stopped): it is no line of the list.
  if (lines.size() > kConfigLines + kLayoutLines && text.back() != '\n') lines.pop_back();
  return ApplyConfiguration(lines, settings);
}

EntryTexts LoadConfiguration(const std::string& path, Settings& settings) {
  return ParseConfiguration(ReadFileBounded(path, kMaxConfigBytes), settings);
}

}  // namespace korvane
