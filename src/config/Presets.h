#pragma once
// Controller preset files: "<type>.Korvane" files beside the program (or in
// its installed data folder, or the user's own folder), one line per
// controller value, five fields separated by ", ":
//   name, address, (unused), (unused), factor
// and, for a value that does not lie as one 16-bit holding register written
// where it is read, a register line (RegisterLine.h):
//   name register, format[, table[, write address]]
// The texts go unchanged into the dialog's map boxes.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/PidForm.h"

namespace korvane {

// The seven rows of the register map, in the dialog's order.
enum class MapRow { PV = 0, SP, Out, Hys, Kp, Ki, Kd };
inline constexpr std::size_t kMapRows = 7;

// Texts of the map boxes: address and factor of each row, and its register
// line's format, table and write address (empty: today's reading).
struct MapTexts {
  std::array<std::string, kMapRows> Addr;
  std::array<std::string, kMapRows> Factor;
  std::array<std::string, kMapRows> Format;
  std::array<std::string, kMapRows> Table;
  std::array<std::string, kMapRows> WriteAddr;
  PidForm Form;  // from the K, Ki and Kd units and the "Form" line (PresetForm.h)

  std::string& AddrOf(MapRow row) { return Addr[static_cast<std::size_t>(row)]; }
  std::string& FactorOf(MapRow row) { return Factor[static_cast<std::size_t>(row)]; }
  bool operator==(const MapTexts&) const = default;
};

// The Module box's last item: a map typed into the dialog, from no preset file.
inline constexpr const char* kOtherType = "Other";

inline constexpr std::string_view kPresetExtension = ".Korvane";
inline constexpr std::size_t kMaxPresets = 31;
// A preset holds seven short lines; anything beyond this is not read.
inline constexpr std::size_t kMaxPresetBytes = 64 * 1024;

struct PresetScan {
  std::vector<std::string> Names;  // at most kMaxPresets, file names less ".Korvane"
  bool AnyEntry = false;           // some entry (directories included) matched
};

// Lists the "*.Korvane" entries of `folder` by name (byte order), skipping
// directories and keeping the first kMaxPresets. A folder that cannot be
// read gives an empty scan.
PresetScan ScanPresets(const std::string& folder);

// The folders searched for presets, in precedence order: a name found in an
// earlier folder hides the same name in a later one. The user's folder when
// one is given (so a user's copy of a shipped preset is the one read), the
// program's own folder (where the build tree keeps them), and the installed
// data folder <prefix>/share/korvane/presets found from the program's
// folder <prefix>/bin.
std::vector<std::string> PresetFolders(const std::string& programFolder, const std::string& userFolder);

// The user's preset folder: $XDG_DATA_HOME/korvane/presets, else
// $HOME/.local/share/korvane/presets (a relative XDG_DATA_HOME is ignored,
// as the XDG rules say); empty when neither variable gives a folder.
std::string UserPresetFolder();

// ScanPresets over several folders: names merged (the first folder holding
// a name wins), in name order, kMaxPresets over all of them together.
PresetScan ScanPresets(const std::vector<std::string>& folders);

// The file a type name reads from `folders`: the first that holds it as a
// file, else the first that holds an entry of that name (a directory, which
// then fails to read), else the name in the first folder (not found).
std::string FindPreset(const std::vector<std::string>& folders, const std::string& name);

// What a preset fills in before its lines are applied.
MapTexts PresetPrefill();

// Applies the lines of a preset to `texts`. Fields a line does not reach
// keep the text they had on the line before; with more than four ", " the
// factor keeps its text from the line before. Unknown names change nothing.
// A bad register line throws RegisterLineError, "line N, FIELD: why".
void ApplyPresetLines(std::string_view content, MapTexts& texts);

// The bytes of a preset file (the first kMaxPresetBytes of them): the
// pre-fill with their lines applied. Throws as ApplyPresetLines.
MapTexts ParsePreset(std::string_view bytes);

// A line the preset format passes over, 1-based, and why.
struct IgnoredLine {
  std::size_t Line;
  std::string Why;
};
// The lines of a preset that change nothing: unknown names (a typo such as
// "Kp" or "pv") and lines without the ", " separator. Empty lines are not named.
std::vector<IgnoredLine> IgnoredPresetLines(std::string_view bytes);

// What an operator should know of a preset file before picking it: each
// line the format passes over and why ("line 2 ignored: ..."), and a bad
// register line or a file that cannot be read ("not usable: ..."). Empty
// for a sound preset.
std::vector<std::string> PresetNotes(const std::vector<std::string>& folders, const std::string& name);

// The path of the preset file for a controller type.
std::string PresetPath(const std::string& folder, const std::string& name);

// Reads the preset file for `name` in `folder` and parses it (ParsePreset).
// Throws FileError when the file cannot be opened or read, RegisterLineError
// ("FILE: line N, FIELD: why") for a bad register line.
MapTexts ReadPreset(const std::string& folder, const std::string& name);
// The same, from the file FindPreset chooses.
MapTexts ReadPreset(const std::vector<std::string>& folders, const std::string& name);

}  // namespace korvane
