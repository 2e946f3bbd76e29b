#include "config/ControllerList.h"

#include <algorithm>
#include <exception>

#include "config/Presets.h"

namespace korvane {
namespace {

// "Row 3 (Zone 3)", or "Row 3" for a row without a name ("row 3 ..." inside a sentence).
std::string RowLabel(const std::vector<ControllerRow>& rows, std::size_t index, const char* word = "Row") {
  std::string label = word + (" " + std::to_string(index + 1));
  const std::string name = TrimmedName(rows[index].Name);
  if (!name.empty()) label += " (" + name + ")";
  return label;
}

std::optional<std::string> PresetProblem(const std::string& type, const std::vector<std::string>& presetNames,
                                         const std::vector<std::string>& folders) {
  if (type == kOtherType) return std::nullopt;
  if (std::find(presetNames.begin(), presetNames.end(), type) == presetNames.end()) {
    return "preset \"" + type + "\" is not in the preset list";
  }
  try {
    ReadPreset(folders, type);
  } catch (const std::exception& e) {
    return "preset \"" + type + "\" cannot be used: " + e.what();
  }
  return std::nullopt;
}

}  // namespace

std::string TrimmedName(std::string_view name) {
  const std::size_t first = name.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(name.substr(first, name.find_last_not_of(" \t") - first + 1));
}

std::optional<std::string> RowProblem(const std::vector<ControllerRow>& rows, std::size_t index) {
  const ControllerRow& row = rows[index];
  const std::string label = RowLabel(rows, index);
  const std::string name = TrimmedName(row.Name);
  if (name.empty()) return label + ": the name is empty";
  if (name.find_first_of("\r\n") != std::string::npos) return label + ": the name holds a line break";
  for (std::size_t before = 0; before < index; ++before) {
    if (TrimmedName(rows[before].Name) == name) {
      return label + ": the name is already used by row " + std::to_string(before + 1);
    }
  }
  if (row.Address < kMinControllerAddress || row.Address > kMaxControllerAddress) {
    return label + ": address " + std::to_string(row.Address) + " is not in " +
           std::to_string(kMinControllerAddress) + ".." + std::to_string(kMaxControllerAddress);
  }
  for (std::size_t before = 0; before < index; ++before) {
    if (rows[before].Address == row.Address) {
      return label + ": address " + std::to_string(row.Address) + " is already used by " +
             RowLabel(rows, before, "row");
    }
  }
  return std::nullopt;
}

std::optional<std::string> CheckControllerList(const std::vector<ControllerRow>& rows,
                                               const std::vector<std::string>& presetNames,
                                               const std::vector<std::string>& folders) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (auto problem = RowProblem(rows, i)) return problem;
    if (i == 0) continue;
    if (auto problem = PresetProblem(rows[i].Type, presetNames, folders)) return RowLabel(rows, i) + ": " + *problem;
  }
  return std::nullopt;
}

std::int32_t NextFreeAddress(const std::vector<ControllerRow>& rows) {
  auto used = [&rows](std::int32_t address) {
    return std::any_of(rows.begin(), rows.end(), [address](const ControllerRow& r) { return r.Address == address; });
  };
  std::int32_t highest = 0;
  for (const ControllerRow& row : rows) {
    if (row.Address >= kMinControllerAddress && row.Address <= kMaxControllerAddress) {
      highest = std::max(highest, row.Address);
    }
  }
  constexpr std::int32_t kCount = kMaxControllerAddress - kMinControllerAddress + 1;
  for (std::int32_t step = 1; step <= kCount; ++step) {
    const std::int32_t address = (highest - kMinControllerAddress + step) % kCount + kMinControllerAddress;
    if (!used(address)) return address;
  }
  return 0;
}

std::string NextFreeName(const std::vector<ControllerRow>& rows) {
  for (std::size_t n = rows.size();; ++n) {
    const std::string name = DefaultControllerName(n);
    if (std::none_of(rows.begin(), rows.end(), [&name](const ControllerRow& r) { return TrimmedName(r.Name) == name; })) {
      return name;
    }
  }
}

std::vector<ControllerRow> RowsOf(const Settings& settings) {
  std::vector<ControllerRow> rows{{settings.FirstName, settings.Link.SlaveAddress, settings.Map.ControllerType}};
  for (const LineController& c : settings.Others) rows.push_back({c.Name, c.Address, c.Map.ControllerType});
  return rows;
}

}  // namespace korvane
