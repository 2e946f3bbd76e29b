#include "config/Presets.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/BoundedRead.h"
#include "base/FileError.h"
#include "config/PresetForm.h"
#include "config/RegisterLine.h"

namespace korvane {
namespace {

bool EndsWithExtension(const std::string& name) {
  return name.size() >= kPresetExtension.size() &&
         name.compare(name.size() - kPresetExtension.size(), kPresetExtension.size(), kPresetExtension) == 0;
}

// The row a preset line's first field names, or -1 for any other name.
int RowOfName(const std::string& name) {
  static constexpr std::array<std::pair<std::string_view, MapRow>, kMapRows> kNames{{
      {"PV", MapRow::PV}, {"SP", MapRow::SP}, {"OUT", MapRow::Out}, {"Hysteresis", MapRow::Hys},
      {"K", MapRow::Kp}, {"Ki", MapRow::Ki}, {"Kd", MapRow::Kd}}};
  for (const auto& [text, row] : kNames) {
    if (name == text) return static_cast<int>(row);
  }
  return -1;
}

struct Found {
  std::string name;
  bool directory;
};

// The "*.Korvane" entries of one folder, in no particular order.
void CollectEntries(const std::string& folder, std::vector<Found>& found) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return;
  for (std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::string name = it->path().filename().string();
    if (!EndsWithExtension(name)) continue;
    std::error_code typeEc;
    found.push_back({std::move(name), it->is_directory(typeEc)});
  }
}

std::string NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

std::vector<std::string> PresetFolders(const std::string& programFolder, const std::string& userFolder) {
  std::vector<std::string> folders;
  if (!userFolder.empty()) folders.push_back(userFolder);
  folders.push_back(programFolder);
  // <prefix>/bin/../share/korvane/presets, written without "..", so the
  // folder reads the same in messages and listings.
  std::filesystem::path data = std::filesystem::path(programFolder).lexically_normal();
  if (!data.has_filename()) data = data.parent_path();  // a trailing "/"
  data = data.parent_path() / "share" / "korvane" / "presets";
  folders.push_back(data.string());
  return folders;
}

std::string UserPresetFolder() {
  std::string base = NonEmptyEnv("XDG_DATA_HOME");
  if (base.empty() || base.front() != '/') {
    std::string home = NonEmptyEnv("HOME");
    if (home.empty()) return {};
    base = home + "/.local/share";
  }
  return base + "/korvane/presets";
}

PresetScan ScanPresets(const std::string& folder) { return ScanPresets(std::vector<std::string>{folder}); }

PresetScan ScanPresets(const std::vector<std::string>& folders) {
  PresetScan scan;
  std::vector<Found> found;
  for (const std::string& folder : folders) CollectEntries(folder, found);
  // The folder search of the file system gives no stable order here; by name
  // the list is the same at every start and on every machine. A name in two
  // folders is one type: it is listed once, as a file when any folder holds
  // it as one (ReadPreset then reads that file).
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.name != b.name ? a.name < b.name : a.directory < b.directory;
  });
  found.erase(std::unique(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.name == b.name; }),
              found.end());
  scan.AnyEntry = !found.empty();
  for (const Found& entry : found) {
    if (entry.directory || scan.Names.size() >= kMaxPresets) continue;
    scan.Names.push_back(entry.name.substr(0, entry.name.size() - kPresetExtension.size()));
  }
  return scan;
}

std::string FindPreset(const std::vector<std::string>& folders, const std::string& name) {
  std::string entry;
  for (const std::string& folder : folders) {
    std::string path = PresetPath(folder, name);
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) continue;
    if (!std::filesystem::is_directory(status)) return path;
    if (entry.empty()) entry = path;
  }
  if (!entry.empty()) return entry;
  return PresetPath(folders.empty() ? std::string() : folders.front(), name);
}

MapTexts PresetPrefill() {
  MapTexts t;
  t.Addr = {"1", "0", "2", "17", "13", "11", "12"};
  t.Factor = {"1", "1", "0.1", "0.01", "1", "0.1", "1"};
  return t;
}

namespace {

std::string AtLine(std::size_t line, const std::exception& e) {
  return "line " + std::to_string(line) + ", " + e.what();
}

}  // namespace

void ApplyPresetLines(std::string_view content, MapTexts& texts) {
  static constexpr std::string_view kSeparator = ", ";
  std::array<std::string, 5> fields;  // carried over from line to line
  std::array<std::size_t, kMapRows> registerLine{};  // 0: the row has none
  std::size_t lineNumber = 0;
  for (const std::string& line : SplitLines(content)) {
    ++lineNumber;
    std::string_view rest = line;
    bool reachedAll = true;
    for (std::size_t k = 0; k < 4; ++k) {
      std::size_t pos = rest.find(kSeparator);
      if (pos == std::string_view::npos) {
        reachedAll = false;
        break;
      }
      fields[k] = std::string(rest.substr(0, pos));
      rest.remove_prefix(pos + kSeparator.size());
    }
    // The factor is what follows the fourth ", " up to the line end; a line
    // with further separators leaves it as the line before had it.
    if (reachedAll && rest.find(kSeparator) == std::string_view::npos) fields[4] = std::string(rest);
    std::optional<RegisterLineTexts> reg;
    try {
      reg = SplitRegisterLine(line);
    } catch (const RegisterLineError& e) {
      throw RegisterLineError(AtLine(lineNumber, e));
    }
    if (!reg) {
      int row = RowOfName(fields[0]);
      if (row < 0) continue;
      texts.Addr[static_cast<std::size_t>(row)] = fields[1];
      texts.Factor[static_cast<std::size_t>(row)] = fields[4];
      continue;
    }
    const auto r = static_cast<std::size_t>(reg->Row);
    texts.Format[r] = reg->Format;
    texts.Table[r] = reg->Table;
    texts.WriteAddr[r] = reg->WriteAddr;
    registerLine[r] = lineNumber;
  }
  // Checked once every line is in: the address lies on the value line,
  // which may come before or after the register line.
  for (std::size_t r = 0; r < kMapRows; ++r) {
    if (registerLine[r] == 0) continue;
    try {
      CheckedLayout(static_cast<MapRow>(r), texts.Addr[r], texts.Format[r], texts.Table[r], texts.WriteAddr[r]);
    } catch (const RegisterLineError& e) {
      throw RegisterLineError(AtLine(registerLine[r], e));
    }
  }
}

std::vector<IgnoredLine> IgnoredPresetLines(std::string_view bytes) {
  std::vector<IgnoredLine> ignored;
  std::size_t lineNumber = 0;
  for (const std::string& line : SplitLines(bytes.substr(0, kMaxPresetBytes))) {
    ++lineNumber;
    if (line.empty()) continue;
    try {
      if (SplitRegisterLine(line)) continue;
    } catch (const RegisterLineError&) {
      continue;  // a register line, bad: reading the preset reports it
    }
    const std::size_t pos = line.find(", ");
    if (pos == std::string::npos) {
      ignored.push_back({lineNumber, "no \", \" separates its fields"});
      continue;
    }
    const std::string name = line.substr(0, pos);
    if (RowOfName(name) >= 0 || name == "Form") continue;  // "Form": the PID form (PresetForm.h)
    ignored.push_back({lineNumber, "\"" + name + "\" is not PV, SP, OUT, Hysteresis, K, Ki or Kd"});
  }
  return ignored;
}

std::string PresetPath(const std::string& folder, const std::string& name) {
  // Plain concatenation: the type name is a file name, never a path that
  // could replace the folder.
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + name + std::string(kPresetExtension);
}

MapTexts ReadPreset(const std::string& folder, const std::string& name) {
  return ReadPreset(std::vector<std::string>{folder}, name);
}

MapTexts ParsePreset(std::string_view bytes) {
  MapTexts texts = PresetPrefill();
  ApplyPresetLines(bytes.substr(0, kMaxPresetBytes), texts);
  texts.Form = ParsePresetForm(bytes.substr(0, kMaxPresetBytes));
  return texts;
}

MapTexts ReadPreset(const std::vector<std::string>& folders, const std::string& name) {
  const std::string path = FindPreset(folders, name);
  const std::string bytes = ReadFileBounded(path, kMaxPresetBytes);
  try {
    return ParsePreset(bytes);
  } catch (const RegisterLineError& e) {
    throw RegisterLineError(path + ": " + e.what());
  }
}

std::vector<std::string> PresetNotes(const std::vector<std::string>& folders, const std::string& name) {
  std::vector<std::string> notes;
  std::string bytes;
  try {
    bytes = ReadFileBounded(FindPreset(folders, name), kMaxPresetBytes);
    ParsePreset(bytes);
  } catch (const FileError& e) {
    return {std::string("not usable: ") + e.what()};
  } catch (const RegisterLineError& e) {
    notes.push_back(std::string("not usable: ") + e.what());
  }
  for (const IgnoredLine& line : IgnoredPresetLines(bytes)) {
    notes.push_back("line " + std::to_string(line.Line) + " ignored: " + line.Why);
  }
  return notes;
}

}  // namespace korvane
