#include "config/ConfigFile.h"

#include "base/BoundedRead.h"
#include "base/Convert.h"
#include "base/Float32.h"
#include "base/SafeWrite.h"
#include "config/RegisterLine.h"

namespace korvane {
namespace {

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

// The layout of a line 26..32, or the row's default when it does not read.
RegisterLayout ReadLayoutLine(MapRow row, std::int32_t address, const std::string& line) {
  if (line.empty()) return DefaultLayout(row);
  // A line with too many fields throws while splitting: it falls back like
  // any other line that does not read.
  try {
    const std::optional<RegisterLineTexts> texts = SplitRegisterLine("PV register, " + line);
    if (!texts) return DefaultLayout(row);
    return CheckedLayout(row, std::to_string(address), texts->Format, texts->Table, texts->WriteAddr);
  } catch (const RegisterLineError&) {
    return DefaultLayout(row);
  }
}

// The bytes up to the end of the first `count` lines (all of them when
// there are fewer): the lines after them are never split.
std::string_view FirstLines(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t line = 0; line < count && end < text.size(); ++line) {
    const std::size_t lf = text.find('\n', end);
    end = lf == std::string_view::npos ? text.size() : lf + 1;
  }
  return text.substr(0, end);
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
  auto line = [&out](const std::string& text) {
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
  for (const MapField& field : kFileOrder) {
    line(std::to_string(map.*field.addr));
    line(FormatGeneral15(static_cast<double>(map.*field.factor)));
  }
  for (double value : values) line(FormatGeneral15(value));
  // A map read as today's has nothing to say after line 25: the file stays
  // the 25 lines every reader of it knows.
  if (ReadsAsToday(map)) return out;
  for (const MapField& field : kFileOrder) line(LayoutLine(map.*field.layout));
  return out;
}

EntryTexts ApplyConfiguration(const std::vector<std::string>& lines, Settings& settings) {
  auto at = [&lines](std::size_t number) -> const std::string& {
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
  std::size_t number = 8;
  for (const MapField& field : kFileOrder) {
    map.*field.addr = LenientInt(at(number++));
    map.*field.factor = ToFloat32(LenientFloat(at(number++)));
  }
  number = kConfigLines + 1;
  for (const MapField& field : kFileOrder) {
    map.*field.layout = ReadLayoutLine(field.row, map.*field.addr, at(number++));
  }
  return {at(22), at(23), at(24), at(25)};
}

void SaveConfiguration(const std::string& path, const Settings& settings, const EntryTexts& entries,
                       char decimalSeparator) {
  ReplaceFileContents(path, ComposeConfiguration(settings, entries, decimalSeparator));
}

EntryTexts ParseConfiguration(std::string_view bytes, Settings& settings) {
  return ApplyConfiguration(SplitLines(FirstLines(bytes.substr(0, kMaxConfigBytes), kConfigLines + kLayoutLines)), settings);
}

EntryTexts LoadConfiguration(const std::string& path, Settings& settings) {
  return ParseConfiguration(ReadFileBounded(path, kMaxConfigBytes), settings);
}

}  // namespace korvane
