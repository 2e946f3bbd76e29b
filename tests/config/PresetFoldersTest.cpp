// Presets from several folders: the user's folder, the program's folder and
// the installed data folder, with one 31-name limit over all of them.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/Presets.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

using test::ScopedEnv;
using test::SetEnv;
using test::UnsetEnv;
using test::TempDir;
namespace fs = std::filesystem;

// Paths compared element by element, so either separator matches on Windows.
std::vector<fs::path> Paths(const std::vector<std::string>& texts) { return {texts.begin(), texts.end()}; }

TEST(PresetFolders, UserFolderFirstThenProgramThenItsShareFolder) {
  EXPECT_EQ(Paths(PresetFolders("/usr/bin", "/home/a/.local/share/korvane/presets")),
            Paths({"/home/a/.local/share/korvane/presets", "/usr/bin", "/usr/share/korvane/presets"}));
  EXPECT_EQ(Paths(PresetFolders("/opt/k/bin/", "")), Paths({"/opt/k/bin/", "/opt/k/share/korvane/presets"}));
}

TEST(PresetFolders, UserFolderFollowsXdgDataHomeElseHome) {
  struct Case {
    const char* dataHome;  // nullptr: unset
    const char* expected;
  };
  const Case cases[] = {{"/x/data", "/x/data/korvane/presets"},
                        {nullptr, "/home/u/.local/share/korvane/presets"},
                        {"", "/home/u/.local/share/korvane/presets"},
                        {"relative/data", "/home/u/.local/share/korvane/presets"}};
  ScopedEnv home("HOME", "/home/u");
  for (const Case& c : cases) {
    ScopedEnv data("XDG_DATA_HOME");
    if (c.dataHome != nullptr) SetEnv("XDG_DATA_HOME", c.dataHome);
    else UnsetEnv("XDG_DATA_HOME");
    EXPECT_EQ(UserPresetFolder(), c.expected) << (c.dataHome ? c.dataHome : "(unset)");
  }
}

TEST(PresetFolders, NamesOfAllFoldersMergeInNameOrderAndTheFirstFolderWins) {
  TempDir user, program;
  user.Write("Mine.Korvane", "PV, 7, a, b, 2");
  user.Write("Novus N1100.Korvane", "PV, 9, a, b, 3");
  program.Write("Novus N1100.Korvane", "PV, 1, a, b, 1");
  program.Write("Alpha.Korvane", "");
  std::vector<std::string> folders{user.Path(), program.Path()};
  EXPECT_EQ(ScanPresets(folders).Names, (std::vector<std::string>{"Alpha", "Mine", "Novus N1100"}));
  EXPECT_EQ(ReadPreset(folders, "Novus N1100").Addr[0], "9");
  EXPECT_EQ(ReadPreset(folders, "Alpha").Addr[0], PresetPrefill().Addr[0]);
  EXPECT_EQ(fs::path(FindPreset(folders, "None")), fs::path(user.File("None.Korvane")));  // "File not found" names the first
}

TEST(PresetFolders, ADirectoryInTheUserFolderHidesNoShippedFile) {
  TempDir user, program;
  std::filesystem::create_directory(user.File("Novus N1100.Korvane"));
  program.Write("Novus N1100.Korvane", "PV, 1, a, b, 1");
  std::vector<std::string> folders{user.Path(), program.Path()};
  EXPECT_EQ(ScanPresets(folders).Names, std::vector<std::string>{"Novus N1100"});
  EXPECT_EQ(fs::path(FindPreset(folders, "Novus N1100")), fs::path(program.File("Novus N1100.Korvane")));
}

TEST(PresetFolders, ThirtyOneNamesOverAllFoldersTogether) {
  TempDir user, program;
  for (int i = 1; i <= 32; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Type%02d.Korvane", i);
    (i % 2 != 0 ? user : program).Write(name, "");
  }
  PresetScan scan = ScanPresets(std::vector<std::string>{user.Path(), program.Path()});
  ASSERT_EQ(scan.Names.size(), 31u);
  EXPECT_EQ(scan.Names.back(), "Type31");
}

}  // namespace
}  // namespace korvane
