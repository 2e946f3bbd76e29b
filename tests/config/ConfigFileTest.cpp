// The configuration file: exact output, lenient loading, and saves
// that never cost the file that was there.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

#include "support/TempDir.h"
#include "config/ConfigFile.h"
#include "base/BoundedRead.h"
#include "base/Convert.h"
#include "base/FileError.h"

namespace korvane {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

const EntryTexts kEntries{"75", "1.3", "0.5", "10"};

std::string ExampleFile() {
  const char* lines[] = {"1",  "9600", "8",  "N", "1",  "1",  "Novus N1100", "0",
                         "1",  "1",    "1",  "2", "0.100000001490116", "17", "1", "13",
                         "0.100000001490116", "11", "0.00999999977648258", "12", "1", "75", "1.3", "0.5", "10"};
  std::string out;
  for (const char* l : lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}

std::string ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

// ---- Writing -------------------------------------------------------------

TEST(ConfigFileSave, DefaultsWriteTheKnownTwentyFiveLines) {
  TempDir dir;
  Settings s;
  SaveConfiguration(dir.File("cfg"), s, kEntries, '.');
  EXPECT_EQ(dir.Read("cfg"), ExampleFile());
}

// Lines 26 onward: how each value lies; a file without them reads as before.
TEST(ConfigFileLayout, LinesAfterTheTwentyFifthCarryTheLayouts) {
  const std::string first25 = ExampleFile();
  const std::vector<std::pair<std::string, RegisterLayout>> rows = {
      {"", RegisterLayout{}},
      {"s16, holding, 25\r\n", RegisterLayout{RegisterFormat::S16, WordOrder::ABCD, RegisterTable::Holding, 25}},
      {"f32-CDAB, input\r\n", RegisterLayout{RegisterFormat::F32, WordOrder::CDAB, RegisterTable::Input, -1}},
      {"f64, input\r\n", RegisterLayout{}},          // does not read: today's reading
      {"s16, input, 25\r\n", RegisterLayout{}},      // an input register is never written
      {"s16, holding, 25, 4, 4\r\n", RegisterLayout{}},  // too many fields
      {", \r\n", RegisterLayout{}},
  };
  for (const auto& [line26, layout] : rows) {
    SCOPED_TRACE(line26);
    Settings s;
    s.Map.LayoutSP.WriteAddress = 99;
    ParseConfiguration(first25 + line26, s);
    EXPECT_EQ(s.Map.LayoutSP, layout);
    EXPECT_EQ(s.Map.LayoutKp.Format, RegisterFormat::U16);
  }
  Settings s;
  s.Map.LayoutKd = {RegisterFormat::S32, WordOrder::DCBA, RegisterTable::Holding, 300};
  Settings back;
  ParseConfiguration(ComposeConfiguration(s, {"75", "1.3", "0.5", "10"}, '.'), back);
  EXPECT_EQ(back.Map.LayoutKd, s.Map.LayoutKd);
}

// Lines 26 onward are written only when a value lies otherwise than a
// 25-line file reads it; either file reads back to the same bytes.
TEST(ConfigFileLayout, LayoutLinesOnlyForValuesThatLieOtherwise) {
  const struct {
    const char* what;
    std::function<void(RegisterMap&)> change;
    std::size_t lines;
  } rows[] = {
      {"defaults", [](RegisterMap&) {}, 25},
      {"default map, setpoint written at 25", [](RegisterMap& m) { m.LayoutSP.WriteAddress = 25; }, 25},
      {"moved setpoint written at 25", [](RegisterMap& m) { m.AddrSP = 30, m.LayoutSP.WriteAddress = 25; }, 32},
      {"default map, setpoint written at 0", [](RegisterMap& m) { m.LayoutSP.WriteAddress = 0; }, 32},
      {"default map, Kp written at its own 13 (the setpoint then goes to 0)",
       [](RegisterMap& m) { m.LayoutKp.WriteAddress = 13; }, 32},
      {"moved setpoint, Kp written at its own 13",
       [](RegisterMap& m) { m.AddrSP = 30, m.LayoutKp.WriteAddress = 13; }, 25},
      {"PV written elsewhere", [](RegisterMap& m) { m.AddrSP = 30, m.LayoutPV.WriteAddress = 77; }, 32},
      {"Kp signed", [](RegisterMap& m) { m.LayoutKp.Format = RegisterFormat::S16; }, 32},
      {"PV in an input register", [](RegisterMap& m) { m.LayoutPV.Table = RegisterTable::Input; }, 32},
      {"Kd a float", [](RegisterMap& m) { m.LayoutKd = {RegisterFormat::F32, WordOrder::CDAB}; }, 32},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Settings s;
    row.change(s.Map);
    const std::string file = ComposeConfiguration(s, kEntries, '.');
    EXPECT_EQ(static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n')), row.lines);
    if (row.lines == 25 && s.Map.AddrSP == 0) {
      EXPECT_EQ(file, ExampleFile());
    }
    Settings back;
    ParseConfiguration(file, back);
    EXPECT_EQ(ComposeConfiguration(back, kEntries, '.'), file);
  }
}

TEST(ConfigFileSave, EntryBoxesAreRewrittenInTheFileFormat) {
  Settings s;
  std::string text = ComposeConfiguration(s, {"  1.500", "1e-6", "-0", "123456789012345678"}, '.');
  EXPECT_NE(text.find("\r\n1.5\r\n1E-6\r\n0\r\n1.23456789012346E17\r\n"), std::string::npos) << text;
}

TEST(ConfigFileSave, EntryBoxesUseTheSystemDecimalSeparator) {
  Settings s;
  std::string text = ComposeConfiguration(s, {"75", "1,3", "0,5", "10"}, ',');
  EXPECT_EQ(text, ExampleFile());
  EXPECT_EQ(ErrorOf([&] { ComposeConfiguration(s, {"75", "1.3", "0,5", "10"}, ','); }),
            "'1.3' is not a valid floating point value");
}

TEST(ConfigFileSave, EmptyEntryBoxIsReportedAndExistingFileStaysWhole) {
  TempDir dir;
  dir.Write("cfg", "precious\r\n");
  Settings s;
  EXPECT_EQ(ErrorOf([&] { SaveConfiguration(dir.File("cfg"), s, {"75", "", "0.5", "10"}, '.'); }),
            "'' is not a valid floating point value");
  EXPECT_EQ(dir.Read("cfg"), "precious\r\n");
  EXPECT_FALSE(fs::exists(dir.File("new")));
  EXPECT_THROW(SaveConfiguration(dir.File("new"), s, {"", "", "", ""}, '.'), ConvertError);
  EXPECT_FALSE(fs::exists(dir.File("new")));
}

TEST(ConfigFileSave, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
  TempDir dir;
  dir.Write("cfg", std::string(5000, 'z'));
  fs::permissions(dir.File("cfg"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  SaveConfiguration(dir.File("cfg"), Settings{}, kEntries, '.');
  EXPECT_EQ(dir.Read("cfg"), ExampleFile());
  EXPECT_EQ(fs::status(dir.File("cfg")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(ConfigFileSave, SymbolicLinkKeepsPointingAtTheSavedFile) {
  TempDir dir;
  dir.Write("real", "old");
  fs::create_symlink("real", dir.File("link"));
  SaveConfiguration(dir.File("link"), Settings{}, kEntries, '.');
  EXPECT_TRUE(fs::is_symlink(dir.File("link")));
  EXPECT_EQ(dir.Read("real"), ExampleFile());
}

TEST(ConfigFileSave, ReadOnlyTargetIsAccessDeniedAndUnchanged) {
  TempDir dir;
  dir.Write("cfg", "keep");
  fs::permissions(dir.File("cfg"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(ErrorOf([&] { SaveConfiguration(dir.File("cfg"), Settings{}, kEntries, '.'); }),
            "File access denied");
  EXPECT_EQ(dir.Read("cfg"), "keep");
}

TEST(ConfigFileSave, DirectoryTargetIsAccessDenied) {
  TempDir dir;
  fs::create_directory(dir.File("sub"));
  EXPECT_EQ(ErrorOf([&] { SaveConfiguration(dir.File("sub"), Settings{}, kEntries, '.'); }),
            "File access denied");
  EXPECT_TRUE(fs::is_directory(dir.File("sub")));
}

TEST(ConfigFileSave, DeviceTargetIsNeverReplaced) {
  EXPECT_EQ(ErrorOf([&] { SaveConfiguration("/dev/null", Settings{}, kEntries, '.'); }), "File access denied");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST(ConfigFileSave, MissingFolderIsFileNotFound) {
  TempDir dir;
  EXPECT_EQ(ErrorOf([&] { SaveConfiguration(dir.File("no/such/cfg"), Settings{}, kEntries, '.'); }),
            "File not found");
}

TEST(ConfigFileSave, FolderThatTakesNoNewFilesIsReported) {
  // /proc/self holds files but takes no new ones, even from root.
  EXPECT_EQ(ErrorOf([&] { SaveConfiguration("/proc/self/korvane.cfg", Settings{}, kEntries, '.'); }),
            "File not found");
}

// ---- Reading -------------------------------------------------------------

TEST(ConfigFileLoad, LoadThenSaveGivesTheSameBytes) {
  TempDir dir;
  dir.Write("cfg", ExampleFile());
  Settings s;
  s.Map.FactorKi = 7;
  s.Link.Baud = 1;
  EntryTexts entries = LoadConfiguration(dir.File("cfg"), s);
  EXPECT_EQ(entries, kEntries);
  SaveConfiguration(dir.File("again"), s, entries, '.');
  EXPECT_EQ(dir.Read("again"), ExampleFile());
}

TEST(ConfigFileLoad, FieldsLandWhereTheTableSays) {
  TempDir dir;
  dir.Write("cfg",
            "3\n19200\n7\nE\n2\n5\nMine\n10\n0.5\n11\n1.5\n12\n2.5\n13\n3.5\n14\n4.5\n15\n5.5\n16\n6.5\n"
            " 1.500\nx\n\n-2\n");
  Settings s;
  EntryTexts e = LoadConfiguration(dir.File("cfg"), s);
  EXPECT_EQ(s.Link.PortNumber, 3);
  EXPECT_EQ(s.Link.Baud, 19200);
  EXPECT_EQ(s.Link.DataBits, 7);
  EXPECT_EQ(s.Link.ParityLetter, "E");
  EXPECT_EQ(s.Link.StopBitCount, 2);
  EXPECT_EQ(s.Poll.PollTime, 5);
  EXPECT_EQ(s.Map.ControllerType, "Mine");
  EXPECT_EQ(s.Map.AddrSP, 10);
  EXPECT_FLOAT_EQ(s.Map.FactorSP, 0.5f);
  EXPECT_EQ(s.Map.AddrPV, 11);
  EXPECT_FLOAT_EQ(s.Map.FactorPV, 1.5f);
  EXPECT_EQ(s.Map.AddrKd, 16);
  EXPECT_FLOAT_EQ(s.Map.FactorKd, 6.5f);
  EXPECT_EQ(e, (EntryTexts{" 1.500", "x", "", "-2"}));
  // Not in the file: untouched.
  EXPECT_TRUE(s.Link.RtuMode);
  EXPECT_EQ(s.Link.SlaveAddress, 1);
  EXPECT_EQ(s.Poll.ResponseTime, 400);
}

TEST(ConfigFileLoad, ShortFileLoadsTheMissingLinesAsEmpty) {
  TempDir dir;
  dir.Write("cfg", "2\r\n4800\r\n");
  Settings s;
  EntryTexts e = LoadConfiguration(dir.File("cfg"), s);
  EXPECT_EQ(s.Link.PortNumber, 2);
  EXPECT_EQ(s.Link.Baud, 4800);
  EXPECT_EQ(s.Link.DataBits, 0);
  EXPECT_EQ(s.Link.ParityLetter, "");
  EXPECT_EQ(s.Map.ControllerType, "");
  EXPECT_EQ(s.Poll.PollTime, 0);
  EXPECT_EQ(s.Map.AddrHys, 0);
  EXPECT_EQ(s.Map.FactorKp, 0.0f);
  EXPECT_EQ(e, (EntryTexts{"", "", "", ""}));
}

TEST(ConfigFileLoad, NumberFollowedByLettersGivesItsDigitsAndLettersGiveZero) {
  TempDir dir;
  std::string file = ExampleFile();
  file.replace(file.find("9600"), 4, "12x");
  file.replace(file.find("\r\n8\r\n") + 2, 1, "abc");
  file.replace(file.find("0.100000001490116"), 17, "0.25kg");
  dir.Write("cfg", file);
  Settings s;
  LoadConfiguration(dir.File("cfg"), s);
  EXPECT_EQ(s.Link.Baud, 12);
  EXPECT_EQ(s.Link.DataBits, 0);
  EXPECT_FLOAT_EQ(s.Map.FactorOut, 0.25f);
}

TEST(ConfigFileLoad, OutOfRangeFactorBecomesInfiniteNotUndefined) {
  Settings s;
  std::vector<std::string> lines(25);
  lines[8] = "1e300";
  ApplyConfiguration(lines, s);
  EXPECT_TRUE(std::isinf(s.Map.FactorSP));
}

TEST(ConfigFileLoad, PollTimeZeroIsStored) {
  Settings s;
  std::vector<std::string> lines(25, "1");
  lines[5] = "0";
  ApplyConfiguration(lines, s);
  EXPECT_EQ(s.Poll.PollTime, 0);
}

TEST(ConfigFileLoad, MissingFileIsFileNotFoundAndSettingsStay) {
  TempDir dir;
  Settings s;
  s.Link.Baud = 4711;
  EXPECT_EQ(ErrorOf([&] { LoadConfiguration(dir.File("none"), s); }), "File not found");
  EXPECT_EQ(s.Link.Baud, 4711);
}

TEST(ConfigFileLoad, DirectoryAndPipeAreRefusedWithoutBlocking) {
  TempDir dir;
  Settings s;
  EXPECT_EQ(ErrorOf([&] { LoadConfiguration(dir.Path(), s); }), "File access denied");
  EXPECT_EQ(ErrorOf([&] { LoadConfiguration("/dev/zero", s); }), "File access denied");
}

TEST(ConfigFileLoad, HugeBinaryFileIsBounded) {
  TempDir dir;
  std::string big(3 * kMaxConfigBytes, '\0');
  big.replace(0, 6, "5\n\x01\xff\n");
  dir.Write("big", big);
  Settings s;
  EntryTexts e = LoadConfiguration(dir.File("big"), s);
  EXPECT_EQ(s.Link.PortNumber, 5);
  EXPECT_EQ(s.Link.Baud, 0);
  EXPECT_LE(s.Link.ParityLetter.size(), kMaxConfigBytes);
  EXPECT_EQ(e[3], "");
}

TEST(ConfigFileLoad, ExtraLinesAreIgnored) {
  TempDir dir;
  dir.Write("cfg", ExampleFile() + "26\r\n27\r\n");
  Settings s;
  EXPECT_EQ(LoadConfiguration(dir.File("cfg"), s), kEntries);
}

// ---- Several controllers ---------------------------------------------------

// Three controllers on two maps: the first and third hold Kd in an integer
// written at 250, the second its values as floats partly in input registers.
Settings ThreeControllers() {
  Settings s;
  s.Link.SlaveAddress = 5;
  s.FirstName = "Boiler";
  s.Map.LayoutKd.WriteAddress = 250;
  RegisterMap floats;
  floats.ControllerType = "korvane-sim float";
  floats.AddrPV = 4096;
  floats.FactorPV = 0.5f;
  floats.LayoutPV = {RegisterFormat::F32, WordOrder::CDAB, RegisterTable::Input, -1};
  floats.LayoutSP = {RegisterFormat::F32, WordOrder::ABCD, RegisterTable::Holding, 300};
  s.Others = {{"Zone 2, east", 7, floats}, {"Zone 3", 9, s.Map}};
  return s;
}

std::size_t LineCount(const std::string& file) {
  return static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n'));
}

TEST(ConfigFileList, SavedThenLoadedGivesBackEveryController) {
  Settings named;
  named.FirstName = "Boiler";  // a single controller's name is not kept
  const struct {
    const char* what;
    Settings settings;
    std::size_t lines;
    std::string firstName;
  } cases[] = {
      {"one controller", Settings{}, 25, "Controller 1"},
      {"one named controller", named, 25, "Controller 1"},
      {"three controllers", ThreeControllers(), 32 + 2 + 2 * 23, "Boiler"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = ComposeConfiguration(c.settings, kEntries, '.');
    EXPECT_EQ(LineCount(file), c.lines);
    if (c.lines == 25) {
      EXPECT_EQ(file, ExampleFile());
    }
    Settings back;
    back.Others = {{"stale", 3, RegisterMap{}}};
    EXPECT_EQ(ParseConfiguration(file, back), kEntries);
    EXPECT_EQ(back.FirstName, c.firstName);
    EXPECT_EQ(back.Link.SlaveAddress, c.settings.Link.SlaveAddress);
    EXPECT_EQ(back.Map, c.settings.Map);
    EXPECT_EQ(back.Others, c.settings.Others);
    EXPECT_EQ(ComposeConfiguration(back, kEntries, '.'), c.lines == 25 ? ExampleFile() : file);
  }
}

// A reader of 32 lines (today's) passes over the list: the first controller
// reads as if the file held it alone.
TEST(ConfigFileList, TodaysReaderReadsTheFirstControllerUnchanged) {
  const Settings three = ThreeControllers();
  std::vector<std::string> lines = SplitLines(ComposeConfiguration(three, kEntries, '.'));
  lines.resize(kConfigLines + kLayoutLines);
  Settings today;
  EXPECT_EQ(ApplyConfiguration(lines, today), kEntries);
  EXPECT_EQ(today.Map, three.Map);
  EXPECT_EQ(today.Link.Baud, three.Link.Baud);
  EXPECT_EQ(today.Poll.PollTime, three.Poll.PollTime);
  EXPECT_TRUE(today.Others.empty());
}

// A list line that does not read ends the list before its row; the first
// controller always loads as from today's file.
TEST(ConfigFileList, BrokenListLoadsAsFarAsItReadsCleanly) {
  // Lines of the three-controller file: 33 count, 34 first, 35..57 the
  // second, 58..80 the third (58 address, 59 type, 60..73 map, 74..80 layouts).
  const struct {
    const char* what;
    std::size_t line;  // the line replaced by `text`; 0: none
    std::string text;
    std::size_t keep;  // lines kept; 80: all
    std::size_t cut;   // bytes cut off the end
    std::size_t others;
    const char* firstName;
  } cases[] = {
      {"as written", 0, "", 80, 0, 2, "Boiler"},
      {"count line misspelt", 33, "Controller, 3", 80, 0, 0, "Controller 1"},
      {"count of 248", 33, "Controllers, 248", 80, 0, 0, "Controller 1"},
      {"count of two", 33, "Controllers, 2", 80, 0, 1, "Boiler"},
      {"first controller without a name", 34, "5, ", 80, 0, 0, "Controller 1"},
      {"second controller's address line without a comma", 35, "7 Zone 2", 80, 0, 0, "Boiler"},
      {"second controller's factor not a number", 38, "0.5x", 80, 0, 0, "Boiler"},
      {"third controller repeats the second's address", 58, "7, Zone 3", 80, 0, 1, "Boiler"},
      {"third controller's address line not a number", 60, "x", 80, 0, 1, "Boiler"},
      {"third controller's layout line does not read", 80, "u64, holding, 250", 80, 0, 1, "Boiler"},
      {"file ends inside the third controller", 0, "", 70, 0, 1, "Boiler"},
      // "u16, holding, 25" would read: a line without its end is left out.
      {"third controller's last line cut short", 0, "", 80, 3, 1, "Boiler"},
  };
  const Settings three = ThreeControllers();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = SplitLines(ComposeConfiguration(three, kEntries, '.'));
    ASSERT_EQ(lines.size(), 80u);
    if (c.line > 0) lines[c.line - 1] = c.text;
    lines.resize(c.keep);
    std::string file;
    for (const std::string& line : lines) file += line + "\r\n";
    file.resize(file.size() - c.cut);
    Settings back;
    back.Link.SlaveAddress = 11;
    EXPECT_EQ(ParseConfiguration(file, back), kEntries);
    EXPECT_EQ(back.Map, three.Map);
    EXPECT_EQ(back.FirstName, c.firstName);
    // Today's files do not hold the first address: it stays without a list.
    EXPECT_EQ(back.Link.SlaveAddress, back.FirstName == "Boiler" ? 5 : 11);
    ASSERT_EQ(back.Others.size(), c.others);
    for (std::size_t i = 0; i < c.others; ++i) EXPECT_EQ(back.Others[i], three.Others[i]);
  }
}

TEST(ConfigFileList, AListTooLongToLoadBackIsNotSaved) {
  Settings s;
  for (std::int32_t a = 2; a <= 247; ++a) s.Others.push_back({std::string(300, 'n') + std::to_string(a), a, RegisterMap{}});
  EXPECT_THROW(ComposeConfiguration(s, kEntries, '.'), ConfigSizeError);
  s.Others.resize(100);
  EXPECT_LE(ComposeConfiguration(s, kEntries, '.').size(), kMaxConfigBytes);
}

}  // namespace
}  // namespace korvane
