#include "app/main/CommandLine.h"

#include <filesystem>
#include <iostream>
#include <string_view>

#include "config/Presets.h"

namespace korvane {
namespace {

constexpr std::string_view kUsage =
    "Usage: korvane [--help | --version | --list-presets]\n"
    "Korvane watches and tunes one PID process controller over a serial line:\n"
    "a Modbus master (RTU or ASCII) that polls the controller and shows PV,\n"
    "setpoint, output and the PID factors as numbers and on a live chart.\n"
    "Everything is set in the window (menu Config); without an option the\n"
    "window opens.\n"
    "\n"
    "  --help          show this text and exit\n"
    "  --version       show the version and exit\n"
    "  --list-presets  list the controller preset folders and the presets found\n"
    "\n"
    "Files:\n"
    "  $XDG_CONFIG_HOME/korvane/ports/COMn   (~/.config/korvane/ports/COMn)\n"
    "      a symbolic link naming the device COMn opens; else COMn is /dev/ttyS<n-1>\n"
    "  $XDG_DATA_HOME/korvane/presets/*.Korvane   (~/.local/share/korvane/presets)\n"
    "      your own controller presets, listed with the shipped ones (31 at most)\n"
    "\n"
    "Qt's own options (-platform, -style, ...) are passed on to Qt.\n";

}  // namespace

std::string RunningProgramFolder(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0 != nullptr ? argv0 : "", ec);
  return exe.parent_path().string();
}

std::string PresetListing(const std::string& programFolder, const std::string& userFolder) {
  const std::vector<std::string> folders = PresetFolders(programFolder, userFolder);
  std::string text = "Preset folders, searched in this order:\n";
  for (const std::string& folder : folders) text += "  " + folder + "\n";
  const PresetScan scan = ScanPresets(folders);
  text += "Presets (" + std::to_string(scan.Names.size()) + ", at most " + std::to_string(kMaxPresets) + "):\n";
  for (const std::string& name : scan.Names) {
    text += "  " + name + "\t" + std::filesystem::path(FindPreset(folders, name)).lexically_normal().string() + "\n";
    for (const std::string& note : PresetNotes(folders, name)) text += "    " + note + "\n";
  }
  return text;
}

std::optional<int> AnswerCommandLine(int argc, const char* const* argv, const std::string& programFolder) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "korvane " << KORVANE_VERSION << "\n";
      return 0;
    }
    if (arg == "--list-presets") {
      std::cout << PresetListing(programFolder, UserPresetFolder());
      return 0;
    }
  }
  return std::nullopt;
}

}  // namespace korvane
