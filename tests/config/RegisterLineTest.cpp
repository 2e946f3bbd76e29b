// The register lines of a preset: what they set, and every bad line with
// the message that names its line and field.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/BoundedRead.h"
#include "config/Presets.h"
#include "config/RegisterLine.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

constexpr const char* kDefaultValueLines =
    "PV, 1, degC, Process value, 1.0\r\n"
    "SP, 0, degC, Setpoint, 1.0\r\n"
    "K, 13, %, Proportional band, 0.1\r\n";

struct GoodLine {
  std::string Lines;
  MapRow Row;
  RegisterLayout Layout;
};

TEST(RegisterLines, GiveTheLayoutOfTheirRow) {
  using F = RegisterFormat;
  using O = WordOrder;
  using T = RegisterTable;
  const std::vector<GoodLine> rows = {
      {"SP register, s16, holding, 25", MapRow::SP, {F::S16, O::ABCD, T::Holding, 25}},
      {"PV register, f32-CDAB, input", MapRow::PV, {F::F32, O::CDAB, T::Input, -1}},
      {"K register, s32-DCBA", MapRow::Kp, {F::S32, O::DCBA, T::Holding, -1}},
      {"K register, u32", MapRow::Kp, {F::U32, O::ABCD, T::Holding, -1}},
      {"SP register, f32, holding, 65534", MapRow::SP, {F::F32, O::ABCD, T::Holding, 65534}},
      {"K register, u16", MapRow::Kp, {F::U16, O::ABCD, T::Holding, -1}},
      {"OUT register, f32-CDAB, input", MapRow::Out, {F::F32, O::CDAB, T::Input, -1}},
      {"Hysteresis register, u16, holding, 40", MapRow::Hys, {F::U16, O::ABCD, T::Holding, 40}},
  };
  for (const GoodLine& row : rows) {
    SCOPED_TRACE(row.Lines);
    const MapTexts t = ParsePreset(std::string(kDefaultValueLines) + row.Lines + "\r\n");
    const auto r = static_cast<std::size_t>(row.Row);
    EXPECT_EQ(CheckedLayout(row.Row, t.Addr[r], t.Format[r], t.Table[r], t.WriteAddr[r]), row.Layout);
    // Shown and read back, the layout stays the same.
    const RegisterLineTexts shown = LayoutTexts(row.Row, row.Layout);
    EXPECT_EQ(CheckedLayout(row.Row, t.Addr[r], shown.Format, shown.Table, shown.WriteAddr), row.Layout);
  }
}

TEST(RegisterLines, WithoutOneAValueIsReadAsToday) {
  const MapTexts t = ParsePreset(kDefaultValueLines);
  EXPECT_EQ(CheckedLayout(MapRow::PV, t.Addr[0], t.Format[0], t.Table[0], t.WriteAddr[0]), RegisterLayout{});
  EXPECT_EQ(CheckedLayout(MapRow::Kp, t.Addr[4], t.Format[4], t.Table[4], t.WriteAddr[4]).Format, RegisterFormat::U16);
}

TEST(RegisterLines, BadLinesNameTheirLineAndField) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"PV register, f64", "line 4, FORMAT: \"f64\" is not s16, u16, s32, u32 or f32"},
      {"PV register, s16-CDAB", "line 4, FORMAT: \"s16-CDAB\" is not"},
      {"PV register, f32-ACBD", "line 4, FORMAT: \"f32-ACBD\" is not"},
      {"PV register, f32, inputs", "line 4, TABLE: \"inputs\" is not holding or input"},
      {"SP register, s16, holding, 65536", "line 4, WRITE ADDRESS: \"65536\" is not an address 0..65535"},
      {"SP register, s16, holding, -1", "line 4, WRITE ADDRESS: \"-1\" is not an address"},
      {"PV register, s16, input, 7", "line 4, WRITE ADDRESS: an input register cannot be written"},
      {"SP register, s32, holding, 65535", "line 4, WRITE ADDRESS: the second register of a 32-bit value at 65535"},
      {"Ki, 65535, r, integral, 1\r\nKi register, f32", "line 5, FORMAT: the second register of a 32-bit value at 65535"},
      {"Kd, 70000, s, derivative, 1\r\nKd register, u16", "line 5, ADDRESS: \"70000\" is not an address 0..65535"},
      {"OUT register", "line 4, FORMAT: missing"},
      {"OUT register, s16, holding, 3, 4", "line 4, more than FORMAT, TABLE and WRITE ADDRESS"},
  };
  for (const auto& [line, message] : rows) {
    SCOPED_TRACE(line);
    try {
      ParsePreset(std::string(kDefaultValueLines) + line + "\r\n");
      ADD_FAILURE() << "no error";
    } catch (const RegisterLineError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, message.size()), message);
    }
  }
}

TEST(RegisterLines, ABadPresetIsNotReadHalfAndTheMessageNamesItsFile) {
  test::TempDir dir;
  dir.Write("Bad.Korvane", std::string(kDefaultValueLines) + "PV register, f32, nowhere\r\n");
  try {
    ReadPreset(dir.Path(), "Bad");
    ADD_FAILURE() << "no error";
  } catch (const RegisterLineError& e) {
    EXPECT_EQ(std::string(e.what()), dir.Path() + "/Bad.Korvane: line 4, TABLE: \"nowhere\" is not holding or input");
  }
  EXPECT_EQ(PresetNotes({dir.Path()}, "Bad"),
            std::vector<std::string>{"not usable: line 4, TABLE: \"nowhere\" is not holding or input"});
}

TEST(RegisterLines, IgnoredLinesAreNamedWithTheirReason) {
  const auto ignored = IgnoredPresetLines("PV, 1, C, pv, 1\r\nKp, 13, %, band, 0.1\r\npv, 1, C, pv, 1\r\n\r\nSP 0 C 1\r\nSP register, f32\r\n");
  ASSERT_EQ(ignored.size(), 3u);
  EXPECT_EQ(ignored[0].Line, 2u);
  EXPECT_EQ(ignored[0].Why, "\"Kp\" is not PV, SP, OUT, Hysteresis, K, Ki or Kd");
  EXPECT_EQ(ignored[1].Line, 3u);
  EXPECT_EQ(ignored[2].Line, 5u);
  EXPECT_EQ(ignored[2].Why, "no \", \" separates its fields");
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST(RegisterLines, TheShippedPresetsReadWhole) {
  for (const char* name : {"Novus N1100", "korvane-sim default", "korvane-sim float", "korvane-sim gain", "korvane-sim series"}) {
    SCOPED_TRACE(name);
    const MapTexts t = ReadPreset(std::string(KORVANE_PRESET_SOURCE_DIR), name);
    EXPECT_TRUE(IgnoredPresetLines(ReadFileBounded(std::string(KORVANE_PRESET_SOURCE_DIR) + "/" + name + ".Korvane", kMaxPresetBytes)).empty());
  }
  EXPECT_EQ(ReadPreset(std::string(KORVANE_PRESET_SOURCE_DIR), "Novus N1100").WriteAddr[1], "25");
}

}  // namespace
}  // namespace korvane
