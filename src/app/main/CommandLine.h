#pragma once
// The few command-line options Korvane answers without opening its window:
// --help, --version and --list-presets. Everything else is set in the window;
// Qt's own options (-platform, -style, ...) go on to Qt.

#include <optional>
#include <string>

namespace korvane {

// The exit code when argv held one of the options (its answer is printed),
// nothing when the window should start. `programFolder` is the folder of
// the running program, where presets are looked for beside it.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv, const std::string& programFolder);

// The folder of the running program, found before any Qt object exists
// (from /proc/self/exe, else from argv[0]).
std::string RunningProgramFolder(const char* argv0);

// The text of --list-presets: the folders searched, then each preset found
// with the file it is read from, and under it the lines it ignores and why,
// or why it cannot be used.
std::string PresetListing(const std::string& programFolder, const std::string& userFolder);

}  // namespace korvane
