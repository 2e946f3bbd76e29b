// Controller preset files: the folder scan and the five-field line format.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/TempDir.h"
#include "config/PresetForm.h"
#include "config/Presets.h"
#include "base/Settings.h"
#include "base/FileError.h"

namespace korvane {
namespace {

using test::TempDir;

MapTexts Applied(std::string_view content) {
  MapTexts t = PresetPrefill();
  ApplyPresetLines(content, t);
  return t;
}

// ---- Line format --------------------------------------------------------

TEST(PresetLines, SingleLineSetsOnlyItsRow) {
  MapTexts t = Applied("PV, 5, a, b, 0.5");
  MapTexts expected = PresetPrefill();
  expected.Addr[0] = "5";
  expected.Factor[0] = "0.5";
  EXPECT_EQ(t, expected);
}

TEST(PresetLines, EveryNameReachesItsRowAndTextsStayUnchanged) {
  MapTexts t = Applied(
      "Kd, 112, s, derivative, 3\r\n"
      "PV, 101, C, process, 1.0\r\n"
      "SP, 100, C, setpoint,  0.25 \r\n"
      "OUT, $66, %, output, 0.1\r\n"
      "Hysteresis, 117, C, band, 7\r\n"
      "K, 113, %, gain, 0x10\r\n"
      "Ki, 111, r, integral, 0.01\r\n");
  EXPECT_EQ(t.Addr, (std::array<std::string, 7>{"101", "100", "$66", "117", "113", "111", "112"}));
  EXPECT_EQ(t.Factor, (std::array<std::string, 7>{"1.0", " 0.25 ", "0.1", "7", "0x10", "0.01", "3"}));
}

TEST(PresetLines, NamesAreCaseSensitiveAndOthersIgnored) {
  MapTexts t = Applied("pv, 5, a, b, 0.5\nKp, 6, a, b, 0.6\nHys, 7, a, b, 0.7\nout, 8, a, b, 0.8\n");
  EXPECT_EQ(t, PresetPrefill());
}

TEST(PresetLines, FactorIsEverythingAfterTheFourthSeparator) {
  MapTexts t = Applied("PV, 5, a, b, 0.5 (tenths)");
  EXPECT_EQ(t.Factor[0], "0.5 (tenths)");
  t = Applied("PV, 5, a, b, ");
  EXPECT_EQ(t.Factor[0], "");
  t = Applied("PV, 5, a, b,0.5");  // no blank: only three separators
  EXPECT_EQ(t.Factor[0], "");
}

TEST(PresetLines, FieldsNotReachedKeepTheLineBefore) {
  // The second line has one separator: only the name is new; address and
  // factor come from the line before.
  MapTexts t = Applied("PV, 5, a, b, 0.5\nSP, 9\n");
  EXPECT_EQ(t.Addr[1], "5");
  EXPECT_EQ(t.Factor[1], "0.5");
  // Two separators: name and address are new, the factor carries over.
  t = Applied("PV, 5, a, b, 0.5\nOUT, 22, c\n");
  EXPECT_EQ(t.Addr[2], "22");
  EXPECT_EQ(t.Factor[2], "0.5");
}

TEST(PresetLines, MoreThanFourSeparatorsKeepTheFactorOfTheLineBefore) {
  MapTexts t = Applied("PV, 5, a, b, 0.5\nKi, 11, a, b, 0.01, extra\n");
  EXPECT_EQ(t.Addr[5], "11");
  EXPECT_EQ(t.Factor[5], "0.5");
}

TEST(PresetLines, FirstLineWithoutSeparatorsReachesNothing) {
  // Fields are empty before the first line; an empty name is no row.
  EXPECT_EQ(Applied("PV\n\n\n"), PresetPrefill());
  // A line short of separators after a good line repeats that line's row.
  MapTexts t = Applied("PV, 5, a, b, 0.5\njunk\n");
  EXPECT_EQ(t.Addr[0], "5");
}

TEST(PresetLines, LaterLineWins) {
  MapTexts t = Applied("PV, 5, a, b, 0.5\nPV, 6, a, b, 0.6");
  EXPECT_EQ(t.Addr[0], "6");
  EXPECT_EQ(t.Factor[0], "0.6");
}

TEST(PresetLines, BinaryGarbageChangesNothingHarmful) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 37) & 0xFF));
  MapTexts t = PresetPrefill();
  ApplyPresetLines(garbage, t);  // holds no row name: nothing changes
  EXPECT_EQ(t, PresetPrefill());
}

// ---- Folder scan -------------------------------------------------------

TEST(PresetScanTest, EmptyFolderFindsNothing) {
  TempDir dir;
  PresetScan scan = ScanPresets(dir.Path());
  EXPECT_FALSE(scan.AnyEntry);
  EXPECT_TRUE(scan.Names.empty());
}

TEST(PresetScanTest, MissingFolderFindsNothing) {
  PresetScan scan = ScanPresets("/nonexistent/korvane/folder");
  EXPECT_FALSE(scan.AnyEntry);
  EXPECT_TRUE(scan.Names.empty());
}

TEST(PresetScanTest, NamesLoseTheirExtensionAndComeInNameOrder) {
  TempDir dir;
  dir.Write("Novus N1100.Korvane", "");
  dir.Write("Alpha.Korvane", "");
  dir.Write("notes.txt", "");
  dir.Write("lower.korvane", "");  // the extension is matched exactly
  dir.Write("Korvane", "");
  PresetScan scan = ScanPresets(dir.Path());
  EXPECT_TRUE(scan.AnyEntry);
  EXPECT_EQ(scan.Names, (std::vector<std::string>{"Alpha", "Novus N1100"}));
}

TEST(PresetScanTest, DirectoriesAreSkippedButCountAsFound) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("Folder.Korvane"));
  PresetScan scan = ScanPresets(dir.Path());
  EXPECT_TRUE(scan.AnyEntry);
  EXPECT_TRUE(scan.Names.empty());
}

TEST(PresetScanTest, AThirtySecondPresetIsNotListed) {
  TempDir dir;
  for (int i = 1; i <= 32; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Type%02d.Korvane", i);
    dir.Write(name, "");
  }
  PresetScan scan = ScanPresets(dir.Path());
  ASSERT_EQ(scan.Names.size(), 31u);
  EXPECT_EQ(scan.Names.front(), "Type01");
  EXPECT_EQ(scan.Names.back(), "Type31");
}

TEST(PresetScanTest, SkippedDirectoryDoesNotUseUpAPlace) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("A dir.Korvane"));
  for (int i = 1; i <= 31; ++i) dir.Write("T" + std::to_string(100 + i) + ".Korvane", "");
  EXPECT_EQ(ScanPresets(dir.Path()).Names.size(), 31u);
}

// ---- Reading a preset ---------------------------------------------------

TEST(ReadPresetTest, ReadsTheFileNamedAfterTheType) {
  TempDir dir;
  dir.Write("Novus N1100.Korvane", "PV, 5, a, b, 0.5\r\n");
  MapTexts t = ReadPreset(dir.Path(), "Novus N1100");
  EXPECT_EQ(t.Addr[0], "5");
  EXPECT_EQ(t.Factor[0], "0.5");
  EXPECT_EQ(t.Factor[3], "0.01");  // pre-fill for the rows not named
}

TEST(ReadPresetTest, MissingFileIsFileNotFound) {
  TempDir dir;
  try {
    ReadPreset(dir.Path(), "Nope");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
}

TEST(ReadPresetTest, DirectoryIsAccessDenied) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("D.Korvane"));
  try {
    ReadPreset(dir.Path(), "D");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_STREQ(e.what(), "File access denied");
  }
}

TEST(ReadPresetTest, TypeNameNeverEscapesTheFolderAsAnAbsolutePath) {
  EXPECT_EQ(PresetPath("/opt/k", "/etc/x"), "/opt/k//etc/x.Korvane");
  EXPECT_EQ(PresetPath("/opt/k/", "N"), "/opt/k/N.Korvane");
}

TEST(ReadPresetTest, HugeFileIsReadOnlyUpToTheBound) {
  TempDir dir;
  std::string big = "PV, 5, a, b, 0.5\n";
  big.append(kMaxPresetBytes, 'x');
  big += "\nPV, 9, a, b, 0.9\n";  // beyond the bound: not read
  dir.Write("Big.Korvane", big);
  MapTexts t = ReadPreset(dir.Path(), "Big");
  EXPECT_EQ(t.Addr[0], "5");
}

}  // namespace
}  // namespace korvane

// ---- The shipped preset ----------------------------------------------------

namespace korvane {
namespace {

void ExpectDefaultMap(const std::string& folder) {
  MapTexts t = ReadPreset(folder, "Novus N1100");
  RegisterMap defaults;
  const std::int32_t addrs[] = {defaults.AddrPV, defaults.AddrSP, defaults.AddrOut, defaults.AddrHys,
                                defaults.AddrKp, defaults.AddrKi, defaults.AddrKd};
  const float factors[] = {defaults.FactorPV, defaults.FactorSP, defaults.FactorOut, defaults.FactorHys,
                           defaults.FactorKp, defaults.FactorKi, defaults.FactorKd};
  for (std::size_t i = 0; i < kMapRows; ++i) {
    EXPECT_EQ(t.Addr[i], std::to_string(addrs[i])) << i;
    EXPECT_EQ(static_cast<float>(std::stod(t.Factor[i])), factors[i]) << i;
  }
  EXPECT_EQ(t.Form, PidForm{});
}

TEST(ShippedPreset, NovusN1100HoldsTheDefaultMap) { ExpectDefaultMap(KORVANE_PRESET_SOURCE_DIR); }

TEST(ShippedPreset, SimulatorFormMapsNameTheirForms) {
  const std::vector<std::string> folders{KORVANE_PRESET_SOURCE_DIR};
  EXPECT_EQ(PresetFormOf(folders, "korvane-sim gain"),
            (PidForm{ProportionalUnit::Gain, IntegralUnit::TimeSeconds, DerivativeUnit::Seconds, false, {}}));
  EXPECT_EQ(PresetFormOf(folders, "korvane-sim series"),
            (PidForm{ProportionalUnit::BandPercent, IntegralUnit::TimeMinutes, DerivativeUnit::Seconds, true, {}}));
  EXPECT_EQ(PresetFormOf(folders, "Other"), PidForm{});  // no such preset: today's form
}

TEST(ShippedPreset, IsFoundBesideTheBuiltPrograms) {
  PresetScan scan = ScanPresets(KORVANE_PROGRAM_DIR);
  EXPECT_NE(std::find(scan.Names.begin(), scan.Names.end(), "Novus N1100"), scan.Names.end());
  ExpectDefaultMap(KORVANE_PROGRAM_DIR);
}

}  // namespace
}  // namespace korvane
